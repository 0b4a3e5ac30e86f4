// The tool's workflows against the simulated unit on a pseudo-terminal: connect and extract,
// reset, install, load and save, disconnect and exit, with their messages.
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "tests/tool/ToolTestUtil.h"
#include "tool/Texts.h"

namespace jvo::tool::test {
namespace {

namespace t = jvo::tool::text;

// The used entries of two configurations are equal (entries beyond the counts may differ).
void ExpectUsedEqual(const UnitConfig& a, const UnitConfig& b) {
    EXPECT_EQ(a.m_Unit, b.m_Unit);
    EXPECT_EQ(a.m_Ct, b.m_Ct);
    for (int p = 0; p < kPanelCount; ++p) {
        PanelRecord pa = a.m_Panels[p];
        PanelRecord pb = b.m_Panels[p];
        ASSERT_EQ(pa.m_BreakerCnt, pb.m_BreakerCnt) << "panel " << p;
        ASSERT_EQ(pa.m_SubfeedCnt, pb.m_SubfeedCnt) << "panel " << p;
        for (int i = 0; i < pa.UsedBreakers(); ++i)
            EXPECT_EQ(pa.m_Breakers[i], pb.m_Breakers[i]) << "panel " << p << " breaker " << i;
        for (int i = 0; i < pa.UsedSubfeeds(); ++i)
            EXPECT_EQ(pa.m_Subfeeds[i], pb.m_Subfeeds[i]) << "panel " << p << " subfeed " << i;
        pa.m_Breakers = {};
        pb.m_Breakers = {};
        pa.m_Subfeeds = {};
        pb.m_Subfeeds = {};
        EXPECT_EQ(pa, pb) << "panel " << p;
    }
}

class WorkflowTest : public ::testing::Test {
protected:
    explicit WorkflowTest(UnitConfig config = sim::MakeDemoConfig(),
                          sim::SimOptions options = SimUnitOnPty::Fast())
        : sim(std::move(config), options) {}
    void SetUp() override {
        ASSERT_TRUE(sim.started);
        ASSERT_TRUE(dir.Ok());
        dlg.InitDialog();
    }
    void TearDown() override { EXPECT_TRUE(ui.AllAnswered()); }

    void ConnectToSim() {
        ui.connects.push_back(sim.Device());
        dlg.Connect();
    }

