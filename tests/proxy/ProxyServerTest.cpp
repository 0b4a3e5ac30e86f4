#include "proxy/ProxyServer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <atomic>
#include <fstream>
#include <functional>

#include "link/ProxyConnection.h"
#include "proxy/ProgramOptions.h"
#include "tests/link/tcp/TcpTestUtil.h"
#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

using namespace test;

// A unit backend driven by a lambda; counts calls and how many run at once.
class FakeBackend : public IUnitBackend {
public:
    using Fn =
        std::function<bool(uint8_t, const std::vector<uint8_t>&, std::vector<uint8_t>&, int32_t)>;
    explicit FakeBackend(Fn fn) : m_Fn(std::move(fn)) {}
    bool Transact(uint8_t address, const uint8_t* request, int32_t length,
                  std::vector<uint8_t>& reply, int32_t timeoutMs) override {
        const int now = ++m_Running;
        int seen = m_MaxRunning.load();
        while (now > seen && !m_MaxRunning.compare_exchange_weak(seen, now)) {
        }
        const bool ok =
            m_Fn(address, std::vector<uint8_t>(request, request + length), reply, timeoutMs);
        --m_Running;
        ++m_Calls;
        return ok;
    }
    int Calls() const { return m_Calls.load(); }
    int MaxRunning() const { return m_MaxRunning.load(); }

private:
    Fn m_Fn;
    std::atomic<int> m_Running{0};
    std::atomic<int> m_MaxRunning{0};
    std::atomic<int> m_Calls{0};
};

// Replies 'd' followed by the request payload.
bool Echo(uint8_t, const std::vector<uint8_t>& request, std::vector<uint8_t>& reply, int32_t) {
    reply = {'d'};
    reply.insert(reply.end(), request.begin(), request.end());
    return true;
}

std::vector<uint8_t> RequestBody(uint8_t address, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> v{address};
    PutLe16(v, static_cast<uint16_t>(payload.size()));
    v.insert(v.end(), payload.begin(), payload.end());
    return v;
}

std::vector<uint8_t> Written(const MsgBuf& b) {
    return std::vector<uint8_t>(b.Base(), b.Base() + b.WritePos());
}

size_t ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stoul(line.substr(6));
    return 0;
}

class ProxyServerTest : public ::testing::Test {
protected:
    void Start(FakeBackend::Fn fn, ProxyServerOptions options = {}) {
        m_Backend = std::make_unique<FakeBackend>(std::move(fn));
        options.port = 0;
        m_Server = std::make_unique<ProxyServer>(*m_Backend, options);
        ASSERT_TRUE(m_Server->Start());
    }
    void TearDown() override {
        if (m_Server) m_Server->Stop();
    }
    std::unique_ptr<ProxyConnection> Client() {
        ProxyOptions options;
        options.minReplyWaitMs = 5000;
        return ProxyConnection::Open("127.0.0.1:" + std::to_string(m_Server->Port()), options);
    }
    // One transaction of `command` through `conn`; the reply payload, or nothing on failure.
    static bool Ask(ProxyConnection& conn, std::vector<uint8_t> payload,
                    std::vector<uint8_t>* out = nullptr, uint8_t address = 0) {
        MsgBuf request(1200);
        MsgBuf reply(1200);
        request.PutBytes(payload.data(), static_cast<int32_t>(payload.size()));
        const bool ok = conn.Transact(address, request, reply, 250);
        if (out) *out = Written(reply);
        return ok;
    }
    bool WaitStats(const std::function<bool(const ProxyServerStats&)>& done) {
        return Eventually([&] { return done(m_Server->Stats()); });
    }

    std::unique_ptr<FakeBackend> m_Backend;
    std::unique_ptr<ProxyServer> m_Server;
};

