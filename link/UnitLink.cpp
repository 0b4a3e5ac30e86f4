#include "link/UnitLink.h"

#include "link/AppLog.h"
#include "link/Commands.h"

namespace jvo {

namespace {
std::atomic<uint8_t> g_Sequence{0};
}

uint8_t UnitLink::NextSequence() {
    return g_Sequence.fetch_add(1);
}
void UnitLink::SetSequence(uint8_t next) {
    g_Sequence.store(next);
}

UnitLink::UnitLink() = default;

UnitLink::~UnitLink() {
    Disconnect();
}

bool UnitLink::FinishOpen(bool opened, int baud) {
    m_Baud = baud;
    m_ViaProxy = false;
    m_Connected = opened;
    return opened;
}

bool UnitLink::OpenSerial(int portNumber, int baud) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return false;
    m_PortNumber = portNumber;
    return FinishOpen(m_Port.Open(portNumber, baud), baud);
}

bool UnitLink::OpenSerialDevice(const std::string& path, int baud) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return false;
    m_PortNumber = -1;
    return FinishOpen(m_Port.OpenDevice(path, baud), baud);
}

bool UnitLink::OpenProxy(const std::string& host, const ProxyOptions& options) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return false;
    m_Proxy = ProxyConnection::Open(host, options);
    if (!m_Proxy) return false;
    m_ViaProxy = true;
    m_Connected = true;
    return true;
}

void UnitLink::Disconnect() {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (!m_Connected) return;
    if (m_ViaProxy) {
        m_Proxy->Close();  // waits a bounded time for the connection's worker to finish
        m_Proxy.reset();
    } else {
        m_Port.Close();
    }
    m_Connected = false;
}

bool UnitLink::Transact(int address, MsgBuf& request, MsgBuf& reply, int protocol) {
    return Transact(address, request, reply, protocol, m_ReplyTimeoutMs.load());
}

bool UnitLink::Transact(int address, MsgBuf& request, MsgBuf& reply, int protocol,
                        int32_t timeoutMs) {
    if (!m_Connected) return false;
    reply.Rewind(0, 0);
    std::lock_guard<std::mutex> guard(m_Lock);
    if (!m_Connected) return false;  // disconnected while this caller waited for the lock
    // A request that overran its buffer, or that cannot fit one frame, is never sent: it could
    // only fail by time-out, or be answered as if it were a different (empty) command.
    if (request.Error() || request.Unread() > kMaxPayload) return false;
    if (m_ViaProxy)
        return m_Proxy->Transact(static_cast<uint8_t>(address), request, reply, timeoutMs);
    return TransactSerial(address, request, reply, protocol, timeoutMs);
}

bool UnitLink::TransactSerial(int address, MsgBuf& request, MsgBuf& reply, int protocol,
                              int32_t timeoutMs) {
    FrameBuf* frame = FramePool::Instance().Acquire();
    MsgBuf out(frame->data, kMaxRequestBody);
    out.Rewind(0, 0);
    const uint8_t sequence = NextSequence();
    out.Put8(static_cast<uint8_t>(address));
    out.Put8(kHostAddress);
    out.Put8(sequence);
    out.Put8(static_cast<uint8_t>(protocol));
    out.AppendFrom(request);
    frame->length = out.Error() ? 0 : out.WritePos();
    if (!m_Port.SendFrame(frame, true)) return false;

    for (;;) {
        FrameBuf* in = m_Port.GetFrame(timeoutMs);
        if (!in) return false;
        const bool match = in->length >= 4 && in->data[0] == kHostAddress &&
                           in->data[1] == static_cast<uint8_t>(address) &&
                           in->data[2] == sequence && in->data[3] == static_cast<uint8_t>(protocol);
        if (match) {
            MsgBuf body(in->data, in->length);
            body.Rewind(in->length, 4);
            reply.AppendFrom(body);
            FramePool::Instance().Release(in);
            return !reply.Error();
        }
        // A stale reply (of an earlier, timed-out request) or a frame for someone else.
        FramePool::Instance().Release(in);
    }
}

}  // namespace jvo
