#include "link/TcpSocket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "base/SyncEvent.h"
#include "link/AfoThread.h"
#include "link/AppLog.h"

namespace jvo {

void SocketUser::OnRecv(std::unique_ptr<RecBuf> buffer) {
    m_Fifo.Push(kRecvCode, std::move(buffer));
}

void SocketUser::OnClose() {
    m_Fifo.Push(kClosedCode);
}

struct TcpSocket::Shared {
    SocketHandle socket;  // closed by the worker once Close() has been called
    std::shared_ptr<TcpSocketUser> user;
    MsgFifo sendQueue;
    std::atomic<int32_t> state{kRunning};
    SyncEvent closeEvent{SyncEvent::Reset::Manual};
    TcpSocketOptions options;
    uint64_t startMs = 0;  // when the connection was handed over: the first receive/send time
};

// Set by the worker after it has let go of the shared state.
struct TcpSocket::Latch {
    std::mutex lock;
    std::condition_variable changed;
    bool done = false;
    void Set() {
        std::lock_guard<std::mutex> guard(lock);
        done = true;
        changed.notify_all();
    }
    bool Wait(int32_t waitMs) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::milliseconds(waitMs > 0 ? waitMs : 0),
                                [&] { return done; });
    }
};

struct TcpSocket::WorkerArgs {
    std::shared_ptr<Shared> shared;
    std::shared_ptr<Latch> finished;
};

namespace {

constexpr int32_t kBodyStep = 64 * 1024;  // a body's area grows by at least this much
constexpr int kReadsPerWake = 64;         // bounded work per wake-up, so the timers are looked at
constexpr uint8_t kKeepAlive[8] = {0xCE, 0xFA, 0xED, 0xFE, 0, 0, 0, 0};

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The worker's loop over one connection (runs on the TcpSocketThread).
class Worker {
public:
    explicit Worker(TcpSocket::Shared& s)
        : m_S(s),
          m_Clock(s.options.clock ? *s.options.clock : SystemClock::Instance()),
          m_Fd(s.socket.Get()),
          m_Tid(AfoThread::CurrentThreadId()) {}

    void Run();

private:
    enum class Step { Go, End, Stop };
    Step Receive();
    Step ReceivedHeader();
    Step StartSend(const uint8_t* data, int32_t length);
    Step SendMore(bool continuation);
    Step TakeFromQueue();
    void Finish(bool stopped);

