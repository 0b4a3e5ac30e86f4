#include "link/ProxyConnection.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "base/FormatStr.h"
#include "link/AppLog.h"
#include "link/ProxyReply.h"
#include "link/Socket.h"

namespace jvo {

bool StripTlsScheme(std::string& host) {
    const std::string scheme = kTlsScheme;
    if (host.size() < scheme.size()) return false;
    for (size_t i = 0; i < scheme.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(host[i])) != scheme[i]) return false;
    host.erase(0, scheme.size());
    return true;
}

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

// What the socket receives, bounded in messages and bytes; an overrun ends the connection.
class ProxyConnection::ReplyQueue : public TcpSocketUser {
public:
    void SetSocket(const std::shared_ptr<TcpSocket>& socket) {
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Socket = socket;
    }
    void OnRecv(std::unique_ptr<RecBuf> buffer) override {
        if (m_Overrun) return;
        const int32_t length = buffer ? buffer->Length() : 0;
        if (length > kMaxReplyBody) {
            Overrun(FormatStr("a reply of %d bytes (at most %d)", length, kMaxReplyBody));
            return;
        }
        NoteRefusal(*buffer);
        std::unique_lock<std::mutex> guard(m_Lock);
        if (m_Fifo.Size() + (m_Direct ? 1 : 0) >= static_cast<size_t>(kMaxQueuedReplies) ||
            m_Bytes + length > kMaxQueuedBytes) {
            guard.unlock();
            Overrun(FormatStr("more than %d replies or %d bytes waiting", kMaxQueuedReplies,
                              kMaxQueuedBytes));
            return;
        }
        m_Bytes += length;
        if (!m_Direct && m_Fifo.Size() == 0 && m_Waiter.load() == std::this_thread::get_id()) {
            // Received by the waiting transaction itself with nothing before it: no queue, no
            // event to set and clear. (Receipts are one at a time, under the socket's receive
            // lock, so what is queued after this one is younger.)
            m_Direct = std::move(buffer);
            return;
        }
        guard.unlock();
        m_Fifo.Push(SocketUser::kRecvCode, std::move(buffer));
    }
    void OnClose() override { m_Fifo.Push(SocketUser::kClosedCode); }
    // The thread of the transaction that waits now (none: a default id).
    void SetWaiter(std::thread::id id) { m_Waiter = id; }
    // Takes the oldest entry: the reply the waiting transaction received itself (which is older
    // than anything queued), else the queue's oldest; false when there is none.
    bool Pop(MsgFifo::Entry& entry) {
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            if (m_Direct) {
                m_Bytes -= m_Direct->Length();
                entry = MsgFifo::Entry{};
                entry.code = SocketUser::kRecvCode;
                entry.buffer = std::move(m_Direct);
                return true;
            }
        }
        if (!m_Fifo.Pop(entry)) return false;
        if (entry.buffer) m_Bytes -= entry.buffer->Length();
        return true;
    }
    MsgFifo& Fifo() { return m_Fifo; }
    // The server's refusal of this client (full, not allowed), once one arrived.
    bool Refused(LinkStatus& status) const {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (m_Refusal == ProxyRefusal::None) return false;
        status = LinkStatus::Of(LinkResult::ProxyRefused);
        status.refusal = m_Refusal;
        status.limit = m_RefusalLimit;
        return true;
    }
    bool Overran() const { return m_Overrun; }
    std::string OverrunReason() const {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_Reason;
    }

