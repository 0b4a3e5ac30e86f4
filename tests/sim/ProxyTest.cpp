// The simulated unit behind the proxy server (in-process backend), the unit's faults on that
// path, and jvo-proxy's serial backend forwarding to the simulated unit on a pseudo-terminal.
// Everything runs over loopback connections on free ports.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <thread>

#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "proxy/ProxyServer.h"
#include "proxy/SerialBackend.h"
#include "sim/SimProxy.h"
#include "tests/link/serial/SerialTestUtil.h"
#include "tests/sim/SimClientFixture.h"
#include "tests/sim/SimProxyServer.h"

namespace jvo::test {
namespace {

TEST(FaultPlan, SilentRefusedAndLateRequests) {
    ManualClock clock(0);
    sim::SimUnit unit(clock, sim::MakeDemoConfig());
    sim::FaultPlan plan;
    std::vector<uint8_t> reply;
    uint32_t delay = 99;
    const uint8_t setAutoZero[] = {CMD_SET_AUTO_ZERO, 1};
    const uint8_t getAutoZero[] = {CMD_GET_AUTO_ZERO};

    sim::UnitFaults f;
    f.refuseCommand = CMD_SET_AUTO_ZERO;
    plan.Set(f);
    ASSERT_TRUE(plan.Handle(unit, setAutoZero, 2, reply, delay));
    EXPECT_EQ(reply, std::vector<uint8_t>{'n'});
    EXPECT_EQ(delay, 0u);
    ASSERT_TRUE(plan.Handle(unit, getAutoZero, 1, reply, delay));
    EXPECT_EQ(reply, (std::vector<uint8_t>{'d', 0}));  // the refused command was not carried out

    f = {};
    f.silent = true;
    plan.Set(f);
    const uint64_t before = unit.Transactions();
    EXPECT_FALSE(plan.Handle(unit, setAutoZero, 2, reply, delay));
    EXPECT_EQ(unit.Transactions(), before);  // never reached the unit

    f = {};
    f.lateFraction = 1.0;
    f.lateMs = 300;
    plan.Set(f);
    ASSERT_TRUE(plan.Handle(unit, setAutoZero, 2, reply, delay));
    EXPECT_EQ(delay, 300u);
    EXPECT_EQ(reply, std::vector<uint8_t>{'d'});

    f.lateFraction = 0.25;
    f.seed = 3;
    plan.Set(f);
    int late = 0;
    for (int i = 0; i < 400; ++i) {
        ASSERT_TRUE(plan.Handle(unit, getAutoZero, 1, reply, delay));
        late += delay > 0;
    }
    EXPECT_GT(late, 60);
    EXPECT_LT(late, 140);
}

// A simulated unit served through the proxy server, reached through UnitLink's proxy path.
class SimProxyTest : public ::testing::Test {
protected:
    SimProxyTest()
        : unit(clock, sim::MakeDemoConfig(), SeededOptions(), [] { return kNoon; }), proxy(unit) {}

    void SetUp() override {
        ASSERT_TRUE(proxy.Start());
        ASSERT_TRUE(link.OpenProxy(proxy.Address()));
    }
    void TearDown() override {
        link.Disconnect();
        proxy.Stop();
    }

