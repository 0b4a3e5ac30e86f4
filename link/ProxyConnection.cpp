#include "link/ProxyConnection.h"

#include <algorithm>
#include <chrono>

#include "base/FormatStr.h"
#include "link/AppLog.h"

namespace jvo {

bool SplitHostPort(const std::string& text, uint16_t defaultPort, std::string& host,
                   uint16_t& port) {
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        host = text;
        port = defaultPort;
        return true;
    }
    const std::string digits = text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value == 0 || value > 65535) return false;
    host = text.substr(0, colon);
    port = static_cast<uint16_t>(value);
    return true;
}

std::unique_ptr<ProxyConnection> ProxyConnection::Open(const std::string& host,
                                                       const ProxyOptions& options) {
    std::string name;
    uint16_t port = 0;
    if (!SplitHostPort(host, options.port, name, port)) {
        JVO_LOG1("ProxyConnection::Open() Invalid port in '%s'", host);
        return nullptr;
    }
    const HostAddr address = TcpBase::GetHostAddr(name, options.resolver);
    if (!address.valid) return nullptr;
    SocketHandle socket = TcpBase::OpenSocket(address, port, options.connectTimeoutMs);
    if (!socket.Valid()) return nullptr;
    auto user = std::make_shared<SocketUser>();
    auto tcp = std::make_shared<TcpSocket>(std::move(socket), user, options.socket);
    return std::unique_ptr<ProxyConnection>(new ProxyConnection(tcp, user, options));
}

ProxyConnection::ProxyConnection(std::shared_ptr<TcpSocket> socket,
                                 std::shared_ptr<SocketUser> user, const ProxyOptions& options)
    : m_Options(options), m_Socket(std::move(socket)), m_User(std::move(user)) {}

ProxyConnection::~ProxyConnection() {
    Close();
}

bool ProxyConnection::Transact(uint8_t address, MsgBuf& request, MsgBuf& reply,
                               int32_t replyTimeoutMs) {
    if (m_Ended) return false;
    std::shared_ptr<TcpSocket> socket;
    std::shared_ptr<SocketUser> user;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        socket = m_Socket;
        user = m_User;
    }
    if (!socket || !user) return false;

    const int32_t length = request.Unread();
    if (length > 0xFFFF) {
        JVO_LOG1("ProxyConnection::Transact() Request too long (%d bytes)", length);
        return false;
    }
    auto message = std::make_unique<RecBuf>(3 + length);
    message->Put8(address);
    message->Put16(static_cast<uint16_t>(length));
    message->PutBytes(request.ReadPtr(), length);
    if (!socket->SendMsg(std::move(message))) {
        if (socket->State() != TcpSocket::kRunning) End("the connection was closed", socket.get());
        return false;
    }

    using Clock = std::chrono::steady_clock;
    const int32_t waitMs = std::max(m_Options.minReplyWaitMs, replyTimeoutMs);
    const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
    MsgFifo& fifo = user->Fifo();
    for (;;) {
        MsgFifo::Entry entry;
        if (fifo.Pop(entry)) {
            if (entry.code == SocketUser::kRecvCode && entry.buffer) {
                RecBuf& body = *entry.buffer;
                const uint8_t status = body.Get8();
                const uint16_t payload = body.Get16();
                if (body.Error() || status == 0) return false;
                if (payload > body.Length()) {
                    JVO_LOG1(
                        "ProxyConnection::Transact() Reply length %d exceeds the %d bytes received",
                        payload, body.Length());
                    return false;
                }
                reply.PutBytes(body.ReadPtr(), payload);
                return !reply.Error();
            }
            // The connection has ended.
            End("closed by the proxy server or the network", socket.get());
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            // A late reply would be taken as the next request's answer: give the connection up.
            JVO_LOG1("ProxyConnection::Transact() No reply within %d ms", waitMs);
            End(FormatStr("no reply within %d ms", waitMs), socket.get());
            return false;
        }
        fifo.Wait(static_cast<int32_t>(left));
    }
}

bool ProxyConnection::Ended() const {
    if (m_Ended) return true;
    std::lock_guard<std::mutex> guard(m_Lock);
    return !m_Socket || m_Socket->State() != TcpSocket::kRunning;
}

std::string ProxyConnection::EndReason() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_EndReason.empty() && m_Socket && m_Socket->State() != TcpSocket::kRunning)
        return "closed by the proxy server or the network";
    return m_EndReason;
}

void ProxyConnection::End(const std::string& reason, TcpSocket* socket) {
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_EndReason.empty()) m_EndReason = reason;
    }
    m_Ended = true;
    if (socket) socket->Close();
}

void ProxyConnection::Close() {
    std::shared_ptr<TcpSocket> socket;
    std::shared_ptr<SocketUser> user;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        socket = std::move(m_Socket);
        user = std::move(m_User);
        if (m_EndReason.empty()) m_EndReason = "closed";
    }
    m_Ended = true;
    if (!socket) return;
    socket->Close();
    // Wakes a transaction that may still wait on another thread.
    user->Fifo().Push(SocketUser::kClosedCode);
    if (!socket->WaitFinished(m_Options.closeWaitMs)) {
        JVO_LOG1("ProxyConnection::Close() Socket worker still running after %d ms",
                 m_Options.closeWaitMs);
    }
}

}  // namespace jvo