private:
    // A refusal of the client as a whole comes unasked, and the server closes the connection
    // after it: it is noted as it arrives, so that the end of the connection is reported as the
    // refusal it is, whether or not a transaction was waiting.
    void NoteRefusal(const RecBuf& body) {
        if (body.Length() != static_cast<int32_t>(proxywire::kRefusalBodySize)) return;
        const proxywire::Reply r =
            proxywire::ParseReply(body.ReadPtr(), proxywire::kRefusalBodySize);
        if (r.kind != proxywire::ReplyKind::Refusal || r.refusal == ProxyRefusal::ReadOnly) return;
        std::lock_guard<std::mutex> guard(m_Lock);
        m_Refusal = r.refusal;
        m_RefusalLimit = r.limit;
    }
    void Overrun(const std::string& reason) {
        std::shared_ptr<TcpSocket> socket;
        {
            std::lock_guard<std::mutex> guard(m_Lock);
            m_Reason = "the proxy server sent " + reason;
            socket = m_Socket.lock();
        }
        JVO_LOG0("ProxyConnection: %s; connection ended", m_Reason);
        m_Overrun = true;
        m_Fifo.Push(SocketUser::kClosedCode);
        if (socket) socket->Close();
    }

    MsgFifo m_Fifo;
    std::atomic<int32_t> m_Bytes{0};
    std::atomic<bool> m_Overrun{false};
    std::atomic<std::thread::id> m_Waiter{};
    mutable std::mutex m_Lock;  // the socket, the reason and the direct reply
    std::weak_ptr<TcpSocket> m_Socket;
    std::string m_Reason;
    std::unique_ptr<RecBuf> m_Direct;  // a reply the waiting transaction received itself
    ProxyRefusal m_Refusal = ProxyRefusal::None;
    uint16_t m_RefusalLimit = 0;
};

namespace {

// Why the connect to host:port failed, in words for the user.
std::string ConnectProblem(const std::string& host, uint16_t port, int err) {
    if (err == TcpBase::kTimedOut)
        return "no answer from " + host + " (a wrong address, or a firewall?)";
    if (net::Classify(err) == net::Error::Refused)
        return FormatStr("nothing listens on port %d there (is jvo-proxy running?)", port);
    return net::ErrorText(err);
}

}  // namespace

std::unique_ptr<ProxyConnection> ProxyConnection::Open(const std::string& host,
                                                       const ProxyOptions& options,
                                                       LinkStatus* status,
                                                       const std::function<bool()>& abandon) {
    auto failed = [&](std::string why) {
        if (status) *status = LinkStatus::Of(LinkResult::NotConnected, std::move(why));
        return nullptr;
    };
    std::string name;
    uint16_t port = 0;
    std::string target = host;
    const bool tls = StripTlsScheme(target);
    if (tls && !TlsAvailable()) {
        if (status) *status = LinkStatus::Of(LinkResult::TlsFailed, TlsUnavailableReason());
        return nullptr;
    }
    if (!SplitHostPort(target, options.port, name, port)) {
        JVO_LOG1("ProxyConnection::Open() Invalid port in '%s'", host);
        return failed("'" + host + "' has no valid port");
    }
    const HostAddr address = TcpBase::GetHostAddr(name, options.resolver);
    if (!address.valid) return failed("no host is called " + name);
    int err = 0;
    SocketHandle socket =
        TcpBase::OpenSocket(address, port, options.connectTimeoutMs, &err, abandon);
    if (!socket.Valid()) return failed(ConnectProblem(name, port, err));
    std::shared_ptr<TlsClientTunnel> tunnel;
    if (tls) {
        SocketHandle plain;
        std::string why;
        tunnel = TlsClientTunnel::Open(std::move(socket), name, options.tls,
                                       options.connectTimeoutMs, plain, why);
        if (!tunnel) {
            why = FormatStr("TLS with %s:%d failed: %s", address.ToString(), port, why);
            JVO_LOG2("ProxyConnection::Open() %s", why);
            if (status) *status = LinkStatus::Of(LinkResult::TlsFailed, why);
            return nullptr;
        }
        socket = std::move(plain);
    }
    auto user = std::make_shared<ReplyQueue>();
    TcpSocketOptions socketOptions = options.socket;
    // Nothing longer than a reply is worth receiving: the socket ends the connection at the
    // header instead of taking in up to a whole STREAM message first.
    socketOptions.maxBody = kMaxReplyBody;
    auto tcp = std::make_shared<TcpSocket>(std::move(socket), user, socketOptions);
    user->SetSocket(tcp);
    if (status) *status = LinkStatus{};
    return std::unique_ptr<ProxyConnection>(
        new ProxyConnection(tcp, user, options, name + ":" + std::to_string(port), tunnel));
}