    SimUnitOnPty sim;
    TempDir dir;
    ScriptedUi ui;
    BasicDlg dlg{ui};
};

TEST_F(WorkflowTest, ExtractOfACleanUnitTakesItsConfigurationOver) {
    EXPECT_EQ(ui.title, t::kTitle);
    EXPECT_EQ(ui.texts[IDC_VERSION], "JVO Configuration Tool: Build 26");
    EXPECT_FALSE(ui.enabled[IDC_INSTALL]);
    ConnectToSim();
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.front().text;
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_FALSE(dlg.Offline());
    EXPECT_TRUE(dlg.Link().IsConnected());
    EXPECT_EQ(dlg.Config(), AsExtracted(sim.unit.Current()));
    EXPECT_EQ(ui.title, "JVO Config Tool [Firmware Build:412]");
    EXPECT_TRUE(dlg.DipValid());
    EXPECT_EQ(ui.texts[IDC_DIP_ADDRESS], "0 *");
    EXPECT_EQ(ui.texts[IDC_DIP_NOTE], t::kDipZero);
    EXPECT_TRUE(ui.enabled[IDC_INSTALL]);
    // The progress window: the extract caption, the bar up to the number of records.
    ASSERT_GE(ui.progress.size(), 2u);
    EXPECT_EQ(ui.progress.front(), "begin Extracting Unit Configuration");
    EXPECT_EQ(ui.progress.back(), "end");
    const UnitConfig& c = sim.unit.Current();
    const int records = 121 + c.m_Panels[0].m_BreakerCnt + c.m_Panels[0].m_SubfeedCnt +
                        c.m_Panels[1].m_BreakerCnt + c.m_Panels[1].m_SubfeedCnt;
    EXPECT_EQ(ui.positions.back(), records);
    // Shown: panel A, the panel-breaker view, the unit and panel fields.
    EXPECT_TRUE(ui.checks[IDC_PANEL_A]);
    EXPECT_FALSE(ui.checks[IDC_PANEL_B]);
    EXPECT_TRUE(ui.checks[IDC_VIEW_PANEL]);
    EXPECT_EQ(ui.controls.m_strUnitName, "CABINET 3 WEST");
    EXPECT_EQ(ui.controls.m_strPanelName, "PDU-3A");
    EXPECT_EQ(ui.controls.m_strBreakerName, t::kNoBreakerSelected);
}

TEST_F(WorkflowTest, ExtractSortsBothPanelsIntoSlotOrder) {
    UnitConfig shuffled = sim::MakeDemoConfig();
    std::swap(shuffled.m_Panels[0].m_Breakers[0], shuffled.m_Panels[0].m_Breakers[5]);
    SimUnitOnPty other(shuffled);
    ASSERT_TRUE(other.started);
    ui.connects.push_back(other.Device());
    dlg.Connect();
    ASSERT_TRUE(dlg.UnitConnected());
    PanelRecord a = dlg.Config().m_Panels[0];
    EXPECT_FALSE(SortBreakers(a, true));
    EXPECT_EQ(dlg.Config(), AsExtracted(shuffled));
}

TEST_F(WorkflowTest, PortThatCannotBeOpenedIsReported) {
    ConnectResult r;
    r.m_Kind = ConnectResult::DEVICE;
    r.m_Device = dir.File("no-such-device");
    ui.connects.push_back(r);
    dlg.Connect();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Could not open " + r.m_Device + "\n");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
    EXPECT_FALSE(dlg.UnitConnected());

    // A COM port without a device: the message names the port.
    ConnectResult com;
    com.m_Kind = ConnectResult::PORT;
    com.m_Port = 32;
    ::setenv("JVO_PORT_DIR", dir.Path().c_str(), 1);
    ui.connects.push_back(com);
    dlg.Connect();
    ::unsetenv("JVO_PORT_DIR");
    EXPECT_EQ(ui.messages.back().text, "Could not open COM32\n");
    EXPECT_EQ(ui.messages.back().buttons, MsgButtons::Ok);
}

TEST_F(WorkflowTest, FailedExtractRetriesIntoAClearedConfigurationThenSucceeds) {
    dlg.SetReplyTimeoutMs(30);
    sim.Silence(true);
    ui.Answer(t::kExtractFailed, MsgResult::Retry, [&] { sim.Silence(false); });
    ConnectToSim();
    const Shown* failed = ui.Find(t::kExtractFailed);
    ASSERT_NE(failed, nullptr);
    EXPECT_EQ(failed->buttons, MsgButtons::RetryCancel);
    EXPECT_EQ(failed->icon, MsgIcon::None);
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_EQ(dlg.Config(), AsExtracted(sim.unit.Current()));
    // Two extract attempts, each with its own progress window.
    int begins = 0;
    for (const std::string& p : ui.progress)
        begins += p == "begin Extracting Unit Configuration";
    EXPECT_EQ(begins, 2);
}

TEST_F(WorkflowTest, CancelAfterAFailedExtractDisconnectsAndStartupAsksToExit) {
    dlg.SetReplyTimeoutMs(20);
    sim.Silence(true);
    ui.connects.push_back(sim.Device());
    ui.Answer(t::kExtractFailed, MsgResult::Cancel);
    ui.Answer(t::kAskExitStartup, MsgResult::Yes);
    dlg.OnStartupTimer();
    EXPECT_FALSE(dlg.Link().IsConnected());
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_TRUE(ui.closed);
    EXPECT_EQ(ui.title, t::kTitle);
}

TEST_F(WorkflowTest, StartupLoopShowsTheConnectDialogAgainUntilConnected) {
    ui.Answer(t::kAskExitStartup, MsgResult::No);
    ui.connectFn = [&](BasicDlg&) {
        // Nothing to edit before a configuration is shown: every Edit button is disabled, and
        // the commands open no edit.
        for (int id : {IDC_UNIT_EDIT, IDC_PANEL_EDIT, IDC_BREAKER_EDIT}) {
            EXPECT_EQ(ui.enabled.count(id), 1u) << id;
            EXPECT_FALSE(ui.enabled[id]) << id;
            dlg.OnCommand(id);
            EXPECT_EQ(dlg.EditGroup(), EDIT_NONE) << id;
        }
        return ui.connectDialogs == 1 ? ConnectResult{} : sim.Device();
    };
    dlg.OnStartupTimer();
    EXPECT_EQ(ui.connectDialogs, 2);
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_TRUE(ui.enabled[IDC_UNIT_EDIT]);
    EXPECT_TRUE(ui.enabled[IDC_PANEL_EDIT]);
    EXPECT_FALSE(ui.closed);
    const Shown* ask = ui.Find(t::kAskExitStartup);
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->buttons, MsgButtons::YesNo);
    EXPECT_EQ(ask->icon, MsgIcon::None);
}

TEST_F(WorkflowTest, DecliningMinorCorrectionsLeavesTheToolNotConnected) {
    SimUnitOnPty minor(MinorConfig());
    ASSERT_TRUE(minor.started);
    ui.connects.push_back(minor.Device());
    ui.Answer(t::kMinorHead, MsgResult::No);
    dlg.Connect();
    const Shown* q = ui.Find(t::kMinorHead);
    ASSERT_NE(q, nullptr);
    EXPECT_NE(q->text.find("has wrong voltage index"), std::string::npos);
    EXPECT_EQ(q->text.substr(q->text.size() - std::string(t::kMinorTail).size()), t::kMinorTail);
    EXPECT_EQ(q->buttons, MsgButtons::YesNo);
    const Shown& last = ui.messages.back();
    EXPECT_EQ(last.text, t::kNotExtracted);
    EXPECT_EQ(last.icon, MsgIcon::Information);
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_FALSE(dlg.Link().IsConnected());
    EXPECT_EQ(dlg.Config(), UnitConfig());
}

TEST_F(WorkflowTest, AcceptedMinorCorrectionsAreTakenOverCorrected) {
    SimUnitOnPty minor(MinorConfig());
    ASSERT_TRUE(minor.started);
    ui.connects.push_back(minor.Device());
    ui.Answer(t::kMinorHead, MsgResult::Yes);
    dlg.Connect();
    ASSERT_TRUE(dlg.UnitConnected());
    UnitConfig expected = AsExtracted(MinorConfig());
    ConfigCheck(expected, true, nullptr, nullptr);
    EXPECT_EQ(dlg.Config(), expected);
    UnitConfig shown = dlg.Config();
    EXPECT_EQ(ConfigCheck(shown, false, nullptr, nullptr), 0);
}

TEST_F(WorkflowTest, SeriousErrorsThenResetThenExtractAgain) {
    SimUnitOnPty bad(SeriousConfig());
    ASSERT_TRUE(bad.started);
    ui.connects.push_back(bad.Device());
    ui.Answer("Would you like to reset the JVO", MsgResult::Yes);
    dlg.Connect();
    // Only the serious message (not the minor question), then the reset question.
    ASSERT_GE(ui.messages.size(), 2u);
    const Shown& serious = ui.messages[0];
    EXPECT_EQ(serious.text.rfind(t::kSeriousExtractHead, 0), 0u);
    EXPECT_NE(serious.text.find("is used 2 times\r\n"), std::string::npos);
    EXPECT_EQ(serious.text.substr(serious.text.size() - std::string(t::kSeriousExtractTail).size()),
              t::kSeriousExtractTail);
    EXPECT_EQ(serious.icon, MsgIcon::Stop);
    const Shown& reset = ui.messages[1];
    EXPECT_EQ(reset.text, t::kAskReset);
    EXPECT_EQ(reset.buttons, MsgButtons::YesNo);
    EXPECT_EQ(reset.icon, MsgIcon::Exclamation);
    EXPECT_EQ(reset.defaultButton, MsgResult::No);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.Count(t::kMinorHead), 0);
    // The reset unit's defaults are extracted again and taken over.
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_EQ(bad.unit.Current(), sim::MakeFactoryConfig());
    EXPECT_EQ(dlg.Config(), AsExtracted(sim::MakeFactoryConfig()));
    // Progress: extract, reset (commit, reboot), extract.
    std::vector<std::string> captions;
    for (const std::string& p : ui.progress)
        if (p.rfind("begin ", 0) == 0 || p.rfind("caption ", 0) == 0) captions.push_back(p);
    EXPECT_EQ(captions, (std::vector<std::string>{"begin Extracting Unit Configuration",
                                                  "begin Resetting Unit Configuration",
                                                  "caption Committing...", "caption Rebooting...",
                                                  "begin Extracting Unit Configuration"}));
}