    ManualClock clock{1000};
    sim::SimUnit unit;
    SimProxyServer proxy;
    UnitLink link;
    UnitClient client{&link, 0};
};

TEST_F(SimProxyTest, EveryKindOfCommandTravelsThroughTheProxy) {
    uint16_t schema = 0;
    ASSERT_TRUE(client.GetSchemaVersion(schema));
    EXPECT_EQ(schema, 4);
    UnitConfig read;
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, nullptr));
    EXPECT_EQ(read.m_Unit, unit.Current().m_Unit);
    EXPECT_EQ(read.m_Panels[1].m_Breakers[13], unit.Current().m_Panels[1].m_Breakers[13]);
    PanelReadingsReply panel;
    ASSERT_TRUE(client.GetPanelReadings(0, panel));
    EXPECT_NEAR(panel.m_Phase[1].m_Vll, 208, 4.2);
    ASSERT_EQ(unit.SetOverload("CRAC 1 13", true), 1);
    clock.Advance(6000);
    BreakerReading b;
    ASSERT_TRUE(client.GetBreakerReading(0, 3, b));
    EXPECT_EQ(b.m_OcAlarm, (FlagTriple{1, 1, 1}));
    ASSERT_TRUE(client.ClearPanelAlarms(0));
    ASSERT_TRUE(client.ResetEnergy(0));
    PanelEnergy e;
    ASSERT_TRUE(client.GetPanelEnergy(0, e));
    EXPECT_EQ(e.m_Main, 0.0f);
    // A refusal reaches the client as a failed command; the connection stays up.
    EXPECT_FALSE(client.GetBreakerReading(0, 20, b));
    EXPECT_TRUE(client.GetBreakerReading(0, 0, b));
}

TEST_F(SimProxyTest, UnitFaultsApplyOnTheProxyPath) {
    uint16_t state = 0;
    uint32_t value = 0;
    uint16_t schema = 0;

    sim::UnitFaults f;
    f.refuseCommand = CMD_GET_STATUS;
    proxy.backend.SetFaults(f);
    EXPECT_FALSE(client.GetStatus(state, value));
    EXPECT_TRUE(client.GetSchemaVersion(schema));

    // Silent: the proxy reports that no reply came; the connection stays.
    f = {};
    f.silent = true;
    proxy.backend.SetFaults(f);
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_TRUE(link.IsConnected());

    // Late but within the time-out: answered; later than the time-out: lost.
    f = {};
    f.lateFraction = 1.0;
    f.lateMs = 60;
    proxy.backend.SetFaults(f);
    EXPECT_TRUE(client.GetSchemaVersion(schema));
    f.lateMs = 400;
    proxy.backend.SetFaults(f);
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    // CommitConfig has a 10 s time-out on the unit side, so the late reply still counts.
    EXPECT_TRUE(client.CommitConfig());

    proxy.backend.SetFaults({});
    EXPECT_TRUE(client.GetStatus(state, value));
    EXPECT_EQ(state, kUnitRunning);
}

// The proxy server goes away: the link says so at once, and reopens to the same host and port.
TEST_F(SimProxyTest, EndedConnectionIsReportedAndReopened) {
    uint16_t schema = 0;
    ASSERT_TRUE(client.GetSchemaVersion(schema));
    const uint16_t port = proxy.server.Port();
    proxy.server.Stop();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!link.TransportLost() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(link.TransportLost());
    EXPECT_EQ(link.TransportLostReason().rfind("proxy connection ended: ", 0), 0u);
    EXPECT_TRUE(link.IsConnected());
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_FALSE(link.Reopen());  // nobody listens yet

    ProxyServerOptions options;
    options.port = port;
    ProxyServer again(proxy.backend, options);
    ASSERT_TRUE(again.Start());
    ASSERT_TRUE(link.Reopen());
    EXPECT_FALSE(link.TransportLost());
    EXPECT_TRUE(client.GetSchemaVersion(schema));
    link.Disconnect();
    again.Stop();
}

TEST_F(SimProxyTest, AnotherAddressGetsNoAnswer) {
    UnitClient other(&link, 8);
    uint16_t schema = 0;
    EXPECT_FALSE(other.GetSchemaVersion(schema));
    EXPECT_TRUE(client.GetSchemaVersion(schema));
}

// jvo-proxy's serial backend in front of the simulated unit on a pseudo-terminal.
class SerialBackendTest : public SimClientTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(serial.OpenDevice(port.DevicePath(), 115200));
        ProxyServerOptions o;
        o.port = 0;
        server = std::make_unique<ProxyServer>(serial, o);
        ASSERT_TRUE(server->Start());
        ASSERT_TRUE(link.OpenProxy("127.0.0.1:" + std::to_string(server->Port())));
    }
    void TearDown() override {
        link.Disconnect();
        server->Stop();
    }

    SerialUnitBackend serial;
    std::unique_ptr<ProxyServer> server;
};