ProxyConnection::ProxyConnection(std::shared_ptr<TcpSocket> socket,
                                 std::shared_ptr<ReplyQueue> user, const ProxyOptions& options,
                                 std::string address, std::shared_ptr<TlsClientTunnel> tunnel)
    : m_Options(options),
      m_Address(std::move(address)),
      m_Socket(std::move(socket)),
      m_User(std::move(user)),
      m_Tunnel(std::move(tunnel)) {}

ProxyConnection::~ProxyConnection() {
    Close();
}

bool ProxyConnection::Transact(uint8_t address, MsgBuf& request, MsgBuf& reply,
                               int32_t replyTimeoutMs, LinkStatus* status) {
    Exchange exchange{&request, &reply, {}, {}};
    const bool ok = TransactMany(address, &exchange, 1, replyTimeoutMs) == 1;
    if (status) *status = std::move(exchange.status);
    return ok;
}

int ProxyConnection::TransactMany(uint8_t address, Exchange* ex, int count,
                                  int32_t replyTimeoutMs) {
    using Clock = std::chrono::steady_clock;
    count = std::clamp(count, 0, kMaxRun);
    int inARow = 0;  // exchanges that succeeded, from the first on
    // The exchanges from `from` on end as the connection did.
    auto ended = [&](int from) {
        const LinkStatus st = EndStatus();
        for (int i = from; i < count; ++i) {
            ex[i].status = st;
            ex[i].doneAt = Clock::now();
        }
        return inARow;
    };
    if (count == 0) return 0;
    if (m_Ended) return ended(0);
    std::shared_ptr<TcpSocket> socket;
    std::shared_ptr<ReplyQueue> user;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        socket = m_Socket;
        user = m_User;
    }
    if (!socket || !user) return ended(0);
    // Whatever is waiting now answers an earlier request (a copy, or a reply that came too late):
    // it must not be taken as the answer to this one.
    socket->TakeWaiting();
    int stale = 0;
    for (MsgFifo::Entry entry; user->Pop(entry);) {
        if (entry.code == SocketUser::kRecvCode && entry.buffer) {
            ++stale;
            continue;
        }
        End(user->Overran() ? user->OverrunReason() : "closed by the proxy server or the network",
            socket.get());
        return ended(0);
    }
    // A refusal that came unasked: the server closes the connection after it.
    LinkStatus refused;
    if (user->Refused(refused)) {
        End(DescribeStatus(refused), socket.get());
        return ended(0);
    }
    if (stale > 0 && !m_LoggedStale.exchange(true)) {
        JVO_LOG1(
            "ProxyConnection::Transact() Discarded %d reply message(s) that arrived before "
            "the request (later ones are discarded without a note)",
            stale);
    }

    // From here on a reply this thread receives itself belongs to this run (what TakeWaiting
    // took in above went through the queue, in the order it came).
    struct Waiting {
        ReplyQueue& user;
        explicit Waiting(ReplyQueue& u) : user(u) { user.SetWaiter(std::this_thread::get_id()); }
        ~Waiting() { user.SetWaiter({}); }
    } waiting(*user);
    std::unique_ptr<RecBuf> messages[kMaxRun];
    int sent = 0;
    for (; sent < count; ++sent) {
        const MsgBuf& request = *ex[sent].request;
        const int32_t length = request.Unread();
        if (length > 0xFFFF) {
            // Never sent: the run ends before it, and the ones after it are not sent either.
            JVO_LOG1("ProxyConnection::Transact() Request too long (%d bytes)", length);
            for (int i = sent; i < count; ++i)
                ex[i].status =
                    LinkStatus::Of(LinkResult::InvalidRequest, "the request is too long");
            break;
        }
        messages[sent] = std::make_unique<RecBuf>(3 + length);
        messages[sent]->Put8(address);
        messages[sent]->Put16(static_cast<uint16_t>(length));
        messages[sent]->PutBytes(request.ReadPtr(), length);
    }
    if (sent == 0) return 0;
    if (!socket->SendMsgs(messages, static_cast<size_t>(sent))) {
        if (socket->State() != TcpSocket::kRunning) {
            End("the connection was closed", socket.get());
            return ended(0);
        }
        for (int i = 0; i < sent; ++i)
            ex[i].status =
                LinkStatus::Of(LinkResult::WriteFailed, "the request could not be queued");
        return 0;
    }

    const int32_t waitMs = std::max(m_Options.minReplyWaitMs, replyTimeoutMs);
    MsgFifo& fifo = user->Fifo();
    bool broken = false;  // an exchange failed: those after it do not count in a row
    for (int i = 0; i < sent; ++i) {
        // Each reply may take as long as a single transaction's, counted from the one before.
        const auto deadline = Clock::now() + std::chrono::milliseconds(waitMs);
        for (;;) {
            MsgFifo::Entry entry;
            if (user->Pop(entry)) {
                if (entry.code != SocketUser::kRecvCode || !entry.buffer) {
                    End(user->Overran() ? user->OverrunReason()
                                        : "closed by the proxy server or the network",
                        socket.get());
                    return ended(i);
                }
                LinkStatus& st = ex[i].status;
                const bool ok = TakeProxyReply(*entry.buffer, *ex[i].reply, &st);
                ex[i].doneAt = Clock::now();
                if (st.result == LinkResult::ProxyRefused && st.refusal != ProxyRefusal::ReadOnly) {
                    End(DescribeStatus(st), socket.get());
                    return ended(i + 1);
                }
                if (ok && !broken) ++inARow;
                if (!ok) broken = true;
                break;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now())
                    .count();
            if (left <= 0) {
                // A late reply would be taken as the next request's answer: give the connection
                // up.
                JVO_LOG1("ProxyConnection::Transact() No reply within %d ms", waitMs);
                End(FormatStr("no reply within %d ms", waitMs), socket.get());
                ex[i].status =
                    LinkStatus::Of(LinkResult::NoReply, FormatStr("no reply within %d ms", waitMs));
                ex[i].doneAt = Clock::now();
                return ended(i + 1);
            }
            // The reply is read on this thread: one wake-up instead of the worker's and then ours.
            socket->ReceiveHere(fifo.ReadyEvent(), static_cast<int32_t>(left));
        }
    }
    return inARow;
}