TEST_F(WorkflowTest, DecliningTheResetDisconnects) {
    SimUnitOnPty bad(SeriousConfig());
    ASSERT_TRUE(bad.started);
    ui.connects.push_back(bad.Device());
    ui.Answer("Would you like to reset the JVO", MsgResult::No);
    dlg.Connect();
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_FALSE(dlg.Link().IsConnected());
    EXPECT_EQ(bad.unit.Current(), SeriousConfig());
    EXPECT_EQ(dlg.Config(), UnitConfig());
}

TEST_F(WorkflowTest, SeriousErrorsFoundOnlyByTheCorrectingRunAreNotTakenOver) {
    SimUnitOnPty hidden(HiddenSeriousConfig());
    ASSERT_TRUE(hidden.started);
    ui.connects.push_back(hidden.Device());
    ui.Answer(t::kMinorHead, MsgResult::Yes);
    ui.Answer("Would you like to reset the JVO", MsgResult::No);
    dlg.Connect();
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_NE(ui.messages[0].text.find("Layout is invalid"), std::string::npos);
    // The serious message carries the correcting run's list.
    EXPECT_EQ(ui.messages[1].text.rfind(t::kSeriousExtractHead, 0), 0u);
    EXPECT_NE(ui.messages[1].text.find("'SPANNER' spans the left and right columns"),
              std::string::npos);
    EXPECT_EQ(ui.messages[1].icon, MsgIcon::Stop);
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_EQ(dlg.Config(), UnitConfig());
}