TEST_F(ProxyServerTest, ForwardsEachRequestWithItsCommandsReplyTimeOut) {
    std::mutex lock;
    std::vector<std::pair<int, int32_t>> seen;  // (address, time-out)
    Start([&](uint8_t address, const std::vector<uint8_t>& request, std::vector<uint8_t>& reply,
              int32_t timeoutMs) {
        std::lock_guard<std::mutex> guard(lock);
        seen.emplace_back(address, timeoutMs);
        return Echo(address, request, reply, timeoutMs);
    });
    auto conn = Client();
    ASSERT_TRUE(conn);
    std::vector<uint8_t> reply;
    ASSERT_TRUE(Ask(*conn, {71}, &reply, 5));
    EXPECT_EQ(reply, (std::vector<uint8_t>{'d', 71}));
    ASSERT_TRUE(Ask(*conn, {42}, &reply));
    ASSERT_TRUE(Ask(*conn, {147, 1}, &reply));
    EXPECT_EQ(reply, (std::vector<uint8_t>{'d', 147, 1}));
    ASSERT_TRUE(Ask(*conn, {}, &reply));  // an empty payload is forwarded too
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_EQ(seen,
              (std::vector<std::pair<int, int32_t>>{{5, 250}, {0, 10000}, {0, 3000}, {0, 250}}));
}

TEST_F(ProxyServerTest, NoAnswerFromTheUnitGivesStatusZero) {
    std::atomic<int> n{0};
    Start([&](uint8_t a, const std::vector<uint8_t>& req, std::vector<uint8_t>& reply, int32_t t) {
        if (++n == 1) return false;
        if (n == 2) {
            reply.assign(70000, 1);  // too long for the reply's length field
            return true;
        }
        return Echo(a, req, reply, t);
    });
    LogCapture log(1);
    auto conn = Client();
    ASSERT_TRUE(conn);
    EXPECT_FALSE(Ask(*conn, {71}));
    EXPECT_FALSE(Ask(*conn, {80}));
    EXPECT_TRUE(log.HasLine("ProxyServer: unit reply too long (70000 bytes)"));
    EXPECT_FALSE(conn->Ended());
    EXPECT_TRUE(Ask(*conn, {71}));
}

