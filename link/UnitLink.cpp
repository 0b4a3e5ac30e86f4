#include "link/UnitLink.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>

#include "base/FormatStr.h"
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

bool UnitLink::FinishOpen(bool opened, Route route, int baud, LinkStatus* status) {
    m_Baud = baud;
    if (!opened && status)
        *status = LinkStatus::Of(LinkResult::NotConnected,
                                 route == Route::Com ? m_OpenProblem : m_Port.OpenProblem());
    m_ViaProxy = false;
    if (opened) {
        m_Route = route;
        ++m_Generation;
        ClearLost();
    }
    m_Connected = opened;
    return opened;
}

bool UnitLink::OpenSerial(int portNumber, int baud, LinkStatus* status) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return AlreadyConnected(status);
    m_PortNumber = portNumber;
    return FinishOpen(OpenComPort(baud, false), Route::Com, baud, status);
}

void UnitLink::SetPortRoots(const PortRoots& roots) {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Roots = roots;
}

bool UnitLink::OpenComPort(int baud, bool again) {
    m_OpenProblem.clear();
    const int number = m_PortNumber;
    const PortEntry now = FindComPort(number, m_Roots ? *m_Roots : PortRoots::Default());
    if (now.path.empty()) {
        JVO_LOG1("UnitLink: no serial device for COM%d", number);
        m_OpenProblem = "no device is pinned or found for it (see `jvoctl ports`)";
        return false;
    }
    if (again && !SameComDevice(m_ComEntry, now)) {
        // Ours went away and the number moved on to the next device: waiting for ours to come
        // back is right, talking to whatever is on that other line is not.
        if (!m_OtherDeviceLogged)
            JVO_LOG1("UnitLink: COM%d now names %s, not %s: left closed until its device is back",
                     number, now.path, m_ComEntry.path);
        m_OtherDeviceLogged = true;
        m_OpenProblem = FormatStr("COM%d now names %s, not its own device %s", number, now.path,
                                  m_ComEntry.path);
        return false;
    }
    if (!m_Port.OpenDevice(now.path, baud)) {
        m_OpenProblem = now.path + ": " + m_Port.OpenProblem();
        return false;
    }
    m_ComEntry = now;
    m_OtherDeviceLogged = false;
    return true;
}

bool UnitLink::OpenDeviceAgain() {
    // A pseudo-terminal that hung up is gone for good: the same path may already be another
    // program's terminal.
    std::error_code ec;
    const std::string path = std::filesystem::canonical(m_DevicePath, ec).string();
    if (IsPseudoTerminal(ec ? m_DevicePath : path)) {
        m_OpenProblem = m_DevicePath + " was a pseudo-terminal that went away";
        return false;
    }
    m_OpenProblem.clear();
    if (m_Port.OpenDevice(m_DevicePath, m_Baud)) return true;
    m_OpenProblem = m_Port.OpenProblem();
    return false;
}

bool UnitLink::OpenSerialDevice(const std::string& path, int baud, LinkStatus* status) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return AlreadyConnected(status);
    m_PortNumber = -1;
    m_DevicePath = path;
    return FinishOpen(m_Port.OpenDevice(path, baud), Route::Device, baud, status);
}

bool UnitLink::AlreadyConnected(LinkStatus* status) {
    if (status) *status = LinkStatus::Of(LinkResult::NotConnected, "the link is already open");
    return false;
}