TEST_F(WorkflowTest, VersionThatNeverAnswersLeavesTheTitle) {
    sim::SerialFaults f;
    f.refuseCommand = 80;  // GetVersion
    sim.port.SetFaults(f);
    ConnectToSim();
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_EQ(ui.title, t::kTitle);
}

TEST_F(WorkflowTest, DipSwitchAddressIsShown) {
    sim::SimOptions o = SimUnitOnPty::Fast();
    o.dipAddress = 12;
    SimUnitOnPty dip(sim::MakeDemoConfig(), o);
    ASSERT_TRUE(dip.started);
    ui.connects.push_back(dip.Device());
    dlg.Connect();
    EXPECT_TRUE(dlg.DipValid());
    EXPECT_EQ(dlg.DipAddress(), 12);
    EXPECT_EQ(ui.texts[IDC_DIP_ADDRESS], "12 *");
    EXPECT_EQ(ui.texts[IDC_DIP_NOTE], t::kDipNonZero);

    // A unit that refuses the DIP request: not available.
    dlg.Disconnect();
    EXPECT_FALSE(dlg.DipValid());
    sim::SerialFaults f;
    f.refuseCommand = 79;
    sim.port.SetFaults(f);
    ConnectToSim();
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_FALSE(dlg.DipValid());
    EXPECT_EQ(ui.texts[IDC_DIP_ADDRESS], "N/A *");
    EXPECT_EQ(ui.texts[IDC_DIP_NOTE], t::kDipUnknown);
}

TEST_F(WorkflowTest, InstallWritesCommitsAndRestarts) {
    ConnectToSim();
    ASSERT_TRUE(dlg.UnitConnected());
    ui.progress.clear();
    ui.positions.clear();
    ASSERT_TRUE(dlg.Install());
    EXPECT_TRUE(ui.messages.empty());
    std::vector<std::string> steps;
    for (const std::string& p : ui.progress)
        if (p.rfind("range ", 0) != 0) steps.push_back(p);
    EXPECT_EQ(steps,
              (std::vector<std::string>{"begin Installing Unit Configuration",
                                        "caption Committing...", "caption Rebooting...", "end"}));
    // The reboot: two "starting" replies advance the bar to 1 and 2.
    ASSERT_GE(ui.positions.size(), 2u);
    EXPECT_EQ(ui.positions[ui.positions.size() - 2], 1);
    EXPECT_EQ(ui.positions.back(), 2);
    EXPECT_EQ(sim.unit.Current(), dlg.Config());
}

// The unit's serial device hangs up (an adapter pulled) while the tool is connected: the install
// fails and says so; once the device is back under the same COM number, the next install reopens
// the port and reaches the unit, without a new start of the tool. Likewise a Retry after a failed
// extract.
TEST_F(WorkflowTest, InstallAndExtractRetryReachAUnitWhoseDeviceCameBack) {
    const std::string ports = dir.File("ports");
    ASSERT_EQ(::mkdir(ports.c_str(), 0700), 0);
    ::setenv("JVO_PORT_DIR", ports.c_str(), 1);
    ASSERT_TRUE(sim.port.Pin(1, ports));
    ConnectResult com;
    com.m_Kind = ConnectResult::PORT;
    com.m_Port = 1;
    // Pulled: the device goes, its pin stays (as a pin to a serial/by-id name does), so COM1
    // names no other device meanwhile.
    const auto pull = [&] {
        const std::string device = sim.port.DevicePath();
        sim.port.Stop();
        ASSERT_EQ(::symlink(device.c_str(), (ports + "/com1").c_str()), 0);
        for (int i = 0; i < 3000 && !dlg.Link().TransportLost(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(dlg.Link().TransportLost());
    };
    const auto putBack = [&] {
        ASSERT_TRUE(sim.port.Start());
        // The new pseudo-terminal may have the old one's name, which the pin then names already.
        ::unlink((ports + "/com1").c_str());
        ASSERT_TRUE(sim.port.Pin(1, ports));
    };

    // The first extract fails (the unit is silent); the device is pulled and put back before
    // Retry, which extracts.
    dlg.SetReplyTimeoutMs(30);
    sim.Silence(true);
    ui.Answer(t::kExtractFailed, MsgResult::Retry, [&] {
        pull();
        putBack();
        sim.Silence(false);
    });
    ui.connects.push_back(com);
    dlg.Connect();
    ASSERT_TRUE(dlg.UnitConnected());
    EXPECT_EQ(ui.Count(t::kExtractFailed), 1);

    // Pulled: the install fails and says so. Put back: the next one reaches the unit.
    dlg.SetReplyTimeoutMs(250);
    pull();
    EXPECT_FALSE(dlg.Install());
    EXPECT_EQ(ui.messages.back().text, t::kInstallFailed);
    putBack();
    ui.messages.clear();
    EXPECT_TRUE(dlg.Install());
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.back().text;
    EXPECT_EQ(sim.unit.Current(), dlg.Config());

    // A unit whose own USB device drops out while it restarts: the restart is waited out, not
    // failed at once.
    std::thread back;
    ui.onCaption = [&](const std::string& caption) {
        if (caption != t::kCaptionReboot) return;
        pull();
        back = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            putBack();
        });
    };
    EXPECT_TRUE(dlg.Install());
    if (back.joinable()) back.join();
    EXPECT_TRUE(ui.messages.empty()) << ui.messages.back().text;
    ::unsetenv("JVO_PORT_DIR");
}

