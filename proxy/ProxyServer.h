#pragma once
// ProxyServer: forwards unit transactions from TCP clients to one unit backend.
//
// Clients speak STREAM framing, and each request body is answered with one reply body, as
// link/ProxyWire.h describes them (status 0 when the unit did not answer or the request was
// malformed). Up to maxClients clients may be connected; their requests reach the unit one at a
// time, in arrival order, each with the reply time-out its command needs. When the server is
// full, the client that has sent no request for longest (at least evictIdleMs) is closed to make
// room; a client beyond the limit when none has been idle that long, or from an address not
// allowed, gets the refusal of ProxyWire.h and is closed. Each refusal is logged once per peer
// address and refusalLogMs.
//
// With a TLS context the main listener serves TLS 1.3 and requires a client certificate signed
// by the context's CA; a plain listener may run beside it. A read-only client (every client with
// readOnly, and every client whose certificate subject is not in `writers` when there is such a
// list) gets the read-only refusal for each request whose command changes the unit
// (ChangesUnit in link/Commands.h), and its connection stays.
//
// One event-loop thread owns every socket (one wait over the listener, the clients and a wake
// event); one unit thread runs the transactions. A client's memory grows only with the bytes it
// actually sends, and is bounded: at most one request body (65538 bytes) is kept per client,
// a few requests queue per client before the server stops reading from it (with at most one
// read's worth of what followed them, 64 KiB), and replies pile up
// only to a limit before the server stops reading too. A bad marker, a length above 0x6400000,
// 10 s without anything from a client, a client that takes nothing from its replies for that
// long, or a message header (or TLS handshake) not complete within headerLimitMs of its first
// byte end that client's connection only.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "base/SyncEvent.h"
#include "link/ProxyWire.h"
#include "link/Socket.h"
#include "link/StreamReader.h"
#include "link/Tls.h"
#include "proxy/AllowList.h"
#include "proxy/RefusalLog.h"
#include "proxy/UnitBackend.h"

namespace jvo {

constexpr int32_t kDefaultMaxClients = 128;

struct ProxyServerOptions {
    std::string address = "127.0.0.1";        // dotted quad to listen on
    uint16_t port = proxywire::kDefaultPort;  // 0: a free port (see Port())
    int32_t keepAliveMs = 2500;               // nothing sent to a client this long: keep-alive
    int32_t idleLimitMs = 10000;      // nothing from a client (or no reply taken) this long: drop
    int32_t tickMs = 100;             // the loop looks at the clock at least this often
    int32_t replyTimeoutMs = 250;     // the unit's reply time-out for most commands
    int32_t commitTimeoutMs = 10000;  // ... for command 42 (CommitConfig)
    int32_t resetEnergyTimeoutMs = 3000;      // ... for command 147 (ResetEnergy)
    int32_t maxClients = kDefaultMaxClients;  // connected clients at most
    int32_t evictIdleMs = 5000;     // when full, a client with no request for this long makes room
    int32_t headerLimitMs = 3000;   // a header or TLS handshake must be complete this soon
    int32_t refusalLogMs = 60000;   // a refusal is logged once per peer address and this time
    std::vector<AllowedNet> allow;  // peers accepted; empty: every peer
    std::shared_ptr<TlsServerContext> tls;  // the main listener serves TLS; null: plain
    std::string plainAddress;               // a plain listener beside the TLS one; empty: none
    uint16_t plainPort = 0;
    bool readOnly = false;  // every client is read-only
    // Certificate subjects (RFC 2253) that may change the unit; null: no such list.
    std::shared_ptr<const std::set<std::string>> writers;
    std::shared_ptr<const IClock> clock;  // null: the system clock
};

// What the server holds, for monitoring and tests.
struct ProxyServerStats {
    size_t clients = 0;           // connected clients
    size_t bodiesInProgress = 0;  // clients in the middle of a request body
    size_t bufferedBytes = 0;  // bytes held for clients (partial bodies, queued requests, output)
    uint64_t requests = 0;     // requests taken from clients
    uint64_t replies = 0;      // replies queued to clients
    uint64_t dropped = 0;      // clients disconnected by the server
    uint64_t evicted = 0;      // ... of them, idle clients closed to make room
    uint64_t refused = 0;      // connections refused (full, not allowed, failed handshakes)
};

class ProxyServer {
public:
    // The backend must outlive the server.
    explicit ProxyServer(IUnitBackend& backend, ProxyServerOptions options = {});
    ~ProxyServer();
    ProxyServer(const ProxyServer&) = delete;
    ProxyServer& operator=(const ProxyServer&) = delete;