bool UnitLink::OpenProxy(const std::string& host, const ProxyOptions& options, LinkStatus* status) {
    std::lock_guard<std::mutex> guard(m_Lock);
    if (m_Connected) return AlreadyConnected(status);
    std::shared_ptr<ProxyConnection> proxy = ProxyConnection::Open(host, options, status);
    if (!proxy) return false;
    SetProxy(std::move(proxy));
    m_ProxyHost = host;
    m_ProxyOptions = options;
    m_ProxyDepth = std::clamp(options.pipelineDepth, 1, ProxyConnection::kMaxRun);
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
    const bool opened = m_Route == Route::Com ? OpenComPort(m_Baud, true) : OpenDeviceAgain();
    if (!opened) {
        std::lock_guard<std::mutex> health(m_HealthLock);
        if (!m_Lost) {
            m_Lost = true;
            m_LostReason = "device could not be opened again";
            if (!m_OpenProblem.empty()) m_LostReason += ": " + m_OpenProblem;
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
    std::shared_ptr<ProxyConnection> proxy = ProxyConnection::Open(host, options, nullptr, [this] {
        return m_Disconnecting.load() > 0 || !m_Connected.load();
    });
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

LinkStatus UnitLink::Interrupted() const {
    if (!m_Connected || m_Disconnecting > 0)
        return LinkStatus::Of(LinkResult::Cancelled, "the link was closed");
    if (m_ViaProxy) {
        if (std::shared_ptr<ProxyConnection> proxy = CurrentProxy()) return proxy->EndStatus();
    }
    return LinkStatus::Of(LinkResult::TransportLost, TransportLostReason());
}

bool UnitLink::Transact(int address, MsgBuf& request, MsgBuf& reply, int protocol,
                        int32_t timeoutMs, LinkStatus* status) {
    Exchange exchange{&request, &reply, {}, {}};
    const bool ok = TransactMany(address, &exchange, 1, protocol, timeoutMs) == 1;
    if (status) *status = std::move(exchange.status);
    return ok;
}

namespace {

// Why a request cannot be sent, or empty when it can: one that overran its buffer, or that cannot
// fit one frame, could only fail by time-out, or be answered as if it were a different (empty)
// command.
const char* RequestProblem(const MsgBuf& request) {
    if (request.Error()) return "the request overran its buffer";
    if (request.Unread() > kMaxPayload) return "the request does not fit a frame";
    return nullptr;
}

}  // namespace

int UnitLink::TransactMany(int address, Exchange* ex, int count, int protocol, int32_t timeoutMs) {
    using Clock = std::chrono::steady_clock;
    count = std::clamp(count, 0, ProxyConnection::kMaxRun);
    // Taken before the run: the serial path consumes the requests.
    std::array<uint8_t, ProxyConnection::kMaxRun> commands{};
    std::array<uint32_t, ProxyConnection::kMaxRun> requestBytes{};
    for (int i = 0; i < count; ++i) {
        const MsgBuf& request = *ex[i].request;
        commands[static_cast<size_t>(i)] = request.Unread() > 0 ? request.ReadPtr()[0] : 0;
        requestBytes[static_cast<size_t>(i)] = static_cast<uint32_t>(std::max(request.Unread(), 0));
        ex[i].status = LinkStatus{};
        ex[i].status.command = commands[static_cast<size_t>(i)];
        ex[i].reply->Rewind(0, 0);
    }
    // Every exchange from `from` on ends with `why`.
    auto fail = [&](int from, const LinkStatus& why) {
        for (int i = from; i < count; ++i) {
            ex[i].status = why;
            ex[i].status.command = commands[static_cast<size_t>(i)];
        }
        return 0;
    };
    if (count == 0) return 0;
    if (!m_Connected) return fail(0, LinkStatus::Of(LinkResult::NotConnected));
    std::lock_guard<std::mutex> guard(m_Lock);
    // Disconnected while this caller waited for the lock.
    if (!m_Connected) return fail(0, LinkStatus::Of(LinkResult::Cancelled, "the link was closed"));
    // A lost transport answers nothing until it is reopened.
    if (TransportLost()) return fail(0, Interrupted());
    // The run ends before the first request that cannot be sent.
    int runnable = 0;
    for (; runnable < count; ++runnable) {
        if (const char* problem = RequestProblem(*ex[runnable].request)) {
            fail(runnable, LinkStatus::Of(LinkResult::InvalidRequest, problem));
            break;
        }
    }
    if (runnable == 0) return 0;
    const bool tapped = m_Tapped.load(std::memory_order_acquire);
    // Without a tap nothing is timed or copied: only the two counters below.
    const auto start = tapped ? Clock::now() : Clock::time_point{};
    std::array<int, ProxyConnection::kMaxRun> sequences;
    sequences.fill(-1);
    int ran = 0;  // exchanges that went out
    int inARow = 0;
    if (m_ViaProxy) {
        std::shared_ptr<ProxyConnection> proxy = CurrentProxy();
        if (!proxy) return fail(0, Interrupted());
        inARow = proxy->TransactMany(static_cast<uint8_t>(address), ex, runnable, timeoutMs);
        ran = runnable;
    } else {
        while (ran < runnable) {
            Exchange& e = ex[ran++];
            m_LastSequence = -1;
            const bool ok =
                TransactSerial(address, *e.request, *e.reply, protocol, timeoutMs, e.status);
            sequences[static_cast<size_t>(ran - 1)] = m_LastSequence;
            if (tapped) e.doneAt = Clock::now();
            if (!ok) {
                // Those after it are not sent: they carry the failure that ended the run.
                for (int i = ran; i < runnable; ++i)
                    ex[i].status = e.status;
                break;
            }
            ++inARow;
        }
    }
    for (int i = 0; i < count; ++i)
        ex[i].status.command = commands[static_cast<size_t>(i)];
    for (int i = 0; i < ran; ++i) {
        Exchange& e = ex[i];
        const bool ok = e.status.Ok();
        const int replyCode = ok && e.reply->Unread() > 0 ? e.reply->ReadPtr()[0] : -1;
        m_Transactions.fetch_add(1, std::memory_order_relaxed);
        if (replyCode != kReplyOk) m_Failures.fetch_add(1, std::memory_order_relaxed);
        // A pipelined request went out with the first; one on the line after the one before.
        const auto began = m_ViaProxy || i == 0 ? start : ex[i - 1].doneAt;
        if (tapped)
            Tell(began, e.doneAt, e.status.command, requestBytes[static_cast<size_t>(i)], *e.reply,
                 replyCode, e.status, sequences[static_cast<size_t>(i)]);
    }
    return inARow;
}

void UnitLink::Tell(std::chrono::steady_clock::time_point start,
                    std::chrono::steady_clock::time_point end, uint8_t command,
                    uint32_t requestBytes, const MsgBuf& reply, int replyCode, const LinkStatus& st,
                    int sequence) {
    std::shared_ptr<LinkTap> tap;
    {
        std::lock_guard<std::mutex> lock(m_TapLock);
        tap = m_Tap;
    }
    if (!tap) return;
    TrafficEntry e;
    const auto wall = std::chrono::system_clock::now() - (std::chrono::steady_clock::now() - start);
    e.m_TimeMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(wall.time_since_epoch()).count();
    e.m_Command = command;
    e.m_Sequence = sequence;
    e.m_RequestBytes = requestBytes;
    e.m_ReplyBytes = replyCode >= 0 ? static_cast<uint32_t>(reply.Unread()) : 0;
    e.m_ReplyCode = replyCode;
    e.m_Result = replyCode >= 0 && replyCode != kReplyOk ? LinkResult::Refused : st.result;
    e.m_Detail = st.detail;
    e.m_RoundTripMs = static_cast<int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(end - start).count());
    tap->OnTransaction(e);
}

void UnitLink::SetTap(std::shared_ptr<LinkTap> tap) {
    std::lock_guard<std::mutex> lock(m_TapLock);
    m_Tap = std::move(tap);
    m_Tapped.store(m_Tap != nullptr, std::memory_order_release);
}

bool UnitLink::TransactSerial(int address, MsgBuf& request, MsgBuf& reply, int protocol,
                              int32_t timeoutMs, LinkStatus& status) {
    FrameBuf* frame = FramePool::Instance().Acquire();
    MsgBuf out(frame->data, kMaxRequestBody);
    out.Rewind(0, 0);
    const uint8_t sequence = NextSequence();
    m_LastSequence = sequence;
    out.Put8(static_cast<uint8_t>(address));
    out.Put8(kHostAddress);
    out.Put8(sequence);
    out.Put8(static_cast<uint8_t>(protocol));
    out.AppendFrom(request);
    frame->length = out.Error() ? 0 : out.WritePos();
    if (!m_Port.SendFrame(frame, true)) {
        status = m_Port.ReaderRunning() && m_Connected && m_Disconnecting == 0
                     ? LinkStatus::Of(LinkResult::WriteFailed,
                                      "the device did not take the request in time")
                     : Interrupted();
        return false;
    }
    bool mismatched = false;
    auto unanswered = [&] {
        status = LinkStatus::Of(mismatched ? LinkResult::Mismatched : LinkResult::NoReply);
        return false;
    };

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
                return unanswered();
            }
            wait = static_cast<int32_t>(std::min<int64_t>(wait, left.count()));
        }
        FrameBuf* in = m_Port.GetFrame(wait);
        if (!in) {
            if (!m_Port.ReaderRunning() || !m_Connected || m_Disconnecting > 0) {
                status = Interrupted();
                return false;
            }
            return unanswered();
        }
        const bool match = in->length >= 4 && in->data[0] == kHostAddress &&
                           in->data[1] == static_cast<uint8_t>(address) &&
                           in->data[2] == sequence && in->data[3] == static_cast<uint8_t>(protocol);
        if (match) {
            MsgBuf body(in->data, in->length);
            body.Rewind(in->length, 4);
            reply.AppendFrom(body);
            FramePool::Instance().Release(in);
            if (reply.Error()) {
                status = LinkStatus::Of(LinkResult::ReplyTooLong);
                return false;
            }
            return true;
        }
        mismatched = true;
        // A stale reply (of an earlier, timed-out request) or a frame for someone else.
        FramePool::Instance().Release(in);
    }
}

}  // namespace jvo
