#pragma once
// TcpSocket: one TCP stream carrying STREAM messages (marker 0xFEEDFACE, 32-bit length, body; a
// length of 0 is a keep-alive), with one worker thread "TcpSocketThread" that does the socket's
// I/O (a caller waiting in ReceiveHere receives for it meanwhile). Received bodies go to a
// TcpSocketUser; the end of the connection too, unless the owner closed it.
//
// Lifetimes: the owner and the worker co-own a shared state block (socket, send queue, state,
// close event, user), so neither can use what the other has freed. Close() lets the worker
// finish; WaitFinished() waits (bounded) until it has closed the socket and let go of the block.
#include <cstdint>
#include <memory>

#include "base/Clock.h"
#include "base/MsgFifo.h"
#include "base/RecBuf.h"
#include "link/TcpBase.h"

namespace jvo {

// Receives what arrives on a TcpSocket, on its worker thread.
class TcpSocketUser {
public:
    virtual ~TcpSocketUser() = default;
    // A complete message body arrived; the callee owns it.
    virtual void OnRecv(std::unique_ptr<RecBuf> buffer) = 0;
    // The connection has ended other than by Close().
    virtual void OnClose() = 0;
};

// Passes everything on through its queue: (1001, body) per message, (1000) at the end.
class SocketUser : public TcpSocketUser {
public:
    static constexpr int32_t kClosedCode = 1000;
    static constexpr int32_t kRecvCode = 1001;

    void OnRecv(std::unique_ptr<RecBuf> buffer) override;
    void OnClose() override;
    MsgFifo& Fifo() { return m_Fifo; }

private:
    MsgFifo m_Fifo;
};

// Time constants of the worker; tests shorten them.
struct TcpSocketOptions {
    int32_t idleLimitMs = 10000;  // nothing received (not even a keep-alive) for longer: drop
    int32_t keepAliveMs = 2501;   // nothing sent for this long: send a keep-alive
    int32_t tickMs = 100;         // the worker looks at the clock at least this often
    int32_t maxBody = 0;  // a longer announced body ends the connection; 0: the STREAM limit
    std::shared_ptr<const IClock> clock;  // null: the system clock
};

class TcpSocket {
public:
    static constexpr int32_t kSendCode = 0;  // send queue: send the buffer
    static constexpr int32_t kStopCode = 1;  // send queue: stop the worker
    static constexpr int32_t kWakeCode = 2;  // send queue: look at the state again
    enum : int32_t { kRunning = 0, kCloseRequested = 1, kFinished = 2 };

    // Takes the connected socket and starts the worker. An invalid socket is logged ("Invalid s")
    // and the worker still runs; it fails on its first send.
    TcpSocket(SocketHandle socket, std::shared_ptr<TcpSocketUser> user,
              const TcpSocketOptions& options = {});
    // Closes (see Close); the worker finishes on its own.
    ~TcpSocket();
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Queues one message. Always takes the buffer; false (logged) when refused.
    bool SendMsg(std::unique_ptr<RecBuf> buffer);
    // Queues `count` messages that leave together, in one write where the socket takes them.
    // Always takes the buffers; false (logged) when any is refused, and then none is sent.
    bool SendMsgs(std::unique_ptr<RecBuf>* buffers, size_t count);
    // Waits up to waitMs until the socket has something to read or `ready` is set, and takes
    // what has arrived on the calling thread, handing it to the user as the worker would. A
    // caller that waits for an answer saves the wake-up of a second thread this way; while it
    // waits here the worker leaves receiving to it. Returns early when the connection is closed.
    void ReceiveHere(const SyncEvent& ready, int32_t waitMs);
    // Takes in, on the calling thread and without waiting, what has arrived and not been read:
    // the worker may stand aside for up to tickMs after a caller received, so a caller about to
    // send a request calls this first to see every message that came before it.
    void TakeWaiting();
    // Asks the worker to stop (once) and lets it close the socket. May be called more than once.
    // The worker ends soon after: a message not yet completely sent by then may be given up, so
    // that a peer which does not read cannot hold the worker (and the socket) forever.
    void Close();
    int32_t State() const;
    // Entries waiting in the send queue (messages and the stop request).
    size_t PendingSends() const;
    // Waits up to waitMs until the worker has closed the socket and let go of the connection.
    bool WaitFinished(int32_t waitMs);

    struct Shared;  // the state shared with the worker; defined in the implementation

private:
    struct Latch;
    struct WorkerArgs;
    static uint32_t WorkerThread(void* argument);

    std::shared_ptr<Shared> m_Shared;
    std::shared_ptr<Latch> m_Finished;
};

}  // namespace jvo