    // Listens and starts the threads. False (logged) when the address cannot be used.
    bool Start();
    // Closes every connection, breaks off the transaction in progress (IUnitBackend::Stop) and
    // ends both threads.
    void Stop();
    uint16_t Port() const { return m_Port; }
    uint16_t PlainPort() const { return m_PlainPort; }
    ProxyServerStats Stats() const;

    // The reply time-out for a request payload that starts with `command`.
    int32_t ReplyTimeoutFor(const uint8_t* payload, size_t length) const;

private:
    struct Client;
    struct Job {
        uint64_t client = 0;
        uint8_t address = 0;
        std::vector<uint8_t> payload;
        int32_t timeoutMs = 0;
    };
    struct Result {
        uint64_t client = 0;
        std::vector<uint8_t> body;
    };

    void Loop();
    void UnitLoop();
    void Accept(NativeSocket listener, bool tls);
    // Closes the client idle longest to make room for `newcomer`; false when none is idle enough.
    bool MakeRoom(const std::string& newcomer);
    void Refuse(uint32_t peer, ProxyRefusal reason, const std::string& text);
    void Handshake(Client& c);
    bool MayChange(const Client& c) const;
    // From or to the client's stream: the count, 0 at its end, -1 for nothing now, -2 failed.
    int64_t ReadClient(Client& c, uint8_t* into, size_t want);
    int64_t WriteClient(Client& c, const uint8_t* data, size_t count);
    bool Receive(Client& c);
    // Takes the requests the client's reader holds while the client is read. False when the
    // connection must end.
    bool Consume(Client& c);
    bool Take(Client& c, StreamReader::Event event);
    // Bytes held for the client that no socket wait reports (read but not taken, TLS's decrypted
    // bytes).
    static bool Held(const Client& c);
    bool TakeRequest(Client& c);
    void Submit(Client& c);
    bool Flush(Client& c);
    void QueueMessage(Client& c, const uint8_t* body, uint32_t length);
    void TakeResults();
    // Runs the job on the loop thread when the backend answers at once and the unit thread is
    // idle; false when it must go to the unit thread.
    bool RunAtOnce(Client& c, const Job& job);
    // The reply body of one transaction.
    static std::vector<uint8_t> ReplyBody(bool answered, const std::vector<uint8_t>& reply);
    void Drop(Client& c, bool byServer);
    bool Reading(const Client& c) const;
    void UpdateStats();

    IUnitBackend& m_Backend;
    const ProxyServerOptions m_Options;
    const IClock& m_Clock;
    SocketHandle m_Listen;
    SocketHandle m_ListenPlain;
    uint16_t m_Port = 0;
    uint16_t m_PlainPort = 0;
    RefusalLog m_RefusalLog;
    SyncEvent m_Wake{SyncEvent::Reset::Auto};
    std::atomic<bool> m_Stopping{false};
    std::thread m_LoopThread;
    std::thread m_UnitThread;

    // Owned by the loop thread.
    std::vector<std::unique_ptr<Client>> m_Clients;
    uint64_t m_NextClientId = 1;
    bool m_AcceptFailed = false;  // out of descriptors: the listener rests for a moment

    // Jobs for the unit thread and its results, each under its lock.
    std::mutex m_JobLock;
    std::condition_variable m_JobReady;
    std::deque<Job> m_Jobs;
    bool m_UnitBusy = false;  // the unit thread runs a job (guarded by m_JobLock)
    std::mutex m_ResultLock;
    std::deque<Result> m_Results;

    mutable std::mutex m_StatsLock;
    ProxyServerStats m_Stats;
};

}  // namespace jvo
