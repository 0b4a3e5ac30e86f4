// The connect dialog's logic: the port list, "Connect" and "Work Offline" with its checked load.
#include <sys/stat.h>

#include <filesystem>

#include "tests/tool/ToolTestUtil.h"
#include "tool/ConnectDlgLogic.h"
#include "tool/Texts.h"

namespace jvo::tool::test {
namespace {

namespace t = jvo::tool::text;

PortEntry Port(int n) {
    PortEntry e;
    e.number = n;
    e.path = "/dev/null";
    return e;
}

TEST(ConnectDlgTest, ListsPortsOneToThirtyTwoAscending) {
    ScriptedUi ui;
    ConnectDlgLogic dlg(ui, [] {
        return std::vector<PortEntry>{Port(33), Port(7), Port(3), Port(0), Port(7), Port(32)};
    });
    dlg.Start();
    ASSERT_EQ(dlg.Ports().size(), 3u);
    EXPECT_EQ(dlg.Ports()[0].m_Port, 3);
    EXPECT_EQ(dlg.Ports()[0].m_Label, "COM3");
    EXPECT_EQ(dlg.Ports()[2].m_Label, "COM32");
    EXPECT_EQ(dlg.Selected(), 0);
    dlg.Select(1);
    EXPECT_EQ(dlg.OnConnect(), ConnectDlgLogic::Outcome::CONNECT);
    EXPECT_EQ(dlg.m_ComPort, 7);
    const ConnectResult r = dlg.Result(ConnectDlgLogic::Outcome::CONNECT);
    EXPECT_EQ(r.m_Kind, ConnectResult::PORT);
    EXPECT_EQ(r.m_Port, 7);
    EXPECT_EQ(dlg.Result(ConnectDlgLogic::Outcome::STAY).m_Kind, ConnectResult::CANCELLED);
    dlg.Select(9);
    EXPECT_EQ(dlg.Selected(), -1);
    EXPECT_EQ(dlg.OnConnect(), ConnectDlgLogic::Outcome::STAY);
    EXPECT_TRUE(ui.messages.size() == 1 && ui.messages[0].text == t::kSelectComPort);
}

// The last COM port used is selected first; any recent route connects again, TLS files and all;
// the list keeps each route once, the latest first, eight at most.
TEST(ConnectDlgTest, RecentRoutesComeFirst) {
    ScriptedUi ui;
    MemoryRouteStore store;
    const Route proxy = Route::Proxy("tls://gw:43016", {"/etc/ca.pem", "/home/me.pem", "/k.key"});
    store.routes = {Route::Com(7), proxy, Route::Com(3), Route::Com(99), Route::Com(7)};
    ConnectDlgLogic dlg(
        ui,
        [] {
            return std::vector<PortEntry>{Port(3), Port(7), Port(9)};
        },
        &store);
    dlg.Start();
    EXPECT_EQ(dlg.Selected(), 1);  // COM7
    ASSERT_EQ(dlg.Recent(), (std::vector<Route>{Route::Com(7), proxy, Route::Com(3)}));
    EXPECT_EQ(RouteLabel(dlg.Recent()[1]),
              "proxy tls://gw:43016 (CA ca.pem, certificate me.pem, key k.key)");
    EXPECT_EQ(dlg.OnConnectRecent(5), ConnectDlgLogic::Outcome::STAY);
    ASSERT_EQ(dlg.OnConnectRecent(1), ConnectDlgLogic::Outcome::CONNECT);
    const ConnectResult r = dlg.Result(ConnectDlgLogic::Outcome::CONNECT);
    EXPECT_EQ(r.m_Kind, ConnectResult::PROXY);
    EXPECT_EQ(r.m_Host, "tls://gw:43016");
    EXPECT_EQ(r.m_Tls, proxy.m_Tls);
    EXPECT_EQ(RouteOf(r), proxy);
    // "Connect" afterwards takes the port list again.
    EXPECT_EQ(dlg.OnConnect(), ConnectDlgLogic::Outcome::CONNECT);
    EXPECT_EQ(dlg.Result(ConnectDlgLogic::Outcome::CONNECT).m_Port, 7);

    RecentRoutes recent(store.routes);
    for (int n = 1; n <= 10; ++n)
        recent.Use(Route::Com(n));
    recent.Use(Route::Com(4));
    ASSERT_EQ(recent.List().size(), RecentRoutes::kMax);
    EXPECT_EQ(recent.List()[0], Route::Com(4));
    EXPECT_EQ(recent.List()[1], Route::Com(10));
    EXPECT_EQ(recent.List().back(), Route::Com(3));
}

// A listed adapter pinned as another number: the pin points at its serial/by-id name and says
// so; a taken number, a number out of range and an adapter pinned already are refused.
TEST(ConnectDlgTest, PinsTheSelectedAdapter) {
    if (!PortPinsSupported()) GTEST_SKIP() << "this system numbers its ports itself";
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    PortRoots roots;
    roots.portDir = dir.File("ports");
    std::vector<PortEntry> probed{Port(1), Port(2)};
    probed[1].path = "/dev/ttyUSB9";
    probed[1].byId = "usb-FTDI_X-port0";
    ScriptedUi ui;
    ConnectDlgLogic dlg(ui, [&] { return probed; });
    dlg.SetPortRoots(roots);
    dlg.Start();
    dlg.Select(1);
    probed.push_back(Port(7));  // the next probe finds the pin
    ASSERT_TRUE(dlg.OnPin(7));
    const std::string target = "/dev/serial/by-id/usb-FTDI_X-port0";
    EXPECT_EQ(std::filesystem::read_symlink(dir.File("ports/com7")).string(), target);
    EXPECT_EQ(ui.messages.back().text, "COM7 now points at " + target +
                                           ", which is /dev/ttyUSB9 now (" +
                                           dir.File("ports/com7") + ").");
    EXPECT_EQ(dlg.Ports()[dlg.Selected()].m_Port, 7);

    dlg.Select(0);
    EXPECT_FALSE(dlg.OnPin(7));
    EXPECT_NE(ui.messages.back().text.find("com7 in " + roots.portDir + " already exists"),
              std::string::npos);
    EXPECT_FALSE(dlg.OnPin(33));
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);
    probed[0].pinned = true;
    dlg.Start();
    dlg.Select(0);
    EXPECT_FALSE(dlg.OnPin(8));
    EXPECT_NE(ui.messages.back().text.find("pinned already"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.File("ports/com8")));
}

TEST(ConnectDlgTest, NoPortsMeansConnectAsksForOne) {
    ScriptedUi ui;
    ConnectDlgLogic dlg(ui, [] { return std::vector<PortEntry>{}; });
    dlg.Start();
    EXPECT_TRUE(dlg.Ports().empty());
    EXPECT_EQ(dlg.Selected(), -1);
    EXPECT_EQ(dlg.OnConnect(), ConnectDlgLogic::Outcome::STAY);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "You must select a COM port");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
}

