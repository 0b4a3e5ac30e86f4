#pragma once
// ProxyConnection: the client side of the proxy path. One TCP connection to a proxy server that
// carries unit transactions: each request goes out as one STREAM message (u8 unit address, u16
// payload length, payload) and the proxy answers with one (u8 status, u16 length, payload).
//
// Unlike a bare socket it bounds every wait: a transaction waits at most
// max(minReplyWaitMs, the caller's reply time-out); when that runs out the connection is ended,
// because a late reply would otherwise be taken as the answer to the next request. Once the
// connection has ended every later transaction fails at once.
//
// A run of transactions (TransactMany) is pipelined: all its requests go out in one write and the
// replies are taken in the order they come, which is the order of the requests (a proxy server
// answers each request with one reply, in turn). Each reply is waited for as long as one
// transaction's; every reply of the run is taken before the next run starts, so no reply can be
// taken for a later request. This rests on the server answering every request (ours does, with
// status 0 where the unit gave nothing): one that skipped a request but answered those after it
// would have their replies taken one place early, until the run's last reply timed out and ended
// the connection. ProxyOptions::pipelineDepth 1 is for such a server.
//
// The path carries no tag that ties a reply to its request. Replies already waiting when a
// request goes out (a reply the proxy sent twice, or one that came too late) are discarded, so a
// reply is never taken as the answer to a request sent after it arrived. A copy that arrives only
// after the next request went out cannot be told apart from that request's answer.
//
// What a proxy may send is bounded: a reply longer than the largest a unit can give
// (kMaxReplyBody), or more than kMaxQueuedReplies / kMaxQueuedBytes waiting unread, ends the
// connection.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/MsgBuf.h"
#include "link/Exchange.h"
#include "link/LinkStatus.h"
#include "link/ProxyWire.h"
#include "link/TcpBase.h"
#include "link/TcpSocket.h"
#include "link/Tls.h"

namespace jvo {

struct ProxyOptions {
    uint16_t port = proxywire::kDefaultPort;  // used when the host carries no ":PORT"
    int32_t connectTimeoutMs = 10000;         // bound on the TCP connect
    int32_t minReplyWaitMs = 10000;  // a transaction waits at least this long for its reply
    int32_t closeWaitMs = 2000;      // Close() waits this long for the socket worker
    TcpSocketOptions socket;         // the socket's time constants
    TcpBase::Resolver resolver;      // name lookup; empty: the system's
    TlsFiles tls;  // for a host given as tls://HOST[:PORT]: the CA, the client's certificate
    // Requests a caller should put into one run (UnitLink::PipelineDepth); 1 sends one at a
    // time. At most ProxyConnection::kMaxRun.
    int32_t pipelineDepth = 32;
};

// The scheme that asks for TLS on the proxy path: "tls://HOST[:PORT]".
constexpr const char* kTlsScheme = "tls://";
// Takes kTlsScheme off the front of `host`; true when it was there.
bool StripTlsScheme(std::string& host);

class ProxyConnection {
public:
    // Status (1) and length (2), then at most a whole received frame body (1200 bytes).
    static constexpr int32_t kMaxReplyBody = 3 + 1200;
    // The most requests one run carries.
    static constexpr int32_t kMaxRun = 32;
    // A run's replies may all wait at once; a few copies beyond them are tolerated (and
    // discarded), a flood is not.
    static constexpr int32_t kMaxQueuedReplies = kMaxRun + 8;
    static constexpr int32_t kMaxQueuedBytes = 64 * 1024;

    // host may carry ":PORT", and "tls://" before it for TLS (options.tls). Resolves with
    // GetHostAddr, connects with OpenSocket, runs the TLS handshake where asked, and starts the
    // socket. Null when the host cannot be resolved or reached (NotConnected), or TLS failed
    // (TlsFailed, with the server's address and the reason); `status` (may be null) says which.
    // `abandon` is asked while the connect waits; true gives it up.
    static std::unique_ptr<ProxyConnection> Open(const std::string& host,
                                                 const ProxyOptions& options = {},
                                                 LinkStatus* status = nullptr,
                                                 const std::function<bool()>& abandon = {});
    ~ProxyConnection();
    ProxyConnection(const ProxyConnection&) = delete;
    ProxyConnection& operator=(const ProxyConnection&) = delete;

    // One transaction: sends request.Unread() to unit `address` and appends the reply payload to
    // `reply`. False when the connection has ended, no reply came in time (the connection is then
    // ended), the proxy's status is 0, or the reply is malformed. The request is not consumed.
    // `status` (may be null) says which; a refusal by the server is ProxyRefused.
    bool Transact(uint8_t address, MsgBuf& request, MsgBuf& reply, int32_t replyTimeoutMs,
                  LinkStatus* status = nullptr);
    // A run of `count` (1..kMaxRun) transactions to unit `address`, pipelined. Each exchange's
    // status says how it ended, as Transact's would; once the connection ends, the exchanges
    // left get the end status. Returns how many in a row, from the first, succeeded.
    int TransactMany(uint8_t address, Exchange* exchanges, int count, int32_t replyTimeoutMs);
    // True once the connection has ended: given up by a transaction, closed, or ended by the
    // peer or the network (noticed also between transactions).
    bool Ended() const;
    // Why the connection ended ("closed by the proxy server", "no reply within N ms", ...); empty
    // while it runs.
    std::string EndReason() const;
    // What a transaction meets once the connection has ended: TransportLost with the reason, or
    // ProxyRefused when the server refused this client (full, not allowed).
    LinkStatus EndStatus() const;
    // "HOST:PORT" as connected.
    const std::string& Address() const { return m_Address; }
    // Closes the socket and waits up to closeWaitMs for its worker; idempotent.
    void Close();

private:
    class ReplyQueue;
    ProxyConnection(std::shared_ptr<TcpSocket> socket, std::shared_ptr<ReplyQueue> user,
                    const ProxyOptions& options, std::string address,
                    std::shared_ptr<TlsClientTunnel> tunnel);
    // Marks the connection ended (the first reason is kept) and closes the socket.
    void End(const std::string& reason, TcpSocket* socket);

    const ProxyOptions m_Options;
    const std::string m_Address;
    mutable std::mutex m_Lock;  // guards the two pointers below (not held while waiting)
    std::shared_ptr<TcpSocket> m_Socket;
    std::shared_ptr<ReplyQueue> m_User;
    std::shared_ptr<TlsClientTunnel> m_Tunnel;  // TLS: carries the socket's bytes; else null
    std::atomic<bool> m_LoggedStale{false};
    std::atomic<bool> m_Ended{false};
    std::string m_EndReason;  // guarded by m_Lock
};

// Splits "host[:PORT]". False when a port is given but is not a number from 1 to 65535.
bool SplitHostPort(const std::string& text, uint16_t defaultPort, std::string& host,
                   uint16_t& port);

}  // namespace jvo
