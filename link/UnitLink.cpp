#include "link/UnitLink.h"

#include <algorithm>
#include <chrono>

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

std::shared_ptr<ProxyConnection> UnitLink::CurrentProxy() const {
    std::lock_guard<std::mutex> guard(m_HealthLock);
    return m_Proxy;
}

void UnitLink::SetProxy(std::shared_ptr<ProxyConnection> proxy) {
    std::lock_guard<std::mutex> guard(m_HealthLock);
    m_Proxy = std::move(proxy);
}

void UnitLink::ClearLost() {
    std::lock_guard<std::mutex> guard(m_HealthLock);
    m_Lost = false;
    m_LostReason.clear();
}

bool UnitLink::FinishOpen(bool opened, Route route, int baud) {
    m_Baud = baud;
    m_ViaProxy = false;
    if (opened) {
        m_Route = route;
        ++m_Generation;
        ClearLost();
    }
    m_Connected = opened;
    return opened;
}

bool UnitLink::OpenSerial(int portNumber, int baud) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return false;
    m_PortNumber = portNumber;
    return FinishOpen(OpenComPort(baud, false), Route::Com, baud);
}

void UnitLink::SetPortRoots(const PortRoots& roots) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Roots = roots;
}

bool UnitLink::OpenComPort(int baud, bool again) {
    const PortEntry now = FindComPort(m_PortNumber, m_Roots ? *m_Roots : PortRoots::Default());
    if (now.path.empty()) {
        JVO_LOG1("UnitLink: no serial device for COM%d", m_PortNumber);
        return false;
    }
    if (again && !SameComDevice(m_ComEntry, now)) {
        // Ours went away and the number moved on to the next device: waiting for ours to come
        // back is right, talking to whatever is on that other line is not.
        if (!m_OtherDeviceLogged)
            JVO_LOG1("UnitLink: COM%d now names %s, not %s: left closed until its device is back",
                     m_PortNumber, now.path, m_ComEntry.path);
        m_OtherDeviceLogged = true;
        return false;
    }
    if (!m_Port.OpenDevice(now.path, baud)) return false;
    m_ComEntry = now;
    m_OtherDeviceLogged = false;
    return true;
}

bool UnitLink::OpenSerialDevice(const std::string& path, int baud) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return false;
    m_PortNumber = -1;
    m_DevicePath = path;
    return FinishOpen(m_Port.OpenDevice(path, baud), Route::Device, baud);
}

bool UnitLink::OpenProxy(const std::string& host, const ProxyOptions& options) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return false;
    std::shared_ptr<ProxyConnection> proxy = ProxyConnection::Open(host, options);
    if (!proxy) return false;
    SetProxy(std::move(proxy));
    m_ProxyHost = host;
    m_ProxyOptions = options;
    m_Route = Route::Proxy;
    ++m_Generation;
    ClearLost();
    m_ViaProxy = true;
    m_Connected = true;
    return true;
}

void UnitLink::Disconnect() {
    if (!m_Connected) return;
    // Break a transaction that holds the lock first: closing the port wakes a blocked write and
    // the reply wait, closing the proxy connection wakes its reply wait.
    ++m_Disconnecting;
    if (std::shared_ptr<ProxyConnection> proxy = CurrentProxy()) proxy->Close();
    m_Port.Close();
    std::lock_guard<std::mutex> guard(m_Lock);
    // Counted down only once the link is marked closed, so that a closed port is never taken for
    // a lost one in between.
    struct Done {
        std::atomic<int>& count;
        ~Done() { --count; }
    } done{m_Disconnecting};
    if (!m_Connected) return;
    ++m_Generation;
    if (m_ViaProxy) {
        std::shared_ptr<ProxyConnection> proxy = CurrentProxy();
        if (proxy) proxy->Close();  // waits a bounded time for the connection's worker to finish
        SetProxy(nullptr);
    } else {
        m_Port.Close();
    }
    m_Route = Route::None;
    m_Connected = false;
    ClearLost();
}

