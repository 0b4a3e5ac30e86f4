// jvoctl extract / install / reset against a simulated unit pinned as a COM port and served by a
// proxy server, as a script would run them: standard input is not a terminal and standard error
// is a log file.
#include <signal.h>

#include <gtest/gtest.h>

#include "config/ConfigCheck.h"
#include "config/ConfigFile.h"
#include "config/Slots.h"
#include "link/Commands.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"
#include "tests/TestProcess.h"
#include "tests/config/TestConfigs.h"
#include "tests/link/tcp/TcpTestUtil.h"
#include "tests/sim/SimProxyServer.h"

namespace jvo {
namespace {

using test::ProgramResult;
using test::ReadBytes;
using test::RunProgram;
using test::TempDir;

class ToolCommandsTest : public ::testing::Test {
protected:
    static constexpr int kCom = 5;

    explicit ToolCommandsTest(UnitConfig config = sim::MakeDemoConfig())
        : unit(SystemClock::Instance(), std::move(config), Fast()),
          port(unit),
          proxy(unit, 5000) {}  // the clients' time-outs decide
    static sim::SimOptions Fast() {
        sim::SimOptions o;
        o.rebootSilenceMs = 0;
        o.bootingStatusReplies = 2;
        return o;
    }
    void SetUp() override {
        ASSERT_TRUE(dir.Ok());
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(port.Pin(kCom, dir.File("ports")));
        ASSERT_TRUE(proxy.Start());
    }
    void TearDown() override { proxy.Stop(); }
    std::string Proxy() const { return proxy.Address(); }
    std::string Text(const std::string& path) const {
        const std::vector<uint8_t> b = ReadBytes(path);
        return std::string(b.begin(), b.end());
    }

    // Runs jvoctl with the port directory of this test; stdin is /dev/null, stderr captured.
    ProgramResult Jvoctl(std::vector<std::string> args) {
        return RunProgram(JVOCTL_PATH, std::move(args), dir.File("stderr.txt"),
                          {"JVO_PORT_DIR=" + dir.File("ports")}, 60000);
    }

    static UnitConfig Extracted(UnitConfig c) {
        for (PanelRecord& p : c.m_Panels) {
            for (int i = p.UsedBreakers(); i < kMaxBreakers; ++i)
                p.m_Breakers[i] = BreakerRecord();
            for (int i = p.UsedSubfeeds(); i < kMaxSubfeeds; ++i)
                p.m_Subfeeds[i] = SubfeedRecord();
            SortBreakers(p, false);
            SortSubfeeds(p, false);
        }
        return c;
    }
    // What a read of the unit gives as it is: the used entries, in the unit's order.
    static UnitConfig AsHeld(UnitConfig c) {
        for (PanelRecord& p : c.m_Panels) {
            for (int i = p.UsedBreakers(); i < kMaxBreakers; ++i)
                p.m_Breakers[i] = BreakerRecord();
            for (int i = p.UsedSubfeeds(); i < kMaxSubfeeds; ++i)
                p.m_Subfeeds[i] = SubfeedRecord();
        }
        return c;
    }