    TcpSocket::Shared& m_S;
    const IClock& m_Clock;
    const int m_Fd;
    const uint32_t m_Tid;
    uint64_t m_LastRecv = 0;
    uint64_t m_LastSend = 0;
    // Receiving: the header, then the body (grown as its bytes arrive).
    uint8_t m_Header[8] = {};
    int32_t m_HeaderHave = 0;
    bool m_InBody = false;
    int32_t m_BodyLength = 0;
    int32_t m_BodyHave = 0;
    int32_t m_BodyCapacity = 0;
    std::unique_ptr<uint8_t[]> m_Body;
    // Sending: the buffer in flight (none for a keep-alive) and what is left of it.
    std::unique_ptr<RecBuf> m_Sending;
    const uint8_t* m_SendPtr = nullptr;
    int32_t m_SendLeft = 0;
};

void Worker::Run() {
    int one = 1;
    ::setsockopt(m_Fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_LastRecv = m_LastSend = m_S.startMs;
    const TcpSocketOptions& o = m_S.options;
    bool stopped = false;
    for (;;) {
        const bool sending = m_SendLeft > 0;
        // While a send is in progress the queue waits; the close event is watched instead, so
        // that Close() also ends a send that a peer which does not read would hold up forever.
        pollfd fds[2] = {};
        fds[0].fd = m_Fd;
        fds[0].events = static_cast<short>(POLLIN | (sending ? POLLOUT : 0));
        fds[1].fd = sending ? m_S.closeEvent.Fd() : m_S.sendQueue.ReadyEvent().Fd();
        fds[1].events = POLLIN;
        const int n = ::poll(fds, 2, o.tickMs);
        if (n < 0 && errno != EINTR) break;
        Step step = Step::Go;
        if (n > 0) {
            if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) step = Receive();
            if (step == Step::Go && sending && (fds[0].revents & (POLLOUT | POLLERR | POLLHUP)))
                step = SendMore(true);
            if (step == Step::Go && (fds[1].revents & POLLIN))
                step = sending ? Step::Stop : TakeFromQueue();
            if (fds[0].revents & POLLNVAL) step = Step::End;  // not a socket (invalid handle)
        }
        if (step == Step::Stop) {
            stopped = true;
            break;
        }
        if (step == Step::End) break;
        const uint64_t now = m_Clock.NowMs();
        if (now - m_LastRecv > static_cast<uint64_t>(o.idleLimitMs)) {
            JVO_LOG0("TcpSocket::WorkerThread(0x%X) %d.%03d second IDLE timeout", m_Tid,
                     o.idleLimitMs / 1000, o.idleLimitMs % 1000);
            break;
        }
        if (m_SendLeft == 0 && now - m_LastSend >= static_cast<uint64_t>(o.keepAliveMs)) {
            m_LastSend = now;
            if (StartSend(kKeepAlive, sizeof kKeepAlive) == Step::End) break;
        }
    }
    Finish(stopped);
}

Worker::Step Worker::Receive() {
    for (int i = 0; i < kReadsPerWake; ++i) {
        uint8_t* into;
        size_t want;
        if (!m_InBody) {
            into = m_Header + m_HeaderHave;
            want = sizeof m_Header - static_cast<size_t>(m_HeaderHave);
        } else {
            if (m_BodyHave == m_BodyCapacity) {
                // Grow in steps up to the announced length, so that an announced body costs
                // memory only as its bytes arrive.
                const int64_t doubled = static_cast<int64_t>(m_BodyCapacity) * 2;
                const int32_t capacity = static_cast<int32_t>(
                    std::min<int64_t>(m_BodyLength, std::max<int64_t>(kBodyStep, doubled)));
                std::unique_ptr<uint8_t[]> grown(new uint8_t[static_cast<size_t>(capacity)]);
                if (m_BodyHave > 0) std::memcpy(grown.get(), m_Body.get(), m_BodyHave);
                m_Body = std::move(grown);
                m_BodyCapacity = capacity;
            }
            into = m_Body.get() + m_BodyHave;
            want = static_cast<size_t>(m_BodyCapacity - m_BodyHave);
        }
        const ssize_t got = ::recv(m_Fd, into, want, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Step::Go;
            JVO_LOG1("TcpSocket::WorkerThread(0x%X): WSARecv() error (%d)", m_Tid, errno);
            return Step::End;
        }
        if (got == 0 || static_cast<size_t>(got) > want) return Step::End;  // peer closed
        if (!m_InBody) {
            m_HeaderHave += static_cast<int32_t>(got);
            if (m_HeaderHave == static_cast<int32_t>(sizeof m_Header)) {
                const Step step = ReceivedHeader();
                if (step != Step::Go) return step;
            }
        } else {
            m_BodyHave += static_cast<int32_t>(got);
            if (m_BodyHave == m_BodyLength) {
                auto body = std::make_unique<RecBuf>(std::move(m_Body), m_BodyLength);
                m_InBody = false;
                m_BodyLength = m_BodyHave = m_BodyCapacity = 0;
                m_S.user->OnRecv(std::move(body));
                m_LastRecv = m_Clock.NowMs();
            }
        }
    }
    return Step::Go;
}

Worker::Step Worker::ReceivedHeader() {
    m_HeaderHave = 0;
    const uint32_t marker = Le32(m_Header);
    const uint32_t length = Le32(m_Header + 4);
    if (marker != TcpSocket::kMarker) {
        JVO_LOG1("TcpSocket::WorkerThread(0x%X): Recv bad STREAM marker (0x%08x)", m_Tid, marker);
        return Step::End;
    }
    if (length == 0) {  // keep-alive
        m_LastRecv = m_Clock.NowMs();
        return Step::Go;
    }
    const int32_t limit = m_S.options.maxBody > 0
                              ? std::min(m_S.options.maxBody, TcpSocket::kMaxBody)
                              : TcpSocket::kMaxBody;
    if (length > static_cast<uint32_t>(limit)) {
        JVO_LOG1("TcpSocket::WorkerThread(0x%X): Received illegal length (%d)", m_Tid, length);
        return Step::End;
    }
    m_InBody = true;
    m_BodyLength = static_cast<int32_t>(length);
    m_BodyHave = 0;
    m_BodyCapacity = 0;
    m_Body.reset();
    return Step::Go;
}

Worker::Step Worker::StartSend(const uint8_t* data, int32_t length) {
    m_SendPtr = data;
    m_SendLeft = length;
    return SendMore(false);
}

Worker::Step Worker::SendMore(bool continuation) {
    while (m_SendLeft > 0) {
        const ssize_t sent = ::send(m_Fd, m_SendPtr, static_cast<size_t>(m_SendLeft), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Step::Go;  // the rest on POLLOUT
            if (continuation) {
                JVO_LOG1("TcpSocket::WorkerThread(0x%X): GetOverlappedResult() (error=%d)", m_Tid,
                         errno);
            } else {
                JVO_LOG0("TcpSocket::WorkerThread(0x%X) WSASend() error (%d)", m_Tid, errno);
            }
            return Step::End;
        }
        if (sent == 0 || sent > m_SendLeft) return Step::End;
        m_SendPtr += sent;
        m_SendLeft -= static_cast<int32_t>(sent);
    }
    m_Sending.reset();  // all sent
    m_SendPtr = nullptr;
    return Step::Go;
}

Worker::Step Worker::TakeFromQueue() {
    MsgFifo::Entry entry;
    if (!m_S.sendQueue.Pop(entry)) {
        JVO_LOG3("TcpSocket::WorkerThread(0x%X) Dequeque from send fifo", m_Tid);
        return Step::End;
    }
    if (entry.code == TcpSocket::kStopCode) return Step::Stop;
    if (!entry.buffer || entry.buffer->Length() <= 0) return Step::Go;
    m_Sending = std::move(entry.buffer);
    m_LastSend = m_Clock.NowMs();
    return StartSend(m_Sending->ReadPtr(), m_Sending->Length());
}

void Worker::Finish(bool stopped) {
    m_Sending.reset();
    m_SendLeft = 0;
    m_Body.reset();
    if (!stopped) m_S.user->OnClose();
    MsgFifo::Entry entry;
    while (m_S.sendQueue.Pop(entry))
        entry.buffer.reset();
    JVO_LOG2("TcpSocket::WorkerThread(0x%X) Thread terminated normally", m_Tid);
    m_S.state = TcpSocket::kFinished;
    // The socket stays open until the owner has called Close().
    m_S.closeEvent.Wait(kWaitForever);
    m_S.socket.Reset();
}

}  // namespace

