// The monitor session as a window drives it: the connect sequence over a COM port and through the
// proxy server, its failures and their messages, then the commands on the command thread.
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "link/Commands.h"
#include "monitor/MonitorSession.h"
#include "tests/config/TestConfigs.h"
#include "tests/link/threads/LogCapture.h"
#include "tests/monitor/PollTestUtil.h"
#include "tests/sim/SimClientFixture.h"
#include "tests/sim/SimProxyServer.h"

namespace jvo::test {
namespace {

using monitor::ConnectChoice;
using monitor::MonitorSession;
using monitor::WM_APP_COMMAND_DONE;

constexpr int kCom = 4;

sim::SimOptions Schema(uint16_t schema) {
    sim::SimOptions o = SeededOptions();
    o.schemaVersion = schema;
    return o;
}

ConnectChoice ComChoice(int selected) {  // by list index
    ConnectChoice c;
    c.m_Selected = selected;
    return c;
}

ConnectChoice ProxyChoice(const std::string& server) {
    ConnectChoice c;
    c.m_UseProxy = true;
    c.m_Server = server;
    return c;
}

// A simulated unit on a pty pinned as COM 4 in a private port directory, and behind a proxy
// server on a free loopback port.
class SessionTest : public ::testing::Test {
protected:
    explicit SessionTest(sim::SimOptions options = SeededOptions())
        : unit(unitClock, sim::MakeDemoConfig(), options, [this] { return wall.load(); }),
          port(unit),
          proxy(unit) {}
    void SetUp() override {
        ASSERT_FALSE(ports.Path().empty());
        ::setenv("JVO_PORT_DIR", ports.Path().c_str(), 1);
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(port.Pin(kCom, ports.Path()));
        ASSERT_TRUE(proxy.Start());
    }
    void TearDown() override {
        session.reset();
        proxy.Stop();
        ::unsetenv("JVO_PORT_DIR");
    }
    std::string ProxyAddress() const { return proxy.Address(); }
    void Open(bool serviceUser = false, RouteStore* routes = nullptr) {
        app = std::make_unique<monitor::MonitorApp>(serviceUser);
        monitor::SessionOptions o;
        o.routes = routes;
        o.sleeper = [](int32_t) {};
        o.wallSeconds = [] { return static_cast<uint32_t>(kNoon + 3600); };
        session = std::make_unique<MonitorSession>(*app, ui, notify, o);
    }
    // Runs the connect sequence; the result of CMD_CONNECT.
    int Connect() {
        session->Connect();
        return Done(monitor::CMD_CONNECT);
    }
    // Waits for the command's WM_APP_COMMAND_DONE and returns its result (-1 when none came).
    int Done(int command) {
        int result = -1;
        WaitUntil([&] {
            for (const auto& n : notes.All())
                if (n.m_Msg == WM_APP_COMMAND_DONE && n.m_Param1 == command) result = n.m_Param2;
            return result >= 0;
        });
        return result;
    }
    // Moves the unit's time on by whole seconds.
    void Wait(int seconds) {
        unitClock.Advance(static_cast<uint64_t>(seconds) * 1000);
        wall += seconds;
        unit.Advance();
    }

    TempDir ports;
    ManualClock unitClock{10'000};
    std::atomic<int64_t> wall{kNoon};
    sim::SimUnit unit;
    sim::SimSerialPort port;
    SimProxyServer proxy;
    ScriptedUi ui;
    monitor::NotifyQueue notify;
    NoteCollector notes{notify};
    std::unique_ptr<monitor::MonitorApp> app;
    std::unique_ptr<MonitorSession> session;
};

TEST_F(SessionTest, ConnectOverComPortThenCommands) {
    Open(true);
    ui.Choose(ComChoice(-1));  // nothing selected
    ui.Choose({}, kCom);
    ASSERT_EQ(Connect(), 1);
    bool listed = false;
    const auto dialogs = ui.Dialogs();
    for (const monitor::PortItem& p : dialogs[0].m_Ports)
        listed = listed || (p.m_Port == kCom && p.m_Label == "COM4");
    EXPECT_TRUE(listed);
    EXPECT_EQ(dialogs[0].m_Selected, 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"You must select a COM port"});
    EXPECT_EQ(ui.Titles(),
              std::vector<std::string>{"JVO/TKA Monitor [Firmware Build:412 Config Schema:4]"});
    ASSERT_TRUE(session->Connected());
    EXPECT_TRUE(session->Setup().m_AutoZeroKnown);  // a service user
    EXPECT_FALSE(session->AutoZero());
    EXPECT_EQ(session->Config().m_Panels[0].m_BreakerCnt, unit.Current().m_Panels[0].m_BreakerCnt);
    ASSERT_TRUE(WaitUntil([&] { return session->Worker().Cycles() >= 1; }));

