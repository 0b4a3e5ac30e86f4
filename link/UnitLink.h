#pragma once
// UnitLink: the transport to a unit. One transaction at a time: a request addressed to a unit goes
// out and the matching reply comes back, over the serial frame port or through a proxy server.
//
// Health: when the serial device hangs up (its reader ends) or the proxy connection ends, the link
// stays nominally connected but TransportLost() says so, and every transaction fails at once until
// Reopen() brings the same route back.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/MsgBuf.h"
#include "link/Exchange.h"
#include "link/FramePort.h"
#include "link/LinkStatus.h"
#include "link/LinkTap.h"
#include "link/PortDirectory.h"
#include "link/ProxyConnection.h"

namespace jvo {

class UnitLink {
public:
    UnitLink();
    ~UnitLink();
    UnitLink(const UnitLink&) = delete;
    UnitLink& operator=(const UnitLink&) = delete;

    // COM n (resolved through the port directory) or a device path. False when already connected
    // (`status`: NotConnected, with why the route could not be opened in its detail).
    bool OpenSerial(int portNumber, int baud, LinkStatus* status = nullptr);
    bool OpenSerialDevice(const std::string& path, int baud, LinkStatus* status = nullptr);
    // The proxy server at `host` (optionally "host:PORT"). False when already connected.
    bool OpenProxy(const std::string& host, const ProxyOptions& options = {},
                   LinkStatus* status = nullptr);
    // Closes the transport. Safe from any thread: a transaction blocked in a write or waiting for
    // its reply on another thread is broken first (within well under a second), and so is the
    // connect of a proxy reconnect under way; then the link closes under the transaction lock.
    void Disconnect();
    bool IsConnected() const { return m_Connected.load(); }
    bool ViaProxy() const { return m_ViaProxy.load(); }

    // True once the serial reader ended (the device hung up or failed) or the proxy connection
    // ended, while the link is still connected. The loss is logged once.
    bool TransportLost() const;
    // Why the transport was lost ("device hung up", "proxy connection ended: ..."); empty while
    // it is not.
    std::string TransportLostReason() const;
    // Closes what is left of the transport and opens the same route again: the same COM number
    // (resolved afresh, so a device that came back under another name is found, but never another
    // device that took the number meanwhile: SameComDevice), the same device path, or the same
    // proxy host and options. True when open again. False when the link is not
    // connected (never opened, or disconnected); the link then stays as it was, lost included.
    // Takes the transaction lock, so it waits for a running transaction.
    bool Reopen();

    // A transaction ends at the latest this many reply time-outs after its request went out,
    // however many frames that do not match (stale replies, other units' traffic) arrive before.
    static constexpr int32_t kTransactionDeadlineFactor = 4;

    // Sends `request` (its unread bytes) to unit `address` and waits for the matching reply,
    // whose payload lands in `reply`. The time-out is this transaction's own: the link holds no
    // time-out that one caller could change under another. Each frame that does not match is
    // skipped and the wait goes on for up to the time-out again, but never past
    // kTransactionDeadlineFactor time-outs after the send. On the serial path the write itself is
    // bounded too (CFramePort::WriteBoundMs). `status` (may be null) says why it ended; a reply
    // that came is Done here, whatever its reply code (UnitClient judges that).
    bool Transact(int address, MsgBuf& request, MsgBuf& reply, int protocol, int32_t timeoutMs,
                  LinkStatus* status = nullptr);
    // A run of `count` transactions to unit `address` (at most ProxyConnection::kMaxRun), each
    // as Transact would run it. Through a proxy server the run is pipelined: every request goes
    // out at once and each reply is waited for in turn. On the serial line they run one after
    // the other, and the run stops at the first that fails: those after it are not sent and carry
    // its status. Each exchange's status says how it ended. Returns how many in a row,
    // from the first, succeeded.
    int TransactMany(int address, Exchange* exchanges, int count, int protocol, int32_t timeoutMs);
    // How many requests a caller should put into one run on this route: the proxy options'
    // pipeline depth through a proxy server, 1 on the serial line (where a run gains nothing).
    int PipelineDepth() const { return m_ViaProxy.load() ? m_ProxyDepth.load() : 1; }