TEST_F(ProxyServerTest, ManyClientsOneTransactionAtATime) {
    Start([](uint8_t a, const std::vector<uint8_t>& req, std::vector<uint8_t>& reply, int32_t t) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return Echo(a, req, reply, t);
    });
    constexpr int kClients = 4;
    constexpr int kEach = 20;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < kClients; ++c) {
        threads.emplace_back([&, c] {
            auto conn = Client();
            if (!conn) return;
            for (int i = 0; i < kEach; ++i) {
                std::vector<uint8_t> reply;
                const std::vector<uint8_t> payload{static_cast<uint8_t>(c),
                                                   static_cast<uint8_t>(i)};
                if (Ask(*conn, payload, &reply) &&
                    reply == std::vector<uint8_t>{'d', payload[0], payload[1]})
                    ++good;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(good.load(), kClients * kEach);
    EXPECT_EQ(m_Backend->Calls(), kClients * kEach);
    EXPECT_EQ(m_Backend->MaxRunning(), 1);
}

TEST_F(ProxyServerTest, PipelinedRequestsAreAnsweredInOrder) {
    Start(&Echo);
    Fd raw = Connect(m_Server->Port());
    ASSERT_TRUE(raw.Valid());
    std::vector<uint8_t> burst;
    for (uint8_t i = 0; i < 10; ++i) {
        auto f = Frame(RequestBody(0, {80, i}));
        burst.insert(burst.end(), f.begin(), f.end());
    }
    ASSERT_TRUE(SendAll(raw.Get(), burst));
    for (uint8_t i = 0; i < 10; ++i) {
        std::vector<uint8_t> body;
        ASSERT_TRUE(RecvMessage(raw.Get(), body));
        EXPECT_EQ(body, (std::vector<uint8_t>{1, 3, 0, 'd', 80, i}));
    }
}

TEST_F(ProxyServerTest, MalformedRequestsAreAnsweredWithStatusZero) {
    Start(&Echo);
    LogCapture log(1);
    Fd raw = Connect(m_Server->Port());
    ASSERT_TRUE(raw.Valid());
    const std::vector<uint8_t> failed{0, 0, 0};
    std::vector<uint8_t> body;
    ASSERT_TRUE(SendAll(raw.Get(), Frame({0, 5})));  // shorter than its own header
    ASSERT_TRUE(RecvMessage(raw.Get(), body));
    EXPECT_EQ(body, failed);
    ASSERT_TRUE(SendAll(raw.Get(), Frame({0, 5, 0, 80})));  // 5 announced, 1 present
    ASSERT_TRUE(RecvMessage(raw.Get(), body));
    EXPECT_EQ(body, failed);
    std::vector<uint8_t> huge(70000, 7);  // longer than any request can be
    ASSERT_TRUE(SendAll(raw.Get(), Frame(huge)));
    ASSERT_TRUE(RecvMessage(raw.Get(), body));
    EXPECT_EQ(body, failed);
    EXPECT_EQ(m_Backend->Calls(), 0);
    EXPECT_EQ(log.Count("sent a malformed request"), 3);
    ASSERT_TRUE(SendAll(raw.Get(), Frame(RequestBody(0, {71}))));
    ASSERT_TRUE(RecvMessage(raw.Get(), body));
    EXPECT_EQ(body, (std::vector<uint8_t>{1, 2, 0, 'd', 71}));
}

TEST_F(ProxyServerTest, ABadClientIsDisconnectedWithoutAffectingOthers) {
    Start(&Echo);
    LogCapture log(1);
    auto good = Client();
    ASSERT_TRUE(good);
    ASSERT_TRUE(Ask(*good, {71}));
    Fd badMarker = Connect(m_Server->Port());
    Fd tooLong = Connect(m_Server->Port());
    ASSERT_TRUE(SendAll(badMarker.Get(), Frame({1, 2, 3}, 0xDEADBEEF)));
    ASSERT_TRUE(SendAll(tooLong.Get(), Header(0x6400001)));
    EXPECT_TRUE(PeerClosed(badMarker.Get()));
    EXPECT_TRUE(PeerClosed(tooLong.Get()));
    EXPECT_EQ(log.Count("sent a bad STREAM marker (0xdeadbeef)"), 1);
    EXPECT_EQ(log.Count("sent an illegal length (104857601)"), 1);
    EXPECT_TRUE(Ask(*good, {71}));
    EXPECT_EQ(m_Server->Stats().dropped, 2u);
}

TEST_F(ProxyServerTest, AHundredClientsAnnouncing100MiBKeepTheServerSmall) {
    Start(&Echo);
    const size_t residentBefore = ResidentKiB();
    std::vector<Fd> clients;
    for (int i = 0; i < 100; ++i) {
        clients.push_back(Connect(m_Server->Port()));
        ASSERT_TRUE(clients.back().Valid());
        ASSERT_TRUE(SendAll(clients.back().Get(), Header(0x6400000)));
    }
    // One of them actually sends a megabyte of its body; only a request's worth is kept.
    std::vector<uint8_t> megabyte(1 << 20, 0x11);
    ASSERT_TRUE(SendAll(clients[0].Get(), megabyte));
    ASSERT_TRUE(WaitStats(
        [](const ProxyServerStats& s) { return s.clients == 100 && s.bodiesInProgress == 100; }));
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.bufferedBytes >= 65538; }));
    EXPECT_LT(m_Server->Stats().bufferedBytes, 100u * 1024);
    EXPECT_LT(ResidentKiB(), residentBefore + 32 * 1024);
    // The server still serves others.
    auto conn = Client();
    ASSERT_TRUE(conn);
    EXPECT_TRUE(Ask(*conn, {71}));
}

