// Network faults against the proxy server and the proxy client, beyond those the proxy and TCP
// tests already cover (bad marker, the largest length and one above it, pieces split anywhere, a
// peer closing mid-body, 100 clients announcing 100 MiB, clients that take no replies, silent
// peers on either side).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "link/ProxyConnection.h"
#include "proxy/ProxyServer.h"
#include "tests/link/tcp/TcpTestUtil.h"

namespace jvo {
namespace {

using namespace test;

class EchoUnit : public IUnitBackend {
public:
    bool Transact(uint8_t, const uint8_t* request, int32_t length, std::vector<uint8_t>& reply,
                  int32_t) override {
        reply.assign(1, 'd');
        reply.insert(reply.end(), request, request + length);
        ++m_Calls;
        return true;
    }
    std::atomic<int> m_Calls{0};
};

std::vector<uint8_t> Request(std::vector<uint8_t> payload) {
    std::vector<uint8_t> v{0};
    PutLe16(v, static_cast<uint16_t>(payload.size()));
    v.insert(v.end(), payload.begin(), payload.end());
    return v;
}

std::vector<uint8_t> EchoReply(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> v{1};
    PutLe16(v, static_cast<uint16_t>(payload.size() + 1));
    v.push_back('d');
    v.insert(v.end(), payload.begin(), payload.end());
    return v;
}

bool Open(int fd) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 50) == 0;  // nothing to read, not even the end of the connection
}

// Each length the header can announce, a header that arrives a byte at a time, and a body that is
// announced but never sent: the server answers or drops exactly the clients it must, keeps
// serving the others, and drops the silent ones after 10 s of its (injected) clock.
TEST(ServerNetworkFaults, LengthsSplitHeadersAndBodiesNeverSent) {
    auto clock = std::make_shared<ManualClock>(1000);
    EchoUnit unit;
    ProxyServerOptions options;
    options.port = 0;
    options.clock = clock;
    options.tickMs = 10;
    ProxyServer server(unit, options);
    ASSERT_TRUE(server.Start());
    auto connect = [&] {
        Fd fd = Connect(server.Port());
        EXPECT_TRUE(fd.Valid());
        return fd;
    };
    std::vector<uint8_t> body;

    Fd zero = connect();  // a keep-alive is no request and gets no answer
    ASSERT_TRUE(SendAll(zero.Get(), Header(0)));
    ASSERT_TRUE(SendAll(zero.Get(), Frame(Request({71}))));
    ASSERT_TRUE(RecvMessage(zero.Get(), body));
    EXPECT_EQ(body, EchoReply({71}));

    Fd one = connect();  // a one-byte body is a malformed request: status 0
    ASSERT_TRUE(SendAll(one.Get(), Frame({7})));
    ASSERT_TRUE(RecvMessage(one.Get(), body));
    EXPECT_EQ(body, (std::vector<uint8_t>{0, 0, 0}));

    Fd largest = connect();  // allowed, and held only as far as it arrived
    ASSERT_TRUE(SendAll(largest.Get(), Header(0x6400000)));
    ASSERT_TRUE(SendAll(largest.Get(), std::vector<uint8_t>(1000, 0x55)));
    Fd above = connect();
    ASSERT_TRUE(SendAll(above.Get(), Header(0x6400001)));
    Fd all = connect();
    ASSERT_TRUE(SendAll(all.Get(), Header(0xFFFFFFFF)));
    EXPECT_TRUE(PeerClosed(above.Get()));
    EXPECT_TRUE(PeerClosed(all.Get()));

    Fd split = connect();  // the marker and length a byte at a time, as separate reads
    const std::vector<uint8_t> frame = Frame(Request({80, 1}));
    for (size_t i = 0; i < frame.size(); ++i) {
        ASSERT_TRUE(SendAll(split.Get(), &frame[i], 1));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ASSERT_TRUE(RecvMessage(split.Get(), body));
    EXPECT_EQ(body, EchoReply({80, 1}));

    Fd never = connect();  // 10 bytes announced, 3 sent
    ASSERT_TRUE(SendAll(never.Get(), Header(10)));
    ASSERT_TRUE(SendAll(never.Get(), std::vector<uint8_t>{0, 1, 0}));
    ASSERT_TRUE(Eventually([&] { return server.Stats().bodiesInProgress == 2; }));
    EXPECT_LT(server.Stats().bufferedBytes, 64u * 1024);
    EXPECT_TRUE(Open(largest.Get()));
    EXPECT_TRUE(Open(never.Get()));
    EXPECT_EQ(unit.m_Calls.load(), 2);

    // 10 s of silence: everyone who sent nothing since is dropped; a new client is served.
    clock->Advance(10001);
    for (Fd* fd : {&zero, &one, &largest, &split, &never})
        EXPECT_TRUE(PeerClosed(fd->Get()));
    EXPECT_TRUE(Eventually([&] { return server.Stats().clients == 0; }));
    Fd later = connect();
    ASSERT_TRUE(SendAll(later.Get(), Frame(Request({71}))));
    ASSERT_TRUE(RecvMessage(later.Get(), body));
    EXPECT_EQ(body, EchoReply({71}));
    server.Stop();
}

// A server that sends every reply twice. The copy, waiting when the next request goes out, is
// discarded: every transaction gets its own answer, never the previous command's. (The client is
// given a moment between transactions for the copy to come in; a copy that arrives only after the
// next request went out cannot be told from its answer, as the proxy bodies carry no sequence
// number.)
TEST(ClientNetworkFaults, ARepeatedReplyIsNeverTakenForTheNextAnswer) {
    Listener listener;
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::thread server([&] {
        Fd conn = listener.Accept();
        if (!conn.Valid()) return;
        std::vector<uint8_t> body;
        while (!stop) {
            if (!RecvMessage(conn.Get(), body, 100) || body.size() < 3) continue;
            const std::vector<uint8_t> payload(body.begin() + 3, body.end());
            std::vector<uint8_t> twice = Frame(EchoReply(payload));
            twice.insert(twice.end(), twice.begin(), twice.end());
            SendAll(conn.Get(), twice);
            ++answered;
        }
    });
    auto conn = ProxyConnection::Open("127.0.0.1:" + std::to_string(listener.Port()));
    ASSERT_TRUE(conn);
    for (uint8_t command : {71, 80, 133, 140}) {
        MsgBuf request(1200);
        MsgBuf reply(1200);
        request.Put8(command);
        ASSERT_TRUE(conn->Transact(0, request, reply, 250)) << int(command);
        EXPECT_EQ(std::vector<uint8_t>(reply.Base(), reply.Base() + reply.WritePos()),
                  (std::vector<uint8_t>{'d', command}));
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(answered.load(), 4);
    EXPECT_FALSE(conn->Ended());
    stop = true;
    conn->Close();
    server.join();
}

}  // namespace
}  // namespace jvo
