#include "link/TcpSocket.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "base/SyncEvent.h"
#include "link/AfoThread.h"
#include "link/AppLog.h"
#include "link/Socket.h"
#include "link/StreamReader.h"

namespace jvo {

void SocketUser::OnRecv(std::unique_ptr<RecBuf> buffer) {
    m_Fifo.Push(kRecvCode, std::move(buffer));
}

void SocketUser::OnClose() {
    m_Fifo.Push(kClosedCode);
}

struct TcpSocket::Shared {
    SocketHandle socket;  // closed by the worker once Close() has been called (under sendLock)
    // Sending: SendMsg writes a message straight to the socket when nothing else is on its way
    // (saving the worker's wake-up); otherwise it queues it for the worker. Guarded by sendLock:
    // the worker's sending flag, the pop from the send queue and the socket's closing.
    std::mutex sendLock;
    bool workerSending = false;
    std::atomic<uint64_t> lastSendMs{0};  // the last message handed to the socket or the worker
    std::shared_ptr<TcpSocketUser> user;
    MsgFifo sendQueue;
    std::atomic<int32_t> state{kRunning};
    SyncEvent closeEvent{SyncEvent::Reset::Manual};
    TcpSocketOptions options;
    uint64_t startMs = 0;  // when the connection was handed over: the first receive/send time
    std::atomic<uint32_t> tid{0};  // the worker's thread id, for the log
    // Receiving: by the worker, or by a caller waiting in ReceiveHere (the worker then stands
    // aside). Guarded by rxLock: the reader, the callers' count and `finishing`; the worker
    // closes the socket only once no caller uses it.
    std::mutex rxLock;
    std::condition_variable noCallers;
    int callersReceiving = 0;
    bool finishing = false;
    std::unique_ptr<StreamReader> reader;  // the header, then the body (grown as bytes arrive)
    std::atomic<uint64_t> lastRecvMs{0};
    std::atomic<bool> rxEnded{false};  // a caller's receive ended the connection
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

constexpr int kReadsPerWake = 64;  // bounded work per wake-up, so the timers are looked at
constexpr uint8_t kKeepAlive[8] = {0xCE, 0xFA, 0xED, 0xFE, 0, 0, 0, 0};

// The longest body a socket takes: the option's limit, or the STREAM limit.
uint32_t BodyLimit(const TcpSocketOptions& options) {
    return options.maxBody > 0 && static_cast<uint32_t>(options.maxBody) < proxywire::kStreamMaxBody
               ? static_cast<uint32_t>(options.maxBody)
               : proxywire::kStreamMaxBody;
}

const IClock& ClockOf(const TcpSocketOptions& options) {
    return options.clock ? *options.clock : static_cast<const IClock&>(SystemClock::Instance());
}

enum class Step { Go, End, Stop };

constexpr size_t kRecvChunk = 16 * 1024;

// Hands the messages the reader holds to the user; with `oneMessage` it stops after the first
// (the rest waits in the reader). rxLock held.
Step Feed(TcpSocket::Shared& s, bool oneMessage, bool& handed) {
    StreamReader& reader = *s.reader;
    for (;;) {
        switch (reader.Next()) {
            case StreamReader::Event::None:
                return Step::Go;
            case StreamReader::Event::KeepAlive:
                s.lastRecvMs = ClockOf(s.options).NowMs();
                break;
            case StreamReader::Event::Message: {
                const int32_t length = static_cast<int32_t>(reader.Length());
                s.user->OnRecv(std::make_unique<RecBuf>(reader.TakeBody(), length));
                s.lastRecvMs = ClockOf(s.options).NowMs();
                handed = true;
                if (oneMessage) return Step::Go;
                break;
            }
            case StreamReader::Event::BadMarker:
                JVO_LOG1("TcpSocket::WorkerThread(0x%X): Recv bad STREAM marker (0x%08x)",
                         s.tid.load(), reader.Marker());
                return Step::End;
            case StreamReader::Event::BadLength:
                JVO_LOG1("TcpSocket::WorkerThread(0x%X): Received illegal length (%d)",
                         s.tid.load(), reader.Length());
                return Step::End;
        }
    }
}

// Takes what has arrived (a bounded number of reads, each of whatever is there) and hands each
// message to the user, on the worker's thread or on a caller's; with `oneMessage`, no more once
// a message was handed over: the rest of that read waits in the reader. rxLock held.
Step Receive(TcpSocket::Shared& s, bool oneMessage = false) {
    bool handed = false;
    Step step = Feed(s, oneMessage, handed);
    if (step != Step::Go || (handed && oneMessage)) return step;
    uint8_t chunk[kRecvChunk];
    for (int i = 0; i < kReadsPerWake; ++i) {
        const int64_t got = net::Recv(s.socket.Get(), chunk, sizeof chunk);
        if (got < 0) {
            const int error = net::LastError();
            if (net::Classify(error) == net::Error::WouldBlock) return Step::Go;
            // The text names the Windows call whose failure this is; the error is this
            // platform's own number.
            JVO_LOG1("TcpSocket::WorkerThread(0x%X): WSARecv() error (%d)", s.tid.load(), error);
            return Step::End;
        }
        const size_t n = static_cast<size_t>(got);
        if (got == 0 || n > sizeof chunk) return Step::End;  // peer closed
        s.reader->Append(chunk, n);
        step = Feed(s, oneMessage, handed);
        if (step != Step::Go || (handed && oneMessage)) return step;
        // A short read took everything there was.
        if (n < sizeof chunk) return Step::Go;
    }
    return Step::Go;
}

// Whether a caller may still receive on the socket (rxLock held): not once it is closing or a
// receive has ended it.
bool CallersMayReceive(const TcpSocket::Shared& s) {
    return !s.finishing && !s.rxEnded.load() && s.state.load() == TcpSocket::kRunning;
}

// After a caller's receive: a connection that ended there is ended by the worker, as if it had
// seen it itself.
void EndIfLost(TcpSocket::Shared& s, Step step) {
    if (step != Step::End) return;
    s.rxEnded = true;
    s.sendQueue.Push(TcpSocket::kWakeCode);
}

// The worker's loop over one connection (runs on the TcpSocketThread).
class Worker {
public:
    explicit Worker(TcpSocket::Shared& s)
        : m_S(s),
          m_Clock(ClockOf(s.options)),
          m_Fd(s.socket.Get()),
          m_Tid(AfoThread::CurrentThreadId()) {
        s.tid = m_Tid;
    }