TEST(ConnectDlgTest, ProbeListsPinnedUnitsThatCanBeOpenedNow) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ASSERT_EQ(::mkdir(dir.File("dev").c_str(), 0700), 0);
    PortRoots roots;
    roots.portDir = dir.File("ports");
    roots.devRoot = dir.File("dev");
    SimUnitOnPty a(sim::MakeDemoConfig());
    SimUnitOnPty b(sim::MakeDemoConfig());
    SimUnitOnPty busy(sim::MakeDemoConfig());
    ASSERT_TRUE(a.started && b.started && busy.started);
    ASSERT_TRUE(a.port.Pin(7, roots.portDir));
    ASSERT_TRUE(b.port.Pin(3, roots.portDir));
    ASSERT_TRUE(busy.port.Pin(12, roots.portDir));
    UnitLink holder;  // another program has COM12 open
    ASSERT_TRUE(holder.OpenSerialDevice(busy.port.DevicePath(), 115200));

    ScriptedUi ui;
    ConnectDlgLogic dlg(ui, [&] { return ProbeComPorts(roots); });
    dlg.Start();
    ASSERT_EQ(dlg.Ports().size(), 2u);
    EXPECT_EQ(dlg.Ports()[0].m_Label, "COM3");
    EXPECT_EQ(dlg.Ports()[1].m_Label, "COM7");
    holder.Disconnect();
    dlg.Start();
    EXPECT_EQ(dlg.Ports().size(), 3u);
}

class OfflineLoadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    void TearDown() override { EXPECT_TRUE(ui.AllAnswered()); }
    std::string Save(const std::string& name, const UnitConfig& c) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(SaveConfigFile(c, path));
        return path;
    }

    TempDir dir;
    ScriptedUi ui;
    ConnectDlgLogic dlg{ui, [] { return std::vector<PortEntry>{}; }};
};

TEST_F(OfflineLoadTest, FailedOrRefusedLoadsStayInTheDialog) {
    dlg.Start();
    // No file chosen: nothing at all.
    EXPECT_EQ(dlg.OnWorkOffline(), ConnectDlgLogic::Outcome::STAY);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.fileDialogs.back(), "open jvo.cfg JVO Config Files (*.jvo.cfg)|*.jvo.cfg||");

    ui.opens.push_back(File(dir.File("absent.jvo.cfg")));
    EXPECT_EQ(dlg.OnWorkOffline(), ConnectDlgLogic::Outcome::STAY);
    EXPECT_EQ(ui.messages.back().text,
              "Could not open configuration file: " + dir.File("absent.jvo.cfg"));

    const std::string serious = Save("bad.jvo.cfg", SeriousConfig());
    ui.opens.push_back(File(serious));
    EXPECT_EQ(dlg.OnWorkOffline(), ConnectDlgLogic::Outcome::STAY);
    EXPECT_EQ(ui.messages.back().text.rfind(t::kSeriousFileHead, 0), 0u);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);

    const std::string minor = Save("minor.jvo.cfg", MinorConfig());
    ui.opens.push_back(File(minor));
    ui.Answer(t::kMinorHead, MsgResult::No);
    EXPECT_EQ(dlg.OnWorkOffline(), ConnectDlgLogic::Outcome::STAY);
    EXPECT_EQ(ui.messages.back().text,
              "The configuration file  'minor.jvo.cfg'  has not been loaded.");
    EXPECT_FALSE(dlg.m_WorkOffline);
}

TEST_F(OfflineLoadTest, MinorErrorsCorrectedOnRequestStartTheToolOffline) {
    const std::string minor = Save("minor.jvo.cfg", MinorConfig());
    ui.opens.push_back(File(minor));
    ui.Answer(t::kMinorHead, MsgResult::Yes);
    ASSERT_EQ(dlg.OnWorkOffline(), ConnectDlgLogic::Outcome::OFFLINE);
    EXPECT_TRUE(dlg.m_WorkOffline);
    UnitConfig corrected = MinorConfig();
    ConfigCheck(corrected, true, nullptr, nullptr);
    EXPECT_EQ(dlg.m_OfflineConfig, corrected);

    // Through the controller: the dialog's result is taken over.
    ScriptedUi mainUi;
    BasicDlg main(mainUi);
    main.InitDialog();
    mainUi.connectFn = [&](BasicDlg&) { return dlg.Result(ConnectDlgLogic::Outcome::OFFLINE); };
    main.OnStartupTimer();
    EXPECT_TRUE(main.Offline());
    EXPECT_EQ(main.Config(), AsExtracted(corrected));
    EXPECT_TRUE(mainUi.messages.empty());
}

}  // namespace
}  // namespace jvo::tool::test