class NeverRunningTest : public WorkflowTest {
protected:
    static sim::SimOptions NeverRunning() {
        sim::SimOptions o = SimUnitOnPty::Fast();
        o.bootingStatusReplies = 1000000;
        return o;
    }
    NeverRunningTest() : WorkflowTest(sim::MakeDemoConfig(), NeverRunning()) {}
};

TEST_F(NeverRunningTest, UnitThatNeverRunsAgainFailsTheInstall) {
    ConnectToSim();
    ASSERT_TRUE(dlg.UnitConnected());
    ui.progress.clear();
    ui.positions.clear();
    EXPECT_FALSE(dlg.Install());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, t::kRestartFailed);
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
    // 100 polls: the bar counts 1, 2, 3, 4, 5, 0, ... after the write's positions.
    std::vector<int> polls(ui.positions.end() - 100, ui.positions.end());
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(polls[i], (i + 1) % 6) << i;
    // Hidden before the message, ended after it.
    ASSERT_GE(ui.progress.size(), 2u);
    EXPECT_EQ(ui.progress[ui.progress.size() - 2], "hide");
    EXPECT_EQ(ui.progress.back(), "end");
    EXPECT_TRUE(dlg.Link().IsConnected());
}

TEST_F(NeverRunningTest, ResetOfAUnitThatNeverRunsAgainFails) {
    ASSERT_TRUE(dlg.OpenUnit(sim.Device()));
    ui.Answer("Would you like to reset the JVO", MsgResult::Yes);
    const int repaints = ui.repaints;
    EXPECT_FALSE(dlg.ResetToDefault());
    EXPECT_EQ(ui.messages.back().text, t::kRestartFailed);
    EXPECT_GE(ui.repaints, repaints + 2);  // before the progress window and before the message
    EXPECT_EQ(ui.progress.back(), "end");
}

TEST_F(WorkflowTest, FailedWriteAndFailedCommitAreReported) {
    ConnectToSim();
    ASSERT_TRUE(dlg.UnitConnected());
    sim::SerialFaults f;
    f.refuseCommand = 33;  // SetUnitRecord
    sim.port.SetFaults(f);
    EXPECT_FALSE(dlg.Install());
    EXPECT_EQ(ui.messages.back().text, t::kInstallFailed);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::None);
    EXPECT_EQ(ui.progress[ui.progress.size() - 2], "hide");

    f.refuseCommand = 42;  // CommitConfig
    sim.port.SetFaults(f);
    EXPECT_FALSE(dlg.Install());
    EXPECT_EQ(ui.messages.back().text, t::kCommitFailed);
    // A failed commit skips the reboot.
    EXPECT_EQ(std::count(ui.progress.begin(), ui.progress.end(), "caption Rebooting..."), 0);
}

TEST_F(WorkflowTest, LoadAFileWithMinorErrorsWhileConnectedAndInstallIt) {
    ConnectToSim();
    ASSERT_TRUE(dlg.UnitConnected());
    const std::string path = dir.File("minor.jvo.cfg");
    UnitConfig fileConfig = MinorConfig();
    fileConfig.m_Unit.m_UnitName = "FROM FILE";
    ASSERT_TRUE(SaveConfigFile(fileConfig, path));
    ui.opens.push_back(File(path));
    ui.Answer(t::kMinorHead, MsgResult::Yes);
    ASSERT_TRUE(dlg.LoadFromFile());
    EXPECT_EQ(ui.fileDialogs.back(), "open jvo.cfg JVO Config Files (*.jvo.cfg)|*.jvo.cfg||");
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_TRUE(ui.enabled[IDC_INSTALL]);
    EXPECT_FALSE(dlg.DipValid());  // the DIP information belongs to the extracted configuration
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitName, "FROM FILE");
    UnitConfig check = dlg.Config();
    EXPECT_EQ(ConfigCheck(check, false, nullptr, nullptr), 0);

    ASSERT_TRUE(dlg.Install());
    EXPECT_EQ(sim.unit.Current().m_Unit.m_UnitName, "FROM FILE");
    ExpectUsedEqual(sim.unit.Current(), dlg.Config());
}