    // Reset kWh: the panel's meters start again from 0.
    Wait(120);
    ASSERT_TRUE(WaitUntil([&] { return session->Readings().Panel(0).m_MainEnergy > 0; }));
    session->ResetKwh(0);
    session->DrainCommands();
    EXPECT_EQ(notes.Count(WM_APP_COMMAND_DONE, monitor::CMD_RESET_KWH, 1), 1);
    ASSERT_TRUE(WaitUntil([&] { return session->Readings().Panel(0).m_MainEnergy == 0; }));
    EXPECT_GT(session->Readings().Panel(1).m_MainEnergy, 0);

    // Auto-zero: refused three times, the message and the old state; then accepted.
    sim::SerialFaults refuse;
    refuse.refuseCommand = CMD_SET_AUTO_ZERO;
    port.SetFaults(refuse);
    session->SetAutoZero(true);
    session->DrainCommands();
    EXPECT_EQ(notes.Count(WM_APP_COMMAND_DONE, monitor::CMD_SET_AUTO_ZERO, 0), 1);
    EXPECT_EQ(ui.Messages().back(), "Could not update AutoZero control");
    EXPECT_FALSE(session->AutoZero());
    port.SetFaults({});
    session->SetAutoZero(true);
    session->DrainCommands();
    EXPECT_TRUE(session->AutoZero());

    // Clear event log refused by the unit: given up after 10 tries, and said so in the log.
    {
        LogCapture log(1);
        sim::SerialFaults refuseClear;
        refuseClear.refuseCommand = CMD_CLEAR_EVENT_LOG;
        port.SetFaults(refuseClear);
        session->ClearEventLog(0);
        session->DrainCommands();
        EXPECT_EQ(notes.Count(WM_APP_COMMAND_DONE, monitor::CMD_CLEAR_EVENT_LOG, 0), 1);
        EXPECT_EQ(log.Matching("Log 0 not cleared after 10 tries").size(), 1u);
        port.SetFaults({});
    }

    // Clear event log: the worker then reads the unit's "formatted" event, which empties the log.
    ASSERT_GT(session->Logs()[0].Size(), 0u);
    session->ClearEventLog(0);
    session->DrainCommands();
    EXPECT_EQ(notes.Count(WM_APP_COMMAND_DONE, monitor::CMD_CLEAR_EVENT_LOG, 1), 1);
    ASSERT_TRUE(WaitUntil([&] {
        const auto e = session->Logs()[0].Events();
        return e.size() == 1 && e[0].m_Id == 1000;
    }));

    // Set clock: the unit logs the change in the service log.
    session->SetClock();
    session->ClearAlarms(0);
    session->DrainCommands();
    EXPECT_EQ(notes.Count(WM_APP_COMMAND_DONE, monitor::CMD_SET_CLOCK, 1), 1);
    EXPECT_EQ(notes.Count(WM_APP_COMMAND_DONE, monitor::CMD_CLEAR_ALARMS, 1), 1);
    ASSERT_TRUE(WaitUntil([&] {
        for (const EventRecord& e : session->Logs()[2].Events())
            if (e.m_Id == 2003) return true;
        return false;
    }));

