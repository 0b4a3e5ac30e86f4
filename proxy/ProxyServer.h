#pragma once
// ProxyServer: forwards unit transactions from TCP clients to one unit backend.
//
// Clients speak STREAM framing, and each request body is answered with one reply body, as
// link/ProxyWire.h describes them (status 0 when the unit did not answer or the request was
// malformed). Up to maxClients clients may be connected; their requests reach the unit one at a
// time, in arrival order, each with the reply time-out its command needs. A client beyond the
// limit, or from an address not allowed, gets the refusal of ProxyWire.h and is closed.
//
// One event-loop thread owns every socket (one wait over the listener, the clients and a wake
// event); one unit thread runs the transactions. A client's memory grows only with the bytes it
// actually sends, and is bounded: at most one request body (65538 bytes) is kept per client,
// a few requests queue per client before the server stops reading from it, and replies pile up
// only to a limit before the server stops reading too. A bad marker, a length above 0x6400000,
// 10 s without anything from a client, or a client that takes nothing from its replies for that
// long end that client's connection only.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "base/SyncEvent.h"
#include "link/ProxyWire.h"
#include "link/Socket.h"
#include "proxy/AllowList.h"
#include "proxy/UnitBackend.h"

namespace jvo {

struct ProxyServerOptions {
    std::string address = "127.0.0.1";        // dotted quad to listen on
    uint16_t port = proxywire::kDefaultPort;  // 0: a free port (see Port())
    int32_t keepAliveMs = 2500;               // nothing sent to a client this long: keep-alive
    int32_t idleLimitMs = 10000;      // nothing from a client (or no reply taken) this long: drop
    int32_t tickMs = 100;             // the loop looks at the clock at least this often
    int32_t replyTimeoutMs = 250;     // the unit's reply time-out for most commands
    int32_t commitTimeoutMs = 10000;  // ... for command 42 (CommitConfig)
    int32_t resetEnergyTimeoutMs = 3000;  // ... for command 147 (ResetEnergy)
    int32_t maxClients = 128;             // connections beyond this are closed at once
    std::vector<AllowedNet> allow;        // peers accepted; empty: every peer
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
    void Accept();
    bool Receive(Client& c);
    bool Consume(Client& c, const uint8_t* data, size_t n);
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
    uint16_t m_Port = 0;
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
