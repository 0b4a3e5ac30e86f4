// Who may reach the proxy server and who may change the unit: TLS with client certificates, the
// read-only role, idle clients that must not lock others out, and --allow on loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>

#include "link/Commands.h"
#include "link/ProxyConnection.h"
#include "proxy/ProgramOptions.h"
#include "proxy/ProxyServer.h"
#include "tests/exporter/SiteCa.h"
#include "tests/link/tcp/TcpTestUtil.h"

namespace jvo {
namespace {

using namespace test;

// Answers 'd' and the request.
class EchoBackend : public IUnitBackend {
public:
    bool Transact(uint8_t, const uint8_t* request, int32_t length, std::vector<uint8_t>& reply,
                  int32_t) override {
        reply.assign(1, 'd');
        reply.insert(reply.end(), request, request + length);
        return true;
    }
};

bool Ask(ProxyConnection& conn, std::vector<uint8_t> payload, LinkStatus* status = nullptr) {
    MsgBuf request(1200);
    MsgBuf reply(1200);
    request.PutBytes(payload.data(), static_cast<int32_t>(payload.size()));
    return conn.Transact(0, request, reply, 250, status);
}

// Every command that changes the unit, as the protocol's table names them; every other code of
// the table only reads. Codes outside the table count as changes (they cannot be judged).
TEST(ReadOnlyCommands, AreExactlyTheChangesOfTheCommandTable) {
    const std::set<int> changes = {20, 33, 35, 37, 41, 42, 50, 139, 141, 144, 146, 147, 150};
    const std::set<int> reads = {17,  19,  32,  34,  36,  40,  71,  79,  80,
                                 133, 134, 136, 140, 142, 143, 145, 148, 149};
    int count = 0;
    CommandTable(count);
    EXPECT_EQ(static_cast<size_t>(count), changes.size() + reads.size());
    for (int code = 0; code < 256; ++code) {
        const bool known = changes.count(code) || reads.count(code);
        EXPECT_EQ(FindCommand(static_cast<uint8_t>(code)) != nullptr, known) << code;
        EXPECT_EQ(ChangesUnit(static_cast<uint8_t>(code)), !reads.count(code)) << code;
    }
}

// The lock-out: 128 connections that only idle shut every other client out. Now the one
// idle longest makes room, and only when none has idled long enough is a newcomer refused.
TEST(ProxyLimits, IdleClientsMakeRoomAndSlowHeadersAreDropped) {
    auto clock = std::make_shared<ManualClock>(1000);
    EchoBackend backend;
    ProxyServerOptions options;
    options.port = 0;
    options.clock = clock;
    ProxyServer server(backend, options);
    ASSERT_TRUE(server.Start());
    std::vector<Fd> idle;
    for (int i = 0; i < kDefaultMaxClients; ++i) {
        idle.push_back(Connect(server.Port()));
        ASSERT_TRUE(idle.back().Valid());
    }
    ASSERT_TRUE(Eventually([&] { return server.Stats().clients == 128; }));
    // None has idled for long yet: a newcomer is refused as "full".
    auto refused = ProxyConnection::Open("127.0.0.1:" + std::to_string(server.Port()));
    ASSERT_TRUE(refused);
    LinkStatus status;
    EXPECT_FALSE(Ask(*refused, {71}, &status));
    EXPECT_EQ(status.refusal, ProxyRefusal::Full);
    EXPECT_EQ(status.limit, 128);
    // After 5 s without a request (the idle limit of 10 s is not reached), good clients get in.
    clock->Advance(options.evictIdleMs + 1);
    std::vector<std::unique_ptr<ProxyConnection>> good;  // each stays, so each needs room
    for (int i = 0; i < 20; ++i) {
        good.push_back(ProxyConnection::Open("127.0.0.1:" + std::to_string(server.Port())));
        ASSERT_TRUE(good.back());
        EXPECT_TRUE(Ask(*good.back(), {71}, &status)) << i << ": " << DescribeStatus(status);
    }
    EXPECT_EQ(server.Stats().evicted, 20u);
    EXPECT_EQ(server.Stats().clients, 128u);

    // A header sent a byte at a time is dropped once headerLimitMs has passed since it began.
    Fd slow = Connect(server.Port());
    ASSERT_TRUE(SendAll(slow.Get(), std::vector<uint8_t>{0xCE, 0xFA}));
    // The header's time counts from when the server took its first bytes in: at most three such
    // steps, all well inside the idle limit of 10 s, which would drop it for another reason.
    bool closed = false;
    for (int step = 0; step < 3 && !closed; ++step) {
        clock->Advance(options.headerLimitMs + 1);
        closed = PeerClosed(slow.Get(), 3000);
    }
    EXPECT_TRUE(closed);
    server.Stop();
}

// --allow means what it says on loopback too: 127.0.0.3 is refused, 127.0.0.2 let in.
TEST(ProxyLimits, AllowIsMeaningfulOnLoopback) {
    const std::vector<AllowedNet> two = {AllowedNet{0x7F000002u, 32}};
    EXPECT_EQ(PeersToAccept("127.0.0.1", two), two);
    EXPECT_EQ(PeersToAccept("0.0.0.0", two), two);  // this machine only when listed
    EXPECT_TRUE(PeersToAccept("127.0.0.1", {}).empty());
    EchoBackend backend;
    ProxyServerOptions options;
    options.port = 0;
    options.allow = PeersToAccept("127.0.0.1", two);
    ProxyServer server(backend, options);
    ASSERT_TRUE(server.Start());
    auto from = [&](const char* address) {
        Fd s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        ::inet_pton(AF_INET, address, &a.sin_addr);
        EXPECT_EQ(::bind(s.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(server.Port());
        EXPECT_EQ(::connect(s.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        return s;
    };
    Fd third = from("127.0.0.3");
    EXPECT_EQ(RecvExact(third.Get(), 8 + 7), Frame({0, 4, 0, proxywire::kRefusalTag, 2, 0, 0}));
    Fd second = from("127.0.0.2");
    ASSERT_TRUE(SendAll(second.Get(), Frame({0, 1, 0, 71})));
    EXPECT_EQ(RecvExact(second.Get(), 8 + 5), Frame({1, 2, 0, 'd', 71}));
}

class ProxyTlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_Dir = std::filesystem::temp_directory_path() /
                ("jvo-proxy-tls-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_Dir);
        ASSERT_TRUE(MakeSiteCa(m_Dir.string(), "client watcher\n")) << "openssl failed";
        ProxyServerOptions options;
        options.port = 0;
        options.plainAddress = "127.0.0.1";
        options.keepAliveMs = 100;  // keep-alives must pass the tunnel for the client to stay
        std::string error;
        options.tls = MakeTlsServerContext(
            {File("ca.crt"), File("localhost.crt"), File("localhost.key")}, error);
        ASSERT_TRUE(options.tls) << error;
        options.writers =
            std::make_shared<std::set<std::string>>(std::set<std::string>{"CN=prometheus"});
        m_Server = std::make_unique<ProxyServer>(m_Backend, options);
        ASSERT_TRUE(m_Server->Start());
    }
    void TearDown() override {
        if (m_Server) m_Server->Stop();
        std::filesystem::remove_all(m_Dir);
    }
    std::string File(const std::string& name) const { return (m_Dir / name).string(); }
    // A TLS connection as `client` (empty: without a certificate) to `host`.
    std::unique_ptr<ProxyConnection> Open(const std::string& client, LinkStatus& status,
                                          const std::string& host = "localhost",
                                          const std::string& ca = "ca.crt") {
        ProxyOptions options;
        options.tls.ca = File(ca);
        if (!client.empty()) {
            options.tls.cert = File(client + ".crt");
            options.tls.key = File(client + ".key");
        }
        options.socket.idleLimitMs = 1500;
        options.resolver = [](const std::string&, uint32_t& a) {
            a = 0x7F000001u;
            return true;
        };
        return ProxyConnection::Open("tls://" + host + ":" + std::to_string(m_Server->Port()),
                                     options, &status);
    }

    std::filesystem::path m_Dir;
    EchoBackend m_Backend;
    std::unique_ptr<ProxyServer> m_Server;
};

// A site's journey: the writer changes the unit, a read-only client polls and reads but may not
// change it, and every client the server or the client must not trust is refused with its reason.
TEST_F(ProxyTlsTest, CertificatesDecideWhoGetsInAndWhoMayChange) {
    LinkStatus status;
    auto writer = Open("prometheus", status);
    ASSERT_TRUE(writer) << DescribeStatus(status);
    EXPECT_TRUE(Ask(*writer, {CMD_RESET_TO_DEFAULTS}, &status)) << DescribeStatus(status);

    auto reader = Open("watcher", status);
    ASSERT_TRUE(reader) << DescribeStatus(status);
    EXPECT_TRUE(Ask(*reader, {CMD_GET_STATUS}));
    EXPECT_TRUE(Ask(*reader, {CMD_GET_UNIT_RECORD, 0}));
    for (uint8_t change : {CMD_SET_UNIT_RECORD, CMD_COMMIT_CONFIG, CMD_RESET_TO_DEFAULTS}) {
        EXPECT_FALSE(Ask(*reader, {change}, &status));
        EXPECT_EQ(status.refusal, ProxyRefusal::ReadOnly) << int(change);
    }
    // Three keep-alive periods of silence, longer than the client's idle limit: the server's
    // keep-alives arrive through TLS and the connection stays.
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    EXPECT_TRUE(Ask(*reader, {CMD_GET_STATUS}, &status)) << DescribeStatus(status);

    struct Refused {
        const char* client;
        const char* host;
        const char* ca;
        const char* reason;
    };
    const Refused cases[] = {
        {"", "localhost", "ca.crt", "requires a client certificate"},
        {"other/stranger", "localhost", "ca.crt", "does not trust the CA"},
        {"expired", "localhost", "ca.crt", "expired"},
        {"prometheus", "localhost", "other/ca.crt", "certificate verify failed"},
        {"prometheus", "elsewhere", "ca.crt", "hostname mismatch"},
    };
    for (const Refused& r : cases) {
        EXPECT_FALSE(Open(r.client, status, r.host, r.ca)) << r.client;
        EXPECT_EQ(status.result, LinkResult::TlsFailed) << r.client;
        EXPECT_NE(status.detail.find("127.0.0.1:" + std::to_string(m_Server->Port())),
                  std::string::npos)
            << status.detail;
        EXPECT_NE(status.detail.find(r.reason), std::string::npos) << status.detail;
    }
    // A client that opens a connection and never starts its handshake is dropped (after 3 s).
    Fd silent = Connect(m_Server->Port());
    EXPECT_TRUE(PeerClosed(silent.Get(), 10000));
    // The plain listener beside TLS: no certificate, so read-only with a writers list.
    auto plain = ProxyConnection::Open("127.0.0.1:" + std::to_string(m_Server->PlainPort()));
    ASSERT_TRUE(plain);
    EXPECT_TRUE(Ask(*plain, {CMD_GET_STATUS}));
    EXPECT_FALSE(Ask(*plain, {CMD_SET_CLOCK, 0, 0, 0, 0}, &status));
    EXPECT_EQ(status.refusal, ProxyRefusal::ReadOnly);
}

// Each refusal of a peer is noted once per interval, with the count of those left unnoted.
TEST(ProxyLimits, RefusalsAreLoggedOncePerPeerAndInterval) {
    RefusalLog log(60000);
    uint32_t unlogged = 0;
    EXPECT_TRUE(log.ShouldLog(0x0A000001u, 1, 1000, unlogged));
    EXPECT_EQ(unlogged, 0u);
    EXPECT_FALSE(log.ShouldLog(0x0A000001u, 1, 2000, unlogged));
    EXPECT_FALSE(log.ShouldLog(0x0A000001u, 1, 60999, unlogged));
    EXPECT_TRUE(log.ShouldLog(0x0A000002u, 1, 3000, unlogged));  // another peer
    EXPECT_TRUE(log.ShouldLog(0x0A000001u, 2, 3000, unlogged));  // another reason
    EXPECT_TRUE(log.ShouldLog(0x0A000001u, 1, 61000, unlogged));
    EXPECT_EQ(unlogged, 2u);
}

TEST(ProxyTlsOptions, AllThreeFilesOrNone) {
    ProxyProgramOptions o;
    std::string error;
    const char* partial[] = {"jvo-proxy", "--tls-cert", "a.crt", "--tls-key", "a.key"};
    EXPECT_FALSE(ParseProxyArgs(5, partial, o, error));
    const char* plainAlone[] = {"jvo-proxy", "--listen-plain", "5000"};
    EXPECT_FALSE(ParseProxyArgs(3, plainAlone, o, error));
    const char* full[] = {"jvo-proxy",      "--tls-cert",      "a.crt",      "--tls-key",
                          "a.key",          "--tls-client-ca", "ca.crt",     "--listen-plain",
                          "127.0.0.1:5000", "--max-clients=7", "--read-only"};
    ASSERT_TRUE(ParseProxyArgs(11, full, o, error)) << error;
    EXPECT_EQ(o.plainPort, 5000);
    EXPECT_EQ(o.maxClients, 7);
    EXPECT_TRUE(o.readOnly);
}

}  // namespace
}  // namespace jvo