    session->Exit();
    EXPECT_FALSE(session->Link().IsConnected());
    EXPECT_EQ(session->Worker().End(), monitor::PollEnd::STOPPED);
    EXPECT_EQ(ui.Messages().size(), 2u);
}

TEST_F(SessionTest, ConnectThroughTheProxyAfterAServerThatIsNotThere) {
    Open();
    ui.Choose(ProxyChoice("127.0.0.1:1"));
    ui.Choose(ProxyChoice(ProxyAddress()));
    ASSERT_EQ(Connect(), 1);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Could not connect to the specified server"});
    EXPECT_EQ(ui.Dialogs()[1].m_Focus, monitor::ConnectFocus::ServerName);
    EXPECT_FALSE(session->Setup().m_AutoZeroKnown);  // not a service user
    EXPECT_TRUE(session->Link().ViaProxy());
    ASSERT_TRUE(WaitUntil([&] { return session->Worker().Cycles() >= 1; }));
    EXPECT_GT(session->Readings().Panel(0).m_Vll[0], 100);
    // A stop while the worker polls ends it at a poll point.
    session->Exit();
    EXPECT_EQ(session->Worker().End(), monitor::PollEnd::STOPPED);
}

// Recent routes kept in memory, as the window's settings keep them.
struct Routes final : RouteStore {
    std::vector<Route> Load() override { return routes; }
    void Save(const std::vector<Route>& r) override { routes = r; }
    std::vector<Route> routes;
};

// The dialog opens on the last route that reached a unit (a server that was not there is not
// remembered), with the recent ones offered; a pin that cannot be made is told and the dialog
// stays.
TEST_F(SessionTest, TheDialogOpensOnTheLastRouteThatConnected) {
    // The result of the n-th connect sequence of the test (the notes of earlier sessions stay).
    const auto connect = [&](size_t n) {
        session->Connect();
        std::vector<int> results;
        WaitUntil([&] {
            results.clear();
            for (const auto& note : notes.All())
                if (note.m_Msg == WM_APP_COMMAND_DONE && note.m_Param1 == monitor::CMD_CONNECT)
                    results.push_back(note.m_Param2);
            return results.size() >= n;
        });
        return results.size() >= n ? results[n - 1] : -1;
    };
    Routes routes;
    Open(false, &routes);
    ui.Choose(ProxyChoice("127.0.0.1:1"));
    ui.Choose(ProxyChoice(ProxyAddress()));
    ASSERT_EQ(connect(1), 1);
    EXPECT_EQ(routes.routes, std::vector<Route>{Route::Proxy(ProxyAddress())});
    session.reset();

    Open(false, &routes);
    ConnectChoice pin;
    pin.m_Kind = ConnectChoice::PIN;
    pin.m_Selected = 0;
    pin.m_PinNumber = 40;
    ui.Choose(pin);
    ui.Choose(ComChoice(0), kCom);
    ASSERT_EQ(connect(2), 1);
    const auto dialogs = ui.Dialogs();
    ASSERT_GE(dialogs.size(), 4u);
    EXPECT_TRUE(dialogs[2].m_UseProxy);
    EXPECT_EQ(dialogs[2].m_Server, ProxyAddress());
    EXPECT_EQ(dialogs[2].m_Recent, std::vector<Route>{Route::Proxy(ProxyAddress())});
    if (PortPinsSupported()) {
        EXPECT_NE(ui.Messages().back().find("COM40 is no port number"), std::string::npos);
    }
    ASSERT_EQ(routes.routes.size(), 2u);
    EXPECT_EQ(routes.routes[0], Route::Com(kCom));
    session.reset();

    Open(false, &routes);
    EXPECT_EQ(connect(3), 0);  // nothing chosen: cancelled
    const monitor::ConnectDlgState last = ui.Dialogs().back();
    EXPECT_FALSE(last.m_UseProxy);
    ASSERT_GE(last.m_Selected, 0);
    EXPECT_EQ(last.m_Ports[static_cast<size_t>(last.m_Selected)].m_Port, kCom);
    EXPECT_EQ(last.m_Recent.size(), 2u);
}

// A listener on a loopback port whose queue is full: a connect to it waits without an answer, as
// one to a server behind a dropped network does.
class FullListener {
public:
    explicit FullListener(uint16_t port) {
        m_Listen = ::socket(AF_INET, SOCK_STREAM, 0);
        const int on = 1;
        ::setsockopt(m_Listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_Ok = ::bind(m_Listen, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
               ::listen(m_Listen, 0) == 0;
        for (int i = 0; m_Ok && i < 2; ++i) {  // fill the queue, never accepted
            m_Fill[i] = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            ::connect(m_Fill[i], reinterpret_cast<sockaddr*>(&a), sizeof a);
        }
    }
    ~FullListener() {
        for (int fd : {m_Listen, m_Fill[0], m_Fill[1]})
            if (fd >= 0) ::close(fd);
    }
    bool Ok() const { return m_Ok; }

private:
    int m_Listen = -1;
    int m_Fill[2] = {-1, -1};
    bool m_Ok = false;
};

// Exit while the worker reconnects to a proxy whose connect is never answered (10 s): the
// session ends within a second. (A long transaction is the window journey's case.)
TEST_F(SessionTest, ExitIsPromptWhileTheWorkerReconnects) {
    Open();
    ui.Choose(ProxyChoice(ProxyAddress()));
    ASSERT_EQ(Connect(), 1);
    ASSERT_TRUE(WaitUntil([&] { return session->Worker().Cycles() >= 1; }));
    const uint16_t port = proxy.server.Port();
    proxy.Stop();
    ASSERT_TRUE(WaitUntil([&] { return session->Worker().TransportLost(); }));
    FullListener full(port);
    ASSERT_TRUE(full.Ok());
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));  // the first reopen is 1 s on
    const auto start = std::chrono::steady_clock::now();
    session->Exit();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(session->Worker().End(), monitor::PollEnd::STOPPED);
}

class WrongSchemaTest : public SessionTest {
protected:
    WrongSchemaTest() : SessionTest(Schema(3)) {}
};

TEST_F(WrongSchemaTest, SchemaThreeIsRefusedAndCancellingTheNextDialogEnds) {
    Open();
    ui.Choose(ProxyChoice(ProxyAddress()));
    ASSERT_EQ(Connect(), 0);  // the second dialog was cancelled
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Incorrect Schema Version: 3 (4 Required)"});
    EXPECT_EQ(ui.Icons(), std::vector<monitor::MsgIcon>{monitor::MsgIcon::Error});
    EXPECT_EQ(ui.Dialogs().size(), 2u);
    EXPECT_TRUE(ui.Titles().empty());
    EXPECT_FALSE(session->Connected());
    EXPECT_FALSE(session->Link().IsConnected());
    session->Exit();
    EXPECT_EQ(session->Worker().End(), monitor::PollEnd::STOPPED);
}

TEST_F(SessionTest, SilentComPortIsToldAndClosed) {
    sim::SerialFaults silent;
    silent.silent = true;
    port.SetFaults(silent);
    Open();
    ui.Choose({}, kCom);
    ASSERT_EQ(Connect(), 0);
    EXPECT_EQ(ui.Messages(),
              std::vector<std::string>{"Could not communicate to JVO on selected COM port.\n\n"
                                       "Verify that JVO is powered and cable is properly "
                                       "connected."});
    EXPECT_EQ(ui.Dialogs()[1].m_Focus, monitor::ConnectFocus::PortList);
    EXPECT_FALSE(session->Link().IsConnected());
}

TEST_F(SessionTest, LoadFailureClosesTheLinkAndTheNextDialogConnects) {
    sim::SerialFaults refuse;
    refuse.refuseCommand = CMD_GET_CT_RECORD;  // only on the serial route
    port.SetFaults(refuse);
    Open();
    ui.Choose({}, kCom);
    ui.Choose(ProxyChoice(ProxyAddress()));
    ASSERT_EQ(Connect(), 1);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"Could not load configuration"});
    EXPECT_EQ(ui.Dialogs().size(), 2u);
    EXPECT_TRUE(session->Link().ViaProxy());
    EXPECT_EQ(session->Setup().UnitText(), " " + unit.Current().m_Unit.m_UnitName);
    ASSERT_TRUE(WaitUntil([&] { return session->Worker().Cycles() >= 1; }));
}

}  // namespace
}  // namespace jvo::test