TEST_F(SerialBackendTest, ForwardsOverTheSerialLineWithPerCommandTimeouts) {
    EXPECT_FALSE(serial.OpenDevice(port.DevicePath(), 115200));  // already open
    UnitConfig read;
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, nullptr));
    EXPECT_EQ(read.m_Panels[0].m_Breakers[0], unit.Current().m_Panels[0].m_Breakers[0]);
    CtReading ct;
    ASSERT_TRUE(client.GetCtReading(0, ct));
    EXPECT_GT(ct.m_IRms, 10.0f);

    // A unit that answers 700 ms late: too late for an ordinary command (250 ms), in time for a
    // commit (10 s) and for a metering reset (3 s).
    sim::SerialFaults late;
    late.lateFraction = 1.0;
    late.lateMs = 700;
    port.SetFaults(late);
    uint16_t schema = 0;
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_TRUE(client.CommitConfig());
    EXPECT_TRUE(client.ResetEnergy(1));
    // Called without a time-out, the backend takes the command's own.
    const uint8_t commit[] = {CMD_COMMIT_CONFIG};
    std::vector<uint8_t> reply;
    EXPECT_TRUE(serial.Transact(0, commit, 1, reply, 0));
    EXPECT_EQ(reply, std::vector<uint8_t>{'d'});
    port.SetFaults({});
    // The stale reply of the failed request is dropped by its sequence number.
    EXPECT_TRUE(client.GetSchemaVersion(schema));
    EXPECT_EQ(schema, 4);

    // A request too long for one frame fails without reaching the unit.
    const uint64_t frames = port.FramesReceived();
    UnitRecord huge;
    huge.m_UnitName = std::string(1117, 'X');  // a payload of 1199 bytes
    EXPECT_FALSE(client.SetUnitRecord(huge));
    EXPECT_EQ(port.FramesReceived(), frames);
}

// jvo-proxy's serial backend when its unit restarts on another device under the same COM number:
// requests fail meanwhile, then it serves again by itself; and a stop breaks off a long commit.
TEST(SerialBackendReopen, ServesAgainAfterTheUnitRestarts) {
    TempDir ports;
    ASSERT_FALSE(ports.Path().empty());
    ::setenv("JVO_PORT_DIR", ports.Path().c_str(), 1);
    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    auto first = std::make_unique<sim::SimSerialPort>(unit);
    ASSERT_TRUE(first->Start());
    ASSERT_TRUE(first->Pin(9, ports.Path()));
    SerialUnitBackend::ReopenTimes times;
    times.firstMs = 50;
    times.maxMs = 200;
    times.checkMs = 10;
    SerialUnitBackend serial(times);
    ASSERT_TRUE(serial.OpenCom(9, 115200));
    ProxyServerOptions o;
    o.port = 0;
    o.commitTimeoutMs = 30000;
    ProxyServer server(serial, o);
    ASSERT_TRUE(server.Start());
    UnitLink link;
    ASSERT_TRUE(link.OpenProxy("127.0.0.1:" + std::to_string(server.Port())));
    UnitClient client(&link, 0);
    uint16_t schema = 0;
    ASSERT_TRUE(client.GetSchemaVersion(schema));

    first.reset();  // the unit goes away: its line hangs up
    ASSERT_TRUE(WaitFor([&] { return serial.PortLost(); }));
    EXPECT_FALSE(client.GetSchemaVersion(schema));  // answered with the failure status
    EXPECT_FALSE(link.TransportLost());             // the client stays connected
    sim::SimSerialPort second(unit);
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Pin(9, ports.Path()));
    EXPECT_TRUE(WaitFor([&] { return client.GetSchemaVersion(schema); }));

    sim::SerialFaults silent;
    silent.silent = true;
    second.SetFaults(silent);
    std::thread commit([&] { client.CommitConfig(); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto start = std::chrono::steady_clock::now();
    server.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    link.Disconnect();
    commit.join();
    ::unsetenv("JVO_PORT_DIR");
}

}  // namespace
}  // namespace jvo::test