    void Run();

private:
    // The worker's receive: nothing while a caller receives.
    Step WorkerReceive();
    Step StartSend(const uint8_t* data, int32_t length);
    Step SendMore(bool continuation);
    Step TakeFromQueue();
    void Finish(bool stopped);

    TcpSocket::Shared& m_S;
    const IClock& m_Clock;
    const NativeSocket m_Fd;
    const uint32_t m_Tid;
    SocketPoller m_Poller;
    // Sending: the buffer in flight (none for a keep-alive) and what is left of it.
    std::unique_ptr<RecBuf> m_Sending;
    const uint8_t* m_SendPtr = nullptr;
    int32_t m_SendLeft = 0;
};

void Worker::Run() {
    net::SetNoDelay(m_Fd);
    m_S.lastRecvMs = m_S.startMs;
    m_S.lastSendMs = m_S.startMs;
    const TcpSocketOptions& o = m_S.options;
    bool stopped = false;
    for (;;) {
        const bool sending = m_SendLeft > 0;
        bool callers = false;
        bool held = false;  // read bytes wait in the reader: no wait for the socket
        {
            std::lock_guard<std::mutex> guard(m_S.rxLock);
            callers = m_S.callersReceiving > 0;
            held = !callers && m_S.reader->HasPending();
        }
        // While a send is in progress the queue waits; the close event is watched instead, so
        // that Close() also ends a send that a peer which does not read would hold up forever.
        // While a caller receives, the socket is left to it unless there is something to send.
        m_Poller.Clear();
        const size_t sock =
            m_Poller.AddSocket(callers && !sending ? kNoSocket : m_Fd, !callers, sending);
        const size_t event =
            m_Poller.AddEvent(sending ? m_S.closeEvent : m_S.sendQueue.ReadyEvent());
        const int n = m_Poller.Wait(held ? 0 : o.tickMs);
        if (n < 0) break;
        Step step = Step::Go;
        if (held) step = WorkerReceive();
        if (n > 0) {
            if (step == Step::Go && (m_Poller.Readable(sock) || m_Poller.Failed(sock)))
                step = WorkerReceive();
            if (step == Step::Go && sending && (m_Poller.Writable(sock) || m_Poller.Failed(sock)))
                step = SendMore(true);
            if (step == Step::Go && m_Poller.IsSet(event))
                step = sending ? Step::Stop : TakeFromQueue();
            if (m_Poller.NotASocket(sock)) step = Step::End;  // not a socket (invalid handle)
        }
        if (step == Step::Stop) {
            stopped = true;
            break;
        }
        if (step == Step::End || m_S.rxEnded.load()) break;
        const uint64_t now = m_Clock.NowMs();
        const uint64_t lastRecv = m_S.lastRecvMs.load();
        if (now >= lastRecv && now - lastRecv > static_cast<uint64_t>(o.idleLimitMs)) {
            JVO_LOG0("TcpSocket::WorkerThread(0x%X) %d.%03d second IDLE timeout", m_Tid,
                     o.idleLimitMs / 1000, o.idleLimitMs % 1000);
            break;
        }
        // SendMsg may have stamped a send after `now` was read.
        const uint64_t lastSend = m_S.lastSendMs.load();
        if (m_SendLeft == 0 && now >= lastSend &&
            now - lastSend >= static_cast<uint64_t>(o.keepAliveMs)) {
            m_S.lastSendMs = now;
            {
                // Not between the bytes of a message that SendMsg is writing.
                std::lock_guard<std::mutex> guard(m_S.sendLock);
                m_S.workerSending = true;
            }
            if (StartSend(kKeepAlive, sizeof kKeepAlive) == Step::End) break;
        }
    }
    Finish(stopped);
}

Step Worker::WorkerReceive() {
    std::lock_guard<std::mutex> guard(m_S.rxLock);
    if (m_S.callersReceiving > 0) return Step::Go;  // a caller takes it
    return Receive(m_S);
}

Step Worker::StartSend(const uint8_t* data, int32_t length) {
    m_SendPtr = data;
    m_SendLeft = length;
    return SendMore(false);
}

Step Worker::SendMore(bool continuation) {
    while (m_SendLeft > 0) {
        const int64_t sent = net::Send(m_Fd, m_SendPtr, static_cast<size_t>(m_SendLeft));
        if (sent < 0) {
            const int error = net::LastError();
            if (net::Classify(error) == net::Error::WouldBlock) return Step::Go;  // the rest later
            if (continuation) {
                JVO_LOG1("TcpSocket::WorkerThread(0x%X): GetOverlappedResult() (error=%d)", m_Tid,
                         error);
            } else {
                JVO_LOG0("TcpSocket::WorkerThread(0x%X) WSASend() error (%d)", m_Tid, error);
            }
            return Step::End;
        }
        if (sent == 0 || sent > m_SendLeft) return Step::End;
        m_SendPtr += sent;
        m_SendLeft -= static_cast<int32_t>(sent);
    }
    m_Sending.reset();  // all sent
    m_SendPtr = nullptr;
    std::lock_guard<std::mutex> guard(m_S.sendLock);
    m_S.workerSending = false;
    return Step::Go;
}

Step Worker::TakeFromQueue() {
    MsgFifo::Entry entry;
    bool popped;
    {
        std::lock_guard<std::mutex> guard(m_S.sendLock);
        popped = m_S.sendQueue.Pop(entry);
        m_S.workerSending = popped && entry.code == TcpSocket::kSendCode && entry.buffer &&
                            entry.buffer->Length() > 0;
    }
    if (!popped) {
        JVO_LOG3("TcpSocket::WorkerThread(0x%X) Dequeque from send fifo", m_Tid);
        return Step::End;
    }
    if (entry.code == TcpSocket::kStopCode) return Step::Stop;
    if (!entry.buffer || entry.buffer->Length() <= 0) return Step::Go;
    m_Sending = std::move(entry.buffer);
    m_S.lastSendMs = m_Clock.NowMs();
    return StartSend(m_Sending->ReadPtr(), m_Sending->Length());
}

void Worker::Finish(bool stopped) {
    m_Sending.reset();
    m_SendLeft = 0;
    if (!stopped) m_S.user->OnClose();
    MsgFifo::Entry entry;
    while (m_S.sendQueue.Pop(entry))
        entry.buffer.reset();
    JVO_LOG2("TcpSocket::WorkerThread(0x%X) Thread terminated normally", m_Tid);
    m_S.state = TcpSocket::kFinished;
    // The socket stays open until the owner has called Close(), and until no caller waits on it.
    m_S.closeEvent.Wait(kWaitForever);
    {
        std::unique_lock<std::mutex> rx(m_S.rxLock);
        m_S.finishing = true;
        m_S.noCallers.wait(rx, [this] { return m_S.callersReceiving == 0; });
    }
    std::lock_guard<std::mutex> guard(m_S.sendLock);
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
    m_Shared->reader =
        std::make_unique<StreamReader>(proxywire::kStreamMaxBody, 64 * 1024, BodyLimit(options));
    m_Shared->startMs = ClockOf(options).NowMs();
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
    return SendMsgs(&buffer, 1);
}

bool TcpSocket::SendMsgs(std::unique_ptr<RecBuf>* buffers, size_t count) {
    const int32_t state = m_Shared->state.load();
    if (state != kRunning) {
        JVO_LOG1("TcpSocket::SendMsg() Link not running (state=%d)", state);
        return false;
    }
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) {
        const std::unique_ptr<RecBuf>& buffer = buffers[i];
        if (!buffer || !buffer->HasData()) {
            JVO_LOG1("TcpSocket::SendMsg() Received NULL buffer pointer");
            return false;
        }
        const int32_t length = buffer->Length();
        if (length <= 0 || length > static_cast<int32_t>(proxywire::kStreamMaxBody)) {
            JVO_LOG1("TcpSocket::SendMsg() Invalid buffer length: %d", length);
            return false;
        }
        total += static_cast<size_t>(length) + proxywire::kStreamHeaderSize;
    }
    if (count == 0 || total > static_cast<size_t>(INT32_MAX)) return false;
    auto message = std::make_unique<RecBuf>(static_cast<int32_t>(total));
    for (size_t i = 0; i < count; ++i) {
        const RecBuf& buffer = *buffers[i];
        message->Put32(proxywire::kStreamMarker);
        message->Put32(static_cast<uint32_t>(buffer.Length()));
        message->PutBytes(buffer.ReadPtr(), buffer.Length());
    }
    Shared& s = *m_Shared;
    std::lock_guard<std::mutex> guard(s.sendLock);
    if (!s.workerSending && s.sendQueue.Size() == 0 && s.socket.Valid() &&
        s.state.load() == kRunning) {
        // Nothing else on its way: straight out, without waiting. What the socket does not take
        // at once (and any failure, which the worker then reports) is left to the worker.
        const int64_t sent =
            net::Send(s.socket.Get(), message->ReadPtr(), static_cast<size_t>(message->Length()));
        s.lastSendMs = ClockOf(s.options).NowMs();
        if (sent == message->Length()) return true;
        if (sent > 0) message->Skip(static_cast<int32_t>(sent));
    }
    s.sendQueue.Push(kSendCode, std::move(message));
    return true;
}

void TcpSocket::ReceiveHere(const SyncEvent& ready, int32_t waitMs) {
    Shared& s = *m_Shared;
    bool receive = false;
    {
        std::lock_guard<std::mutex> guard(s.rxLock);
        // Where two threads cannot wait on one socket, the worker receives and the caller waits
        // for what it hands over.
        receive = CallersMayReceive(s) && net::WaitsMayShareASocket();
        if (receive && s.reader->HasPending()) {
            EndIfLost(s, Receive(s, true));  // a message already read is there without a wait
            return;
        }
        if (receive) ++s.callersReceiving;
    }
    if (!receive) {
        ready.WaitWithoutTaking(waitMs);  // the connection ends: the worker reports it
        return;
    }
    // The worker sees this caller at its next look (at most tickMs): until then it may still
    // take a message itself, which then arrives through `ready`.
    SocketPoller poller;
    const size_t sock = poller.AddSocket(s.socket.Get(), true, false);
    poller.AddEvent(ready);
    const size_t closed = poller.AddEvent(s.closeEvent);
    const int n = poller.Wait(waitMs);
    std::lock_guard<std::mutex> guard(s.rxLock);
    // The caller has what it waited for after one message; what may follow is taken in by
    // TakeWaiting before its next request.
    if (n > 0 && !poller.IsSet(closed) && (poller.Readable(sock) || poller.Failed(sock)))
        EndIfLost(s, Receive(s, true));
    if (--s.callersReceiving == 0) s.noCallers.notify_all();
}

void TcpSocket::TakeWaiting() {
    Shared& s = *m_Shared;
    std::lock_guard<std::mutex> guard(s.rxLock);
    if (CallersMayReceive(s)) EndIfLost(s, Receive(s));
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