TcpSocket::TcpSocket(SocketHandle socket, std::shared_ptr<TcpSocketUser> user,
                     const TcpSocketOptions& options)
    : m_Shared(std::make_shared<Shared>()), m_Finished(std::make_shared<Latch>()) {
    if (!socket.Valid()) JVO_LOG1("TcpSocket::TcpSocket() Invalid s");
    m_Shared->socket = std::move(socket);
    m_Shared->user = std::move(user);
    m_Shared->options = options;
    m_Shared->startMs =
        (options.clock ? *options.clock : static_cast<const IClock&>(SystemClock::Instance()))
            .NowMs();
    auto* args = new WorkerArgs{m_Shared, m_Finished};
    if (!AfoThread::StartThread(&TcpSocket::WorkerThread, "TcpSocketThread", args,
                                ThreadPriority::Highest)) {
        delete args;
        m_Shared->state = kFinished;
        m_Shared->user->OnClose();
        m_Finished->Set();
    }
}

TcpSocket::~TcpSocket() {
    Close();
}

uint32_t TcpSocket::WorkerThread(void* argument) {
    std::unique_ptr<WorkerArgs> args(static_cast<WorkerArgs*>(argument));
    std::shared_ptr<Latch> finished = args->finished;
    Worker(*args->shared).Run();
    args.reset();  // lets go of the shared state: the last owner closes its descriptors
    finished->Set();
    return 0;
}

bool TcpSocket::SendMsg(std::unique_ptr<RecBuf> buffer) {
    const int32_t state = m_Shared->state.load();
    if (state != kRunning) {
        JVO_LOG1("TcpSocket::SendMsg() Link not running (state=%d)", state);
        return false;
    }
    if (!buffer || !buffer->HasData()) {
        JVO_LOG1("TcpSocket::SendMsg() Received NULL buffer pointer");
        return false;
    }
    const int32_t length = buffer->Length();
    if (length <= 0 || length > kMaxBody) {
        JVO_LOG1("TcpSocket::SendMsg() Invalid buffer length: %d", length);
        return false;
    }
    auto message = std::make_unique<RecBuf>(length + 8);
    message->Put32(kMarker);
    message->Put32(static_cast<uint32_t>(length));
    message->PutBytes(buffer->ReadPtr(), length);
    m_Shared->sendQueue.Push(kSendCode, std::move(message));
    return true;
}

void TcpSocket::Close() {
    int32_t expected = kRunning;
    if (m_Shared->state.compare_exchange_strong(expected, kCloseRequested))
        m_Shared->sendQueue.Push(kStopCode);
    m_Shared->closeEvent.Set();
}

int32_t TcpSocket::State() const {
    return m_Shared->state.load();
}

size_t TcpSocket::PendingSends() const {
    return m_Shared->sendQueue.Size();
}

bool TcpSocket::WaitFinished(int32_t waitMs) {
    return m_Finished->Wait(waitMs);
}

}  // namespace jvo