TEST_F(WorkflowTest, SaveThenLoadRoundTripsAndReportsFailures) {
    ConnectToSim();
    const std::string path = dir.File("unit.jvo.cfg");
    ui.saves.push_back(File(path));
    ASSERT_TRUE(dlg.SaveToFile());
    EXPECT_EQ(ui.fileDialogs.back(), "save jvo.cfg JVO Config File (*.jvo.cfg)|*.jvo.cfg||");
    EXPECT_EQ(ui.messages.back().text, "Successfully saved configuration to: " + path);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::None);
    UnitConfig saved;
    ASSERT_TRUE(LoadConfigFile(saved, path));
    EXPECT_EQ(saved, dlg.Config());

    // A folder that does not exist, or a folder as the file: the file cannot be created.
    ui.saves.push_back(File(dir.File("missing/unit.jvo.cfg")));
    EXPECT_FALSE(dlg.SaveToFile());
    EXPECT_EQ(ui.messages.back().text,
              "Could not open output file: " + dir.File("missing/unit.jvo.cfg"));
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);
    ASSERT_EQ(::mkdir(dir.File("folder.jvo.cfg").c_str(), 0700), 0);
    ui.saves.push_back(File(dir.File("folder.jvo.cfg")));
    EXPECT_FALSE(dlg.SaveToFile());
    EXPECT_EQ(ui.messages.back().text, "Could not open output file: " + dir.File("folder.jvo.cfg"));

    // No file chosen: nothing happens.
    const size_t shown = ui.messages.size();
    EXPECT_FALSE(dlg.SaveToFile());
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_EQ(ui.messages.size(), shown);
}

