#include <gtest/gtest.h>

#include <thread>

#include "link/ProxyConnection.h"
#include "proxy/ProxyServer.h"

namespace jvo {
namespace {

class Echo : public IUnitBackend {
public:
    bool Transact(uint8_t, const uint8_t* request, int32_t length, std::vector<uint8_t>& reply,
                  int32_t) override {
        reply.assign(1, 'd');
        reply.insert(reply.end(), request, request + length);
        return true;
    }
};

// A quiet connection between the proxy connection and the server stays up on keep-alives from
// both sides: with shortened constants, idle for several idle limits, then a transaction works.
TEST(ProxyTiming, KeepAlivesHoldAQuietConnection) {
    Echo backend;
    ProxyServerOptions serverOptions;
    serverOptions.port = 0;
    serverOptions.keepAliveMs = 100;
    serverOptions.idleLimitMs = 1000;
    serverOptions.tickMs = 20;
    ProxyServer server(backend, serverOptions);
    ASSERT_TRUE(server.Start());
    ProxyOptions options;
    options.socket.keepAliveMs = 100;
    options.socket.idleLimitMs = 1000;
    options.socket.tickMs = 20;
    auto conn = ProxyConnection::Open("127.0.0.1:" + std::to_string(server.Port()), options);
    ASSERT_TRUE(conn);
    std::this_thread::sleep_for(std::chrono::milliseconds(3000));
    EXPECT_FALSE(conn->Ended());
    EXPECT_EQ(server.Stats().clients, 1u);
    EXPECT_EQ(server.Stats().dropped, 0u);
    MsgBuf request(16);
    MsgBuf reply(16);
    request.Put8(71);
    EXPECT_TRUE(conn->Transact(0, request, reply, 250));
    EXPECT_EQ(reply.WritePos(), 2);
}

}  // namespace
}  // namespace jvo