bool ProxyConnection::Ended() const {
    if (m_Ended) return true;
    std::lock_guard<std::mutex> guard(m_Lock);
    return !m_Socket || m_Socket->State() != TcpSocket::kRunning || m_User->Overran();
}

std::string ProxyConnection::EndReason() const {
    std::lock_guard<std::mutex> guard(m_Lock);
    // A TLS session that ended with an alert or an error says more than the closed socket.
    const std::string tls = m_Tunnel ? m_Tunnel->EndReason() : std::string();
    const bool generic = m_EndReason.empty() || m_EndReason.rfind("closed by the proxy", 0) == 0;
    if (!tls.empty() && generic &&
        (!m_EndReason.empty() || !m_Socket || m_Socket->State() != TcpSocket::kRunning))
        return "TLS: " + tls;
    if (!m_EndReason.empty()) return m_EndReason;
    if (m_User && m_User->Overran()) return m_User->OverrunReason();
    if (m_Socket && m_Socket->State() != TcpSocket::kRunning)
        return "closed by the proxy server or the network";
    return m_EndReason;
}

LinkStatus ProxyConnection::EndStatus() const {
    std::shared_ptr<ReplyQueue> user;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        user = m_User;
    }
    LinkStatus status;
    if (user && user->Refused(status)) return status;
    const std::string reason = EndReason();
    if (reason == "closed") return LinkStatus::Of(LinkResult::Cancelled, "the link was closed");
    return LinkStatus::Of(LinkResult::TransportLost, "proxy connection ended: " + reason);
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
    std::shared_ptr<ReplyQueue> user;
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
    if (m_Tunnel) m_Tunnel->Stop();
}

}  // namespace jvo