TEST_F(ProxyServerTest, KeepAlivesAfterSilenceAndSilentClientsAreDropped) {
    auto clock = std::make_shared<ManualClock>(5000);
    ProxyServerOptions options;
    options.clock = clock;
    options.tickMs = 10;
    Start(&Echo, options);
    Fd raw = Connect(m_Server->Port());
    ASSERT_TRUE(raw.Valid());
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.clients == 1; }));
    clock->Advance(2499);
    pollfd p{raw.Get(), POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 100), 0);
    clock->Advance(1);
    EXPECT_EQ(RecvExact(raw.Get(), 8), KeepAlive());
    // A reply counts as something sent: the next keep-alive comes 2.5 s after it.
    ASSERT_TRUE(SendAll(raw.Get(), Frame(RequestBody(0, {71}))));
    std::vector<uint8_t> body;
    ASSERT_TRUE(RecvMessage(raw.Get(), body));
    clock->Advance(2499);
    EXPECT_EQ(::poll(&p, 1, 100), 0);
    clock->Advance(1);
    EXPECT_EQ(RecvExact(raw.Get(), 8), KeepAlive());
    // Nothing from the client for more than the idle limit: it is dropped.
    clock->Advance(10001);
    EXPECT_TRUE(PeerClosed(raw.Get()));
    EXPECT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.clients == 0; }));
}

TEST_F(ProxyServerTest, AQueuedRequestOfAClientThatLeftIsNotSent) {
    std::mutex lock;
    std::condition_variable cv;
    bool released = false;
    struct Release {  // the backend must not stay blocked, whatever happens below
        std::function<void()> fn;
        ~Release() { fn(); }
    } release{[&] {
        std::lock_guard<std::mutex> guard(lock);
        released = true;
        cv.notify_all();
    }};
    Start([&](uint8_t a, const std::vector<uint8_t>& req, std::vector<uint8_t>& reply, int32_t t) {
        std::unique_lock<std::mutex> guard(lock);
        cv.wait(guard, [&] { return released; });
        return Echo(a, req, reply, t);
    });
    Fd first = Connect(m_Server->Port());
    Fd second = Connect(m_Server->Port());
    ASSERT_TRUE(SendAll(first.Get(), Frame(RequestBody(0, {1}))));
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.requests == 1; }));
    ASSERT_TRUE(SendAll(second.Get(), Frame(RequestBody(0, {2}))));
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.requests == 2; }));
    first.Reset();   // leaves while its request is at the unit
    second.Reset();  // leaves while its request waits
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.clients == 0; }));
    release.fn();
    auto conn = Client();
    ASSERT_TRUE(conn);
    EXPECT_TRUE(Ask(*conn, {3}));
    EXPECT_EQ(m_Backend->Calls(), 2);  // the first client's and this one
}

TEST_F(ProxyServerTest, AClientThatTakesNoRepliesStopsBeingReadAndIsDropped) {
    auto clock = std::make_shared<ManualClock>();
    ProxyServerOptions options;
    options.clock = clock;
    options.tickMs = 10;
    options.keepAliveMs = 1000000;  // no keep-alives in the way
    Start(
        [](uint8_t, const std::vector<uint8_t>&, std::vector<uint8_t>& reply, int32_t) {
            reply.assign(60000, 'd');
            return true;
        },
        options);
    LogCapture log(1);
    // A client with a tiny receive window that sends many requests and reads nothing.
    Fd raw(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    int small = 4096;
    ::setsockopt(raw.Get(), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(m_Server->Port());
    ASSERT_EQ(::connect(raw.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    std::vector<uint8_t> burst;
    for (int i = 0; i < 200; ++i) {
        auto f = Frame(RequestBody(0, {80}));
        burst.insert(burst.end(), f.begin(), f.end());
    }
    ASSERT_TRUE(SendAll(raw.Get(), burst));
    // The replies pile up to the limit; then the server stops taking requests from it.
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.bufferedBytes >= 256 * 1024; }));
    // A request that was already at the unit when the limit was reached still completes.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const int calls = m_Backend->Calls();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(m_Backend->Calls(), calls);
    EXPECT_LT(m_Server->Stats().bufferedBytes, 2u * 1024 * 1024);
    clock->Advance(10001);
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.clients == 0; }));
    EXPECT_EQ(log.Count("took no reply for 10000 ms"), 1);
}