    // The traffic tap (null: none). While none is set a transaction only counts itself.
    void SetTap(std::shared_ptr<LinkTap> tap);
    bool HasTap() const { return m_Tapped.load(std::memory_order_acquire); }
    // Transactions run and those that failed (no reply, or a reply code other than 'd'), since
    // the link was made.
    uint64_t Transactions() const { return m_Transactions.load(std::memory_order_relaxed); }
    uint64_t Failures() const { return m_Failures.load(std::memory_order_relaxed); }

    CFramePort& Port() { return m_Port; }
    // Where COM numbers are looked up (PortRoots::Default() at each open unless set; for tests).
    void SetPortRoots(const PortRoots& roots);

    // The process-wide request sequence counter (shared by all links).
    static uint8_t NextSequence();
    static void SetSequence(uint8_t next);

    // The COM number last opened (-1: none) and the baud rate last used (0: none); set by the
    // opens only.
    int PortNumber() const { return m_PortNumber.load(); }
    int Baud() const { return m_Baud.load(); }

private:
    enum class Route { None, Com, Device, Proxy };

    bool TransactSerial(int address, MsgBuf& request, MsgBuf& reply, int protocol,
                        int32_t timeoutMs, LinkStatus& status);
    // Gives the tap its entry of the transaction that ran from `start` to `end`.
    void Tell(std::chrono::steady_clock::time_point start,
              std::chrono::steady_clock::time_point end, uint8_t command, uint32_t requestBytes,
              const MsgBuf& reply, int replyCode, const LinkStatus& st, int sequence);
    // Why a transaction that could not run ends: cancelled by a disconnect under way, or lost.
    LinkStatus Interrupted() const;
    bool FinishOpen(bool opened, Route route, int baud, LinkStatus* status);
    bool ReopenProxy();
    // Opens COM m_PortNumber; when `again`, only onto the device it was opened on before.
    bool OpenComPort(int baud, bool again);
    // Opens the device path again, never a pseudo-terminal that went away.
    bool OpenDeviceAgain();
    std::shared_ptr<ProxyConnection> CurrentProxy() const;
    void SetProxy(std::shared_ptr<ProxyConnection> proxy);
    // An open while connected: false, with the status saying so.
    static bool AlreadyConnected(LinkStatus* status);
    // Clears the loss after the route was opened (again).
    void ClearLost();

    std::atomic<int> m_PortNumber{-1};
    std::atomic<int> m_Baud{0};
    std::atomic<bool> m_Connected{false};
    std::atomic<bool> m_ViaProxy{false};
    std::atomic<int> m_ProxyDepth{1};     // the proxy route's pipeline depth
    std::atomic<int> m_Disconnecting{0};  // Disconnect calls under way (the port may be closed)
    std::atomic<uint64_t> m_Transactions{0};
    std::atomic<uint64_t> m_Failures{0};
    std::atomic<bool> m_Tapped{false};  // m_Tap is set (read without its lock first)
    std::mutex m_TapLock;
    std::shared_ptr<LinkTap> m_Tap;  // guarded by m_TapLock
    int m_LastSequence = -1;         // the serial path's last sequence number (under m_Lock)
    CFramePort m_Port;
    std::mutex m_Lock;  // the transaction lock; also guards opening and closing
    // The route, for Reopen (guarded by m_Lock).
    Route m_Route = Route::None;
    std::string m_DevicePath;
    PortEntry m_ComEntry;              // what COM m_PortNumber named when it was opened
    std::optional<PortRoots> m_Roots;  // none: the default roots
    bool m_OtherDeviceLogged = false;  // a reopen refused for another device was logged
    std::string m_OpenProblem;         // why the last COM open failed, in words
    std::string m_ProxyHost;
    ProxyOptions m_ProxyOptions;
    uint64_t m_Generation = 0;  // counts opens, reopens and disconnects (guarded by m_Lock)

    // Guards the proxy pointer for readers outside the transaction lock, and the loss state.
    // Taken after m_Lock, never before it.
    mutable std::mutex m_HealthLock;
    std::shared_ptr<ProxyConnection> m_Proxy;
    mutable bool m_Lost = false;
    mutable std::string m_LostReason;
};

}  // namespace jvo