TEST_F(WorkflowTest, LoadFailuresLeaveTheConfigurationUnchanged) {
    ConnectToSim();
    const UnitConfig before = dlg.Config();

    const std::string missing = dir.File("missing.jvo.cfg");
    ui.opens.push_back(File(missing));
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_EQ(ui.messages.back().text, "Could not open configuration file: " + missing);
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Stop);

    const std::string junk = dir.File("junk.jvo.cfg");
    ASSERT_TRUE(jvo::test::WriteBytes(junk, {1, 2, 3, 4, 5}));
    ui.opens.push_back(File(junk));
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_EQ(ui.messages.back().text, "Failed to load configuration from: " + junk);

    const std::string serious = dir.File("serious.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(SeriousConfig(), serious));
    ui.opens.push_back(File(serious));
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_EQ(ui.messages.back().text.rfind(t::kSeriousFileHead, 0), 0u);
    EXPECT_NE(ui.messages.back().text.find(
                  "\nThe configuration file  'serious.jvo.cfg'  will not been loaded.    "),
              std::string::npos);

    const std::string minor = dir.File("minor.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(MinorConfig(), minor));
    ui.opens.push_back(File(minor));
    ui.Answer(t::kMinorHead, MsgResult::No);
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_EQ(ui.messages.back().text,
              "The configuration file  'minor.jvo.cfg'  has not been loaded.");
    EXPECT_EQ(ui.messages.back().icon, MsgIcon::Information);

    const std::string hidden = dir.File("hidden.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(HiddenSeriousConfig(), hidden));
    ui.opens.push_back(File(hidden));
    ui.Answer(t::kMinorHead, MsgResult::Yes);
    EXPECT_FALSE(dlg.LoadFromFile());
    EXPECT_NE(ui.messages.back().text.find("'SPANNER' spans the left and right columns"),
              std::string::npos);
    EXPECT_NE(ui.messages.back().text.find("'hidden.jvo.cfg'  will not been loaded."),
              std::string::npos);

    EXPECT_EQ(dlg.Config(), before);
    EXPECT_TRUE(dlg.UnitConnected());
}

TEST_F(WorkflowTest, DisconnectExitAndCancelKey) {
    ConnectToSim();
    ASSERT_TRUE(dlg.UnitConnected());
    const UnitConfig config = dlg.Config();
    // Cancel key without an open edit: asked; No keeps everything.
    ui.Answer(t::kAskExit, MsgResult::No);
    dlg.OnCancelKey();
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_FALSE(ui.closed);
    // Exit button: No, then Yes closes (the link closes with the controller).
    ui.Answer(t::kAskExitWithoutSaving, MsgResult::No);
    dlg.OnCommand(IDC_EXIT);
    EXPECT_FALSE(ui.closed);
    ui.Answer(t::kAskExitWithoutSaving, MsgResult::Yes);
    dlg.OnCommand(IDC_EXIT);
    EXPECT_TRUE(ui.closed);
    ui.closed = false;
    // Cancel key, Yes: disconnects and closes.
    ui.Answer(t::kAskExit, MsgResult::Yes);
    dlg.OnCancelKey();
    EXPECT_TRUE(ui.closed);
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_FALSE(dlg.Link().IsConnected());
    EXPECT_EQ(dlg.DipAddress(), 0);
    EXPECT_EQ(dlg.Config(), config);
}

TEST_F(WorkflowTest, OfflineConnectKeepsInstallDisabled) {
    ui.connects.push_back(Offline(MinorConfig()));
    dlg.Connect();
    EXPECT_TRUE(dlg.Offline());
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_FALSE(ui.enabled[IDC_INSTALL]);
    EXPECT_EQ(ui.texts[IDC_DIP_ADDRESS], "N/A *");
    EXPECT_EQ(dlg.Config(), AsExtracted(MinorConfig()));
    const std::string path = dir.File("c.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(sim::MakeDemoConfig(), path));
    ui.opens.push_back(File(path));
    ASSERT_TRUE(dlg.LoadFromFile());
    EXPECT_FALSE(ui.enabled[IDC_INSTALL]);
    EXPECT_TRUE(dlg.Offline());
}

// The File menu: a user who worked offline connects, keeping the edits; the comparison with the
// unit lists them and installs from there; the status line confirms; disconnecting goes on
// offline with the same configuration; the unsaved mark names the file until it is saved.
TEST_F(WorkflowTest, OfflineEditsConnectCompareInstallDisconnect) {
    const std::string unitName = sim.unit.Current().m_Unit.m_UnitName;
    ConnectResult offline = Offline(sim::MakeDemoConfig());
    offline.m_FileName = "site.jvo.cfg";
    ui.connects.push_back(offline);
    dlg.Connect();
    ASSERT_TRUE(dlg.Offline());
    EXPECT_EQ(dlg.UnsavedMark(), "");
    dlg.OnCommand(IDC_UNIT_EDIT);
    ui.controls.m_strUnitName = "PLANT 2";
    ASSERT_TRUE(dlg.EndEdit(END_APPLY));
    EXPECT_EQ(dlg.UnsavedMark(), "Unsaved changes: site.jvo.cfg");
    // Without a unit there is nothing to compare with.
    EXPECT_FALSE(dlg.CompareWithUnit());
    EXPECT_EQ(ui.messages.back().text, t::kCompareNeedsUnit);

    MemoryRouteStore routes;
    dlg.SetRouteStore(&routes);
    ui.connects.push_back(sim.Device());
    ui.Answer("Keep the configuration", MsgResult::Yes);
    dlg.ConnectFromMenu();
    ASSERT_TRUE(dlg.UnitConnected());
    EXPECT_EQ(routes.routes, std::vector<Route>{Route::Device(sim.port.DevicePath())});
    EXPECT_FALSE(dlg.Offline());
    EXPECT_TRUE(ui.enabled[IDC_INSTALL]);
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitName, "PLANT 2");
    EXPECT_NE(ui.title, t::kTitle);  // the firmware build of the unit reached

    // Compared and closed: nothing is written.
    EXPECT_TRUE(dlg.CompareWithUnit());
    ASSERT_EQ(ui.differences.size(), 1u);
    EXPECT_EQ(ui.differences[0].lines,
              std::vector<std::string>{"Unit: name \"" + unitName + "\" -> \"PLANT 2\""});
    EXPECT_TRUE(ui.differences[0].offerInstall);
    EXPECT_EQ(sim.unit.Current().m_Unit.m_UnitName, unitName);
    EXPECT_EQ(ui.status, "");
    // Compared and installed from the view.
    ui.installFromComparison = true;
    EXPECT_TRUE(dlg.CompareWithUnit());
    EXPECT_EQ(sim.unit.Current(), dlg.Config());
    EXPECT_EQ(ui.status, t::kInstalledStatus);
    ui.installFromComparison = false;
    EXPECT_TRUE(dlg.CompareWithUnit());
    EXPECT_EQ(ui.differences.back().heading, t::kCompareSame);
    EXPECT_TRUE(ui.differences.back().lines.empty());

    dlg.DisconnectFromMenu();
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_FALSE(dlg.Link().IsConnected());
    EXPECT_TRUE(dlg.Offline());
    EXPECT_FALSE(ui.enabled[IDC_INSTALL]);
    EXPECT_EQ(ui.title, t::kTitle);
    EXPECT_EQ(dlg.Config().m_Unit.m_UnitName, "PLANT 2");
    EXPECT_EQ(dlg.UnsavedMark(), "Unsaved changes: site.jvo.cfg");
    ui.saves.push_back(File(dir.File("saved.jvo.cfg")));
    ASSERT_TRUE(dlg.SaveToFile());
    EXPECT_EQ(dlg.UnsavedMark(), "");

    // Connecting again and declining to keep: the unit's configuration is extracted.
    ui.connects.push_back(sim.Device());
    ui.Answer("Keep the configuration", MsgResult::No);
    dlg.ConnectFromMenu();
    EXPECT_TRUE(dlg.UnitConnected());
    EXPECT_EQ(dlg.UnsavedMark(), "");
}

// Adds and deletes breakers and subfeeds on both panels and layouts through the panel picture,
// installs the result, extracts it again with a second controller and finds every used entry
// equal.
class EditJourneyTest : public WorkflowTest {
protected:
    EditJourneyTest() : WorkflowTest(LibConfig()) {}

    // Right-clicks the slot (panel view: slot index; aux view: group) and picks `command`.
    void Menu(int panel, int view, int index, int command) {
        dlg.OnCommand(panel == 0 ? IDC_PANEL_A : IDC_PANEL_B);
        dlg.OnCommand(view == 0 ? IDC_VIEW_PANEL : IDC_VIEW_AUX);
        UserMap& map = dlg.Map();
        const Slot& slot = view == 0 ? map.PanelSlot(panel, index) : map.AuxSlot(panel, index, 0);
        const GridCell cell = MapSlot(slot);
        const MapRect r =
            map.GridRect(cell.m_Column, cell.m_Row, cell.m_Column + 1, cell.m_Row + 1);
        ui.menuAnswers.push_back(command);
        map.OnRButtonUp(r.m_Left + 1, r.m_Top + 1, 0, 0);
    }
};

TEST_F(EditJourneyTest, AddDeleteInstallExtractAgain) {
    ConnectToSim();
    ASSERT_TRUE(dlg.UnitConnected());
    // Panel A (odd/even): breakers of 1, 2 and 3 poles in both columns, a panel subfeed and an
    // auxiliary one; one breaker deleted again.
    Menu(0, 0, 0, CMD_ADD_BREAKER_THREE);
    Menu(0, 0, 21, CMD_ADD_BREAKER_TWO);
    Menu(0, 0, 4, CMD_ADD_BREAKER_ONE);
    Menu(0, 0, 30, CMD_ADD_BREAKER_ONE);
    // Groups 3, 4, 8 and 10 (candidates 0, 1, 5, 7) now hold breaker channels.
    ui.subfeedAnswers.push_back({true, 3, 1});
    Menu(0, 0, 9, CMD_ADD_SUBFEED);
    ui.subfeedAnswers.push_back({true, 6, 2});
    Menu(0, 1, 5, CMD_ADD_SUBFEED);
    ui.Answer("Are you sure you want to delete this Breaker?", MsgResult::Yes);
    Menu(0, 0, 4, CMD_DELETE_BREAKER);
    // Panel B (sequential): a breaker running from the left into the right column, subfeeds.
    Menu(1, 0, 20, CMD_ADD_BREAKER_THREE);
    Menu(1, 0, 40, CMD_ADD_BREAKER_TWO);
    ui.subfeedAnswers.push_back({true, 0, 0});
    Menu(1, 1, 0, CMD_ADD_SUBFEED);
    ui.subfeedAnswers.push_back({true, 3, 1});
    Menu(1, 1, 15, CMD_ADD_SUBFEED);
    ui.Answer("Are you sure you want to delete this Subfeed?", MsgResult::Yes);
    Menu(1, 1, 0, CMD_DELETE_BREAKER);
    EXPECT_TRUE(ui.AllAnswered());

    const UnitConfig& edited = dlg.Config();
    EXPECT_EQ(edited.m_Panels[0].m_BreakerCnt, 3);
    EXPECT_EQ(edited.m_Panels[0].m_SubfeedCnt, 2);
    EXPECT_EQ(edited.m_Panels[1].m_BreakerCnt, 2);
    EXPECT_EQ(edited.m_Panels[1].m_SubfeedCnt, 1);
    UnitConfig check = edited;
    EXPECT_EQ(ConfigCheck(check, false, nullptr, nullptr), 0);
    for (const PanelRecord& p : edited.m_Panels) {
        PanelRecord copy = p;
        EXPECT_FALSE(SortBreakers(copy, true));
        EXPECT_FALSE(SortSubfeeds(copy, true));
    }
    const std::vector<Shown> stops = [&] {
        std::vector<Shown> s;
        for (const Shown& m : ui.messages)
            if (m.icon == MsgIcon::Stop) s.push_back(m);
        return s;
    }();
    EXPECT_TRUE(stops.empty()) << stops.front().text;

    ASSERT_TRUE(dlg.Install());
    ScriptedUi ui2;
    BasicDlg again(ui2);
    again.InitDialog();
    ui2.connects.push_back(sim.Device());
    dlg.Disconnect();
    again.Connect();
    ASSERT_TRUE(again.UnitConnected());
    EXPECT_TRUE(ui2.messages.empty());
    ExpectUsedEqual(again.Config(), dlg.Config());
}

}  // namespace
}  // namespace jvo::tool::test