// A client beyond the limit is told so on the wire before it is closed: a plain failure to a
// client that knows only status and payload, "full" with the limit to ours.
TEST_F(ProxyServerTest, ClientsBeyondTheLimitAreRefused) {
    ProxyServerOptions options;
    options.maxClients = 2;
    Start(&Echo, options);
    LogCapture log(1);
    Fd a = Connect(m_Server->Port());
    Fd b = Connect(m_Server->Port());
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.clients == 2; }));
    Fd c = Connect(m_Server->Port());
    EXPECT_EQ(RecvExact(c.Get(), 8 + 7), Frame({0, 4, 0, proxywire::kRefusalTag, 1, 2, 0}));
    EXPECT_TRUE(PeerClosed(c.Get()));
    auto refused = Client();
    ASSERT_TRUE(refused);  // the connect itself succeeds; the refusal follows
    MsgBuf request(16), reply(16);
    request.Put8(71);
    LinkStatus status;
    EXPECT_FALSE(refused->Transact(0, request, reply, 250, &status));
    EXPECT_EQ(status.result, LinkResult::ProxyRefused);
    EXPECT_EQ(status.refusal, ProxyRefusal::Full);
    EXPECT_EQ(status.limit, 2);
    EXPECT_TRUE(refused->Ended());
    EXPECT_EQ(refused->EndStatus().refusal, ProxyRefusal::Full);
    EXPECT_EQ(log.Count("too many clients, refusing 127.0.0.1:"), 2);
    a.Reset();
    ASSERT_TRUE(WaitStats([](const ProxyServerStats& s) { return s.clients == 1; }));
    auto conn = Client();
    ASSERT_TRUE(conn);
    EXPECT_TRUE(Ask(*conn, {71}));
}

TEST(ProxyServer, StopClosesEveryConnectionAndEndsItsThreads) {
    const int threads = Threads();
    FakeBackend backend(&Echo);
    ProxyServerOptions options;
    options.port = 0;
    ProxyServer server(backend, options);
    ASSERT_TRUE(server.Start());
    EXPECT_TRUE(
        Eventually([] { return ThreadsNamed("ProxyLoop") + ThreadsNamed("ProxyUnit") == 2; }));
    Fd raw = Connect(server.Port());
    ASSERT_TRUE(Eventually([&] { return server.Stats().clients == 1; }));
    server.Stop();
    EXPECT_TRUE(PeerClosed(raw.Get()));
    EXPECT_EQ(ThreadsNamed("ProxyLoop") + ThreadsNamed("ProxyUnit"), 0);
    if (kCountAllThreads) {
        EXPECT_TRUE(Eventually([&] { return Threads() <= threads; }, 10000));
    }
    EXPECT_FALSE(Connect(server.Port()).Valid());
    server.Stop();  // again: nothing happens
}

TEST(ProxyServer, StartFailsWhenTheAddressCannotBeUsed) {
    LogCapture log(0);
    FakeBackend backend(&Echo);
    Listener busy;
    ProxyServerOptions options;
    options.port = busy.Port();
    ProxyServer taken(backend, options);
    EXPECT_FALSE(taken.Start());
    EXPECT_TRUE(log.HasLine(FormatStr(
        "ProxyServer::Start() Cannot listen on 127.0.0.1:%d (error=%d)", busy.Port(), EADDRINUSE)));
    options.address = "proxy.example";
    ProxyServer named(backend, options);
    EXPECT_FALSE(named.Start());
}