bool UnitLink::TransportLost() const {
    if (!m_Connected || m_Disconnecting > 0) return false;
    std::lock_guard<std::mutex> guard(m_HealthLock);
    if (m_Lost) return true;
    std::string reason;
    if (m_ViaProxy) {
        if (m_Proxy && !m_Proxy->Ended()) return false;
        reason = "proxy connection ended: " +
                 (m_Proxy ? m_Proxy->EndReason() : std::string("not connected"));
    } else {
        if (m_Port.ReaderRunning()) return false;
        reason = "device hung up";
    }
    // A disconnect that raced with this check is no loss.
    if (!m_Connected || m_Disconnecting > 0) return false;
    m_Lost = true;
    m_LostReason = reason;
    JVO_LOG1("UnitLink: transport lost (%s)", reason);
    return true;
}

std::string UnitLink::TransportLostReason() const {
    if (!TransportLost()) return std::string();
    std::lock_guard<std::mutex> guard(m_HealthLock);
    return m_LostReason;
}

bool UnitLink::Reopen() {
    std::unique_lock<std::mutex> guard(m_Lock);
    if (!m_Connected || m_Route == Route::None) return false;
    if (m_Route == Route::Proxy) {
        guard.unlock();
        return ReopenProxy();
    }
    TransportLost();  // a loss not yet noticed is logged before the port goes
    m_Port.Close();
    const bool opened =
        m_Route == Route::Com ? OpenComPort(m_Baud, true) : m_Port.OpenDevice(m_DevicePath, m_Baud);
    if (!opened) {
        std::lock_guard<std::mutex> health(m_HealthLock);
        if (!m_Lost) {
            m_Lost = true;
            m_LostReason = "device could not be opened again";
            JVO_LOG1("UnitLink: transport lost (%s)", m_LostReason);
        }
        return false;
    }
    ClearLost();
    JVO_LOG1("UnitLink: serial port open again");
    return true;
}

bool UnitLink::ReopenProxy() {
    // The connect may take as long as the proxy options allow, so it runs without the
    // transaction lock; a Disconnect or another reopen meanwhile wins over this one.
    std::string host;
    ProxyOptions options;
    std::shared_ptr<ProxyConnection> old;
    uint64_t generation;
    {
        std::lock_guard<std::mutex> guard(m_Lock);
        if (!m_Connected || m_Route != Route::Proxy) return false;
        TransportLost();
        host = m_ProxyHost;
        options = m_ProxyOptions;
        generation = ++m_Generation;
        old = CurrentProxy();
        if (old) {
            old->Close();
            std::lock_guard<std::mutex> health(m_HealthLock);
            if (!m_Lost) {
                m_Lost = true;
                m_LostReason = "proxy connection ended: reconnecting";
            }
        }
        SetProxy(nullptr);
    }
    old.reset();
    // A Disconnect meanwhile gives the connect up at once instead of after its time-out.
    std::shared_ptr<ProxyConnection> proxy = ProxyConnection::Open(
        host, options, [this] { return m_Disconnecting.load() > 0 || !m_Connected.load(); });
    std::lock_guard<std::mutex> guard(m_Lock);
    if (!m_Connected || m_Generation != generation) {
        if (proxy) proxy->Close();
        return false;
    }
    if (!proxy) return false;
    SetProxy(std::move(proxy));
    ClearLost();
    JVO_LOG1("UnitLink: proxy connection open again");
    return true;
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
    // A lost transport answers nothing until it is reopened.
    if (TransportLost()) return false;
    // A request that overran its buffer, or that cannot fit one frame, is never sent: it could
    // only fail by time-out, or be answered as if it were a different (empty) command.
    if (request.Error() || request.Unread() > kMaxPayload) return false;
    if (m_ViaProxy) {
        std::shared_ptr<ProxyConnection> proxy = CurrentProxy();
        if (!proxy) return false;
        return proxy->Transact(static_cast<uint8_t>(address), request, reply, timeoutMs);
    }
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

    // One deadline for the whole transaction, from the send: a line with steady foreign traffic
    // cannot keep the transaction (and the link) for ever.
    using Clock = std::chrono::steady_clock;
    const bool bounded = timeoutMs >= 0;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(static_cast<int64_t>(bounded ? timeoutMs : 0) *
                                                 kTransactionDeadlineFactor);
    for (;;) {
        int32_t wait = timeoutMs;
        if (bounded) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0) {
                JVO_LOG1("UnitLink::Transact() No reply from unit %d within %d time-outs of %d ms",
                         address, kTransactionDeadlineFactor, timeoutMs);
                return false;
            }
            wait = static_cast<int32_t>(std::min<int64_t>(wait, left.count()));
        }
        FrameBuf* in = m_Port.GetFrame(wait);
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
