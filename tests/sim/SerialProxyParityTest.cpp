// The same simulated unit reached over both routes: a pseudo-terminal (serial path) and the proxy
// server (proxy path). What a whole-configuration read brings back must not depend on the route,
// and a proxy link that is disconnected leaves no thread or descriptor behind.
#include <gtest/gtest.h>

#include <string>

#include "link/ConfigTransfer.h"
#include "proxy/ProxyServer.h"
#include "sim/SimProxy.h"
#include "tests/link/tcp/TcpTestUtil.h"
#include "tests/sim/SimClientFixture.h"

namespace jvo::test {
namespace {

TEST(SerialProxyParity, ReadConfigIsTheSameOverBothRoutes) {
    ManualClock clock(1000);
    sim::SimUnit unit(clock, sim::MakeDemoConfig(), SeededOptions());
    sim::SimSerialPort port(unit);
    sim::SimUnitBackend backend(unit);
    ProxyServerOptions options;
    options.port = 0;
    ProxyServer server(backend, options);
    ASSERT_TRUE(port.Start());
    ASSERT_TRUE(server.Start());

    UnitLink serial;
    ASSERT_TRUE(serial.OpenSerialDevice(port.DevicePath(), 115200));
    UnitClient serialClient(&serial, 0);
    UnitConfig viaSerial;
    ASSERT_TRUE(ReadConfig(serialClient, viaSerial, 0, 10, nullptr));

    const int fdsBefore = OpenFds();
    {
        UnitLink proxy;
        ASSERT_TRUE(proxy.OpenProxy("127.0.0.1:" + std::to_string(server.Port())));
        // The worker names itself once it runs.
        EXPECT_TRUE(Eventually([] { return ThreadsNamed("TcpSocketThread") == 1; }));
        UnitClient proxyClient(&proxy, 0);
        UnitConfig viaProxy;
        ASSERT_TRUE(ReadConfig(proxyClient, viaProxy, 0, 10, nullptr));
        EXPECT_EQ(viaProxy, viaSerial);
        EXPECT_EQ(viaProxy.m_Panels[0].m_Breakers[0], unit.Current().m_Panels[0].m_Breakers[0]);
        proxy.Disconnect();
        EXPECT_FALSE(proxy.IsConnected());
    }
    EXPECT_TRUE(Eventually([] { return ThreadsNamed("TcpSocketThread") == 0; }));
    // Both ends live in this process: the server lets go of its end once it sees ours close.
    EXPECT_TRUE(Eventually([&] { return OpenFds() <= fdsBefore; }));

    backend.Cancel();
    server.Stop();
}

}  // namespace
}  // namespace jvo::test