// A connection to 127.0.0.1:port from the source address `from`.
Fd ConnectFrom(const char* from, uint16_t port) {
    Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &a.sin_addr);
    if (::bind(s.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fd();
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    if (::connect(s.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return Fd();
    return s;
}

// Only the networks that --allow names get in, once the server listens beyond this machine.
TEST(ProxyServer, OnlyAllowedPeersAreServed) {
    ProxyProgramOptions o;
    std::string error;
    const char* args[] = {"jvo-proxy", "--listen",  "0.0.0.0:5000",
                          "--allow",   "127.0.0.2", "--allow=10.1.2.3/16"};
    ASSERT_TRUE(ParseProxyArgs(6, args, o, error)) << error;
    ASSERT_EQ(o.allow.size(), 2u);
    EXPECT_EQ(o.allow[1], (AllowedNet{0x0A010000u, 16}));
    for (const char* bad : {"10.1.2.3/33", "10.1.2/8", "host", "10.1.2.3/", "10.1.2.3/x"}) {
        const char* one[] = {"jvo-proxy", "--allow", bad};
        EXPECT_FALSE(ParseProxyArgs(3, one, o, error)) << bad;
    }
    EXPECT_EQ(ListenWarning("127.0.0.1", o.allow), "");
    EXPECT_NE(ListenWarning("0.0.0.0", {}).find("warning"), std::string::npos);
    EXPECT_TRUE(PeersToAccept("127.0.0.1", o.allow).empty());  // loopback: nothing to restrict

    FakeBackend backend(&Echo);
    ProxyServerOptions options;
    options.port = 0;
    options.allow = {AllowedNet{0x7F000002u, 32}};  // 127.0.0.2 only
    ProxyServer server(backend, options);
    ASSERT_TRUE(server.Start());
    Fd refused = ConnectFrom("127.0.0.1", server.Port());
    ASSERT_TRUE(refused.Valid());
    EXPECT_EQ(RecvExact(refused.Get(), 8 + 7), Frame({0, 4, 0, proxywire::kRefusalTag, 2, 0, 0}));
    EXPECT_TRUE(PeerClosed(refused.Get()));
    Fd allowed = ConnectFrom("127.0.0.2", server.Port());
    ASSERT_TRUE(allowed.Valid());
    ASSERT_TRUE(SendAll(allowed.Get(), Frame(RequestBody(0, {71}))));
    EXPECT_EQ(RecvExact(allowed.Get(), 8 + 5), Frame({1, 2, 0, 'd', 71}));
}

TEST(ProxyProgramOptions, ListenAndHelp) {
    ProxyProgramOptions o;
    std::string error;
    const char* defaults[] = {"jvo-proxy"};
    ASSERT_TRUE(ParseProxyArgs(1, defaults, o, error));
    EXPECT_EQ(o.listenAddress, "127.0.0.1");
    EXPECT_EQ(o.listenPort, 43015);
    const char* portOnly[] = {"jvo-proxy", "--listen", "5000", "--help"};
    ASSERT_TRUE(ParseProxyArgs(4, portOnly, o, error));
    EXPECT_EQ(o.listenPort, 5000);
    EXPECT_EQ(o.listenAddress, "127.0.0.1");
    EXPECT_TRUE(o.help);
    const char* both[] = {"jvo-proxy", "--listen=0.0.0.0:43016"};
    ASSERT_TRUE(ParseProxyArgs(2, both, o, error));
    EXPECT_EQ(o.listenAddress, "0.0.0.0");
    EXPECT_EQ(o.listenPort, 43016);
    for (const char* bad : {"70000", "host:5000", "1.2.3.4:", "x"}) {
        const char* args[] = {"jvo-proxy", "--listen", bad};
        EXPECT_FALSE(ParseProxyArgs(3, args, o, error)) << bad;
    }
    const char* missing[] = {"jvo-proxy", "--listen"};
    EXPECT_FALSE(ParseProxyArgs(2, missing, o, error));
    const char* unknown[] = {"jvo-proxy", "--com", "3"};
    EXPECT_FALSE(ParseProxyArgs(3, unknown, o, error));
    EXPECT_EQ(error, "unknown option '--com'");
    // Backend options are handed to the backend's parser.
    BackendArgParser com = [](int argc, const char* const* argv, int i, ProxyProgramOptions& opt,
                              std::string&) {
        if (std::string(argv[i]) != "--com" || i + 1 >= argc) return 0;
        opt.comPort = std::atoi(argv[i + 1]);
        return 2;
    };
    ASSERT_TRUE(ParseProxyArgs(3, unknown, o, error, com));
    EXPECT_EQ(o.comPort, 3);
}

}  // namespace
}  // namespace jvo