    TempDir dir;
    sim::SimUnit unit;
    sim::SimSerialPort port;
    test::SimProxyServer proxy;
};

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

template <class Fn>
bool WaitUntil(Fn&& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST_F(ToolCommandsTest, ExtractAndInstallOnEveryRoute) {
    // The serial path and the proxy server give the same file.
    const std::string serial = dir.File("serial.jvo.cfg");
    ProgramResult r = Jvoctl({"extract", "--com=5", "-o", serial, "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "Successfully saved configuration to: " + serial));
    // Standard error is a log: a line per tenth with the time elapsed.
    EXPECT_TRUE(Has(r.err, "Extracting Unit Configuration: 50% (")) << r.err;
    EXPECT_TRUE(Has(r.err, "Extracting Unit Configuration: 100% (")) << r.err;
    const std::string proxied = dir.File("proxy.jvo.cfg");
    r = Jvoctl({"extract", "--proxy", Proxy(), "-o", proxied, "--yes", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(Has(r.err, "%")) << r.err;
    EXPECT_FALSE(ReadBytes(serial).empty());
    EXPECT_EQ(ReadBytes(proxied), ReadBytes(serial));
    UnitConfig saved;
    ASSERT_TRUE(LoadConfigFile(saved, serial));
    EXPECT_EQ(saved, Extracted(unit.Current()));

    // Edit the file and install it through the proxy server.
    saved.m_Unit.m_UnitName = "INSTALLED BY SCRIPT";
    ASSERT_TRUE(SaveConfigFile(saved, serial));
    r = Jvoctl({"install", "--proxy=" + Proxy(), serial});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Extracted(unit.Current()), saved);

    // The device path works as well as the COM number.
    const std::string again = dir.File("again.jvo.cfg");
    r = Jvoctl({"extract", "--device", port.DevicePath(), "-o", again});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadBytes(again), ReadBytes(serial));
}

// A slow line: every reply comes 400 ms late, later than the default time-out of 250 ms.
TEST_F(ToolCommandsTest, SlowLineNeedsTimeout) {
    sim::SerialFaults late;
    late.lateFraction = 1;
    late.lateMs = 400;
    port.SetFaults(late);
    ProgramResult r = Jvoctl({"info", "--com", "5"});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(Has(r.err, "The unit on COM5 does not answer."));
    EXPECT_TRUE(Has(r.err, "--timeout MS")) << r.err;
    r = Jvoctl({"info", "--com", "5", "--timeout", "3000"});
    EXPECT_EQ(r.status, 0) << r.err;

    const std::string file = dir.File("slow.jvo.cfg");
    r = Jvoctl({"extract", "--com", "5", "-o", file, "--quiet"});  // Retry is answered Cancel
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(Has(r.err, "Failed to extract configuration from attached unit."));
    EXPECT_TRUE(Has(r.err, "jvoctl extract: the unit on COM5 does not answer")) << r.err;
    EXPECT_TRUE(ReadBytes(file).empty());
}

// install loads and checks its file before it opens the unit: a bad file costs no transaction.
TEST_F(ToolCommandsTest, InstallChecksItsFileFirst) {
    const uint64_t before = unit.Transactions();
    const std::string missing = dir.File("missing.jvo.cfg");
    ProgramResult r = Jvoctl({"install", "--com", "5", missing});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(Has(r.err, "Could not open configuration file: " + missing + "\n"));
    EXPECT_TRUE(Has(r.err, "jvoctl install: " + missing + " does not exist\n"));
    // Also without any unit attached: a file problem, not a unit problem.
    EXPECT_EQ(Jvoctl({"install", "--com", "6", missing}).status, 3);

    const std::string shortFile = dir.File("short.jvo.cfg");
    ASSERT_TRUE(test::WriteBytes(shortFile, {1, 2, 3}));
    r = Jvoctl({"install", "--com", "5", shortFile});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(Has(r.err, shortFile + " is 3 bytes, too short for a configuration file\n"));
    r = Jvoctl({"install", "--com", "5", dir.Path()});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(Has(r.err, dir.Path() + " is a directory\n")) << r.err;

    UnitConfig bad = Extracted(sim::MakeDemoConfig());
    bad.m_Panels[1].m_Boards[0] = 4;
    const std::string badFile = dir.File("bad.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(bad, badFile));
    r = Jvoctl({"install", "--com", "5", badFile, "--yes"});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(Has(r.err, "Panel B: Has unknown main interface board type: 4")) << r.err;
    EXPECT_TRUE(Has(r.err, "nothing was sent to the unit"));

    // extract checks its -o folder before it reads the unit.
    r = Jvoctl({"extract", "--com", "5", "-o", dir.File("nowhere/unit.jvo.cfg"), "--yes"});
    EXPECT_EQ(r.status, 3);
    EXPECT_TRUE(Has(r.err, "the folder " + dir.File("nowhere") + " does not exist")) << r.err;

    EXPECT_EQ(unit.Transactions(), before);
    EXPECT_EQ(unit.Current(), sim::MakeDemoConfig());
}

// Ctrl-C (and SIGTERM after it) while the configuration is being written: one line says so, the
// install goes on to the end, and the unit runs the whole new configuration.
TEST_F(ToolCommandsTest, InterruptsAreHeldWhileTheUnitIsChanged) {
    UnitConfig next = Extracted(sim::MakeDemoConfig());
    next.m_Unit.m_UnitName = "INSTALLED THROUGH CTRL-C";
    const std::string file = dir.File("next.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(next, file));
    sim::SerialFaults slow;  // a line slow enough to be interrupted in the middle
    slow.lateFraction = 1;
    slow.lateMs = 10;
    port.SetFaults(slow);
    const std::string err = dir.File("stderr.txt");
    const pid_t pid = test::SpawnProgram(JVOCTL_PATH, {"install", "--com", "5", file}, err,
                                         {"JVO_PORT_DIR=" + dir.File("ports")});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(WaitUntil([&] { return Has(Text(err), "Installing Unit Configuration"); }));
    ::kill(pid, SIGINT);
    ASSERT_TRUE(WaitUntil([&] { return Has(Text(err), "interrupted"); }));
    ::kill(pid, SIGTERM);
    int status = -1;
    ASSERT_TRUE(test::WaitProgram(pid, 60000, status));
    const std::string text = Text(err);
    EXPECT_EQ(status, 0) << text;
    EXPECT_TRUE(Has(text,
                    "\njvoctl install: interrupted; the install goes on until the unit runs "
                    "the new configuration, then jvoctl ends\n"))
        << text;
    EXPECT_EQ(text.find("interrupted"), text.rfind("interrupted")) << "one line only";
    EXPECT_TRUE(Has(text, "Configuration installed; the unit is running.")) << text;
    EXPECT_EQ(Extracted(unit.Current()), next);
}

TEST_F(ToolCommandsTest, ResetNeedsExplicitPermission) {
    ProgramResult r = Jvoctl({"reset", "--com", "5", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Would you like to reset the JVO"), std::string::npos);
    EXPECT_NE(r.err.find("a reset needs --allow-reset"), std::string::npos);
    EXPECT_NE(r.err.find("the unit was not reset"), std::string::npos);
    EXPECT_EQ(unit.Current(), sim::MakeDemoConfig());

    r = Jvoctl({"reset", "--com", "5", "--allow-reset"});  // no --yes: still declined
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(unit.Current(), sim::MakeDemoConfig());

    r = Jvoctl({"reset", "--proxy", Proxy(), "--yes", "--allow-reset"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(unit.Current(), sim::MakeFactoryConfig());
}

TEST_F(ToolCommandsTest, FailuresAndUsage) {
    // Units that cannot be reached: the link's message, then what to do. (COM 6 is pinned to a
    // device that is absent, so that no serial device of this machine takes its number.)
    ASSERT_EQ(::symlink(dir.File("absent").c_str(), dir.File("ports/com6").c_str()), 0);
    ProgramResult r = Jvoctl({"extract", "--com", "6", "-o", dir.File("x.jvo.cfg"), "--yes"});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(Has(r.err, "Could not open COM6"));
    EXPECT_TRUE(Has(r.err,
                    "jvoctl extract: cannot open COM6: no device is pinned or found for it "
                    "(see `jvoctl ports`)\n"))
        << r.err;
    r = Jvoctl({"reset", "--proxy", "127.0.0.1:1", "--yes", "--allow-reset"});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(Has(r.err, "Could not connect to the specified server"));
    EXPECT_TRUE(Has(r.err, "nothing listens on port 1 there")) << r.err;
    // A unit that refuses is no silent unit, and a full proxy server no lost line.
    sim::SerialFaults refuse;
    refuse.refuseCommand = CMD_GET_UNIT_RECORD;
    port.SetFaults(refuse);
    r = Jvoctl({"extract", "--com", "5", "-o", dir.File("x.jvo.cfg"), "--yes"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "jvoctl extract: the unit refused GetUnitRecord (reply code 'n')"))
        << r.err;
    port.SetFaults({});
    sim::SimUnitBackend backend(unit);
    ProxyServerOptions one;
    one.port = 0;
    one.maxClients = 1;
    ProxyServer full(backend, one);
    ASSERT_TRUE(full.Start());
    test::Fd holder = test::Connect(full.Port());
    ASSERT_TRUE(test::Eventually([&] { return full.Stats().clients == 1; }));
    const std::string address = "127.0.0.1:" + std::to_string(full.Port());
    r = Jvoctl({"info", "--proxy", address});
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(Has(
        r.err, "jvoctl info: the proxy server at " + address + " serves its maximum of 1 clients"))
        << r.err;
    full.Stop();
    // A read-only server: reads pass; a change's refusal is said as such, and the unit was
    // never changed.
    ProxyServerOptions watchOnly;
    watchOnly.port = 0;
    watchOnly.readOnly = true;
    ProxyServer reader(backend, watchOnly);
    ASSERT_TRUE(reader.Start());
    const std::string readOnly = "127.0.0.1:" + std::to_string(reader.Port());
    r = Jvoctl({"extract", "--proxy", readOnly, "-o", dir.File("read.jvo.cfg"), "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Jvoctl({"install", "--proxy", readOnly, dir.File("read.jvo.cfg")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err,
                    "jvoctl install: the proxy server refuses changes from this client\n"
                    "jvoctl install: nothing was installed"))
        << r.err;
    r = Jvoctl({"reset", "--proxy", readOnly, "--yes", "--allow-reset"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_TRUE(Has(r.err, "jvoctl reset: the unit was not reset\n")) << r.err;
    reader.Stop();
    // Usage.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"extract", "-o", dir.File("x.jvo.cfg")},
             {"extract", "--com", "5"},
             {"extract", "--com", "5", "-o", "f", "--yes", "--no"},
             {"extract", "--com", "5", "-o", "f", "--as-is", "--allow-reset"},
             {"extract", "--com", "5", "-o", "f", "--yes=1"},
             {"install", "--com", "5"},
             {"reset", "--com", "0"},
             {"reset", "--com", "33"},
             {"reset", "--com", "5", "--proxy", "."},
             {"reset", "--proxy", ""},
             {"reset", "--proxy", ".:0"},
             {"reset", "--proxy", ".:65536"},
             {"reset", "--com", "5", "--timeout", "0"},
             {"reset", "--com", "5", "--timeout=soon"},
         }) {
        r = Jvoctl(args);
        EXPECT_EQ(r.status, 64) << args.back() << "\n" << r.err;
        EXPECT_TRUE(Has(r.err, "Usage: jvoctl ")) << r.err;
    }
    EXPECT_EQ(unit.Current(), sim::MakeDemoConfig());
}

class MinorUnitCommandsTest : public ToolCommandsTest {
protected:
    static UnitConfig Minor() {
        UnitConfig c = sim::MakeDemoConfig();
        const CtRef ref = c.m_Panels[0].m_Breakers[0].m_Ct[0];
        c.m_Ct[ref].m_VoltageIndex = 2;
        return c;
    }
    MinorUnitCommandsTest() : ToolCommandsTest(Minor()) {}
};

TEST_F(MinorUnitCommandsTest, QuestionsAreDeclinedWithoutYes) {
    const std::string file = dir.File("unit.jvo.cfg");
    ProgramResult r = Jvoctl({"extract", "--com", "5", "-o", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Would you like to correct them automatically?"), std::string::npos);
    EXPECT_NE(r.err.find("  -> No (no --yes given)"), std::string::npos);
    EXPECT_NE(r.err.find("The configuration has not been extracted."), std::string::npos);
    EXPECT_TRUE(test::ReadBytes(file).empty());

    r = Jvoctl({"extract", "--com", "5", "-o", file, "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    UnitConfig saved;
    ASSERT_TRUE(LoadConfigFile(saved, file));
    EXPECT_EQ(ConfigCheck(saved, false, nullptr, nullptr), 0);
}

// A unit whose own configuration has serious errors: backed up as it is, then repaired by an
// install without a reset.
class SeriousUnitCommandsTest : public ToolCommandsTest {
protected:
    static UnitConfig Serious() {
        UnitConfig c = sim::MakeDemoConfig();
        c.m_Panels[1].m_Boards[0] = 4;  // an unknown board type
        return c;
    }
    SeriousUnitCommandsTest() : ToolCommandsTest(Serious()) {}
};

TEST_F(SeriousUnitCommandsTest, BackedUpAsItIsThenRepairedByInstall) {
    const std::string plain = dir.File("plain.jvo.cfg");
    ProgramResult r = Jvoctl({"extract", "--com", "5", "-o", plain, "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, "a reset needs --allow-reset"));
    EXPECT_TRUE(Has(r.err, "--as-is")) << r.err;
    EXPECT_TRUE(ReadBytes(plain).empty());

    // --as-is saves what the unit holds, serious errors and all, and reports the check.
    const std::string backup = dir.File("backup.jvo.cfg");
    r = Jvoctl({"extract", "--proxy", Proxy(), "-o", backup, "--as-is"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, "SERIOUS:\nPanel B: Has unknown main interface board type: 4\r\n"))
        << r.err;
    EXPECT_TRUE(Has(r.err, "as it is, without the check's corrections, to: " + backup));
    UnitConfig held;
    ASSERT_TRUE(LoadConfigFile(held, backup));
    EXPECT_EQ(held, AsHeld(unit.Current()));

    // Installing a good file over it asks first; --no declines and leaves the unit alone.
    const UnitConfig good = Extracted(sim::MakeDemoConfig());
    const std::string goodFile = dir.File("good.jvo.cfg");
    ASSERT_TRUE(SaveConfigFile(good, goodFile));
    const std::string question =
        "The unit's configuration has serious errors; install " + goodFile + " over it?";
    r = Jvoctl({"install", "--com", "5", goodFile, "--no"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.err, question)) << r.err;
    EXPECT_EQ(unit.Current(), Serious());
    r = Jvoctl({"install", "--com", "5", goodFile, "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.err, question));
    EXPECT_FALSE(Has(r.err, "reset the JVO"));

    // An extract now gives the installed file.
    const std::string after = dir.File("after.jvo.cfg");
    r = Jvoctl({"extract", "--proxy", Proxy(), "-o", after});
    ASSERT_EQ(r.status, 0) << r.err;
    UnitConfig extracted;
    ASSERT_TRUE(LoadConfigFile(extracted, after));
    EXPECT_EQ(extracted, good);
}

}  // namespace
}  // namespace jvo
