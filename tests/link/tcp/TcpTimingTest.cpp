#include <gtest/gtest.h>

#include <chrono>

#include "link/TcpSocket.h"
#include "tests/link/tcp/TcpTestUtil.h"

namespace jvo {
namespace {

using namespace test;

// With the real clock and the default constants, an idle socket sends a keep-alive about every
// 2.5 s (the worker looks at least every 100 ms).
TEST(TcpSocketTiming, KeepAlivesGoOutAboutEvery2500Ms) {
    using Clock = std::chrono::steady_clock;
    Listener listener;
    SocketHandle s = TcpBase::OpenSocket(TcpBase::GetHostAddr("."), listener.Port(), 5000);
    ASSERT_TRUE(s.Valid());
    Fd peer = listener.Accept();
    auto user = std::make_shared<SocketUser>();
    const auto start = Clock::now();
    TcpSocket socket(std::move(s), user);
    std::vector<double> arrivals;
    while (arrivals.size() < 2) {
        auto ka = RecvExact(peer.Get(), 8, 8000);
        ASSERT_EQ(ka, KeepAlive());
        arrivals.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        SendAll(peer.Get(), KeepAlive());  // the peer's own keep-alive keeps the socket up
    }
    EXPECT_GE(arrivals[0], 2400);
    EXPECT_LT(arrivals[0], 4000);
    EXPECT_GE(arrivals[1] - arrivals[0], 2400);
    EXPECT_LT(arrivals[1] - arrivals[0], 4000);
    EXPECT_EQ(user->Fifo().Size(), 0u);
    socket.Close();
    EXPECT_TRUE(socket.WaitFinished(2000));
}

}  // namespace
}  // namespace jvo
