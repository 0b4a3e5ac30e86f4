// jvoctl extract / install / reset against a simulated unit pinned as a COM port, as a script
// would run them: standard input is not a terminal.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "config/ConfigCheck.h"
#include "config/ConfigFile.h"
#include "config/Slots.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"
#include "tests/config/TestConfigs.h"

extern char** environ;

namespace jvo {
namespace {

using test::ReadBytes;
using test::TempDir;

struct CtlResult {
    int status = -1;
    std::string err;
};

class ToolCommandsTest : public ::testing::Test {
protected:
    static constexpr int kCom = 5;

    explicit ToolCommandsTest(UnitConfig config = sim::MakeDemoConfig())
        : unit(SystemClock::Instance(), std::move(config), Fast()), port(unit) {}
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
    }

    // Runs jvoctl with the port directory of this test; stdin is /dev/null, stderr captured.
    CtlResult Jvoctl(std::vector<std::string> args) {
        CtlResult r;
        const std::string errPath = dir.File("stderr.txt");
        args.insert(args.begin(), JVOCTL_PATH);
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env;
        for (char** e = environ; *e; ++e)
            if (std::strncmp(*e, "JVO_PORT_DIR=", 13) != 0) env.emplace_back(*e);
        env.push_back("JVO_PORT_DIR=" + dir.File("ports"));
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t pid = -1;
        const int rc = posix_spawn(&pid, JVOCTL_PATH, &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        EXPECT_EQ(rc, 0);
        if (rc != 0) return r;
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                ADD_FAILURE() << "jvoctl did not finish";
                return r;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
        const std::vector<uint8_t> bytes = ReadBytes(errPath);
        r.err.assign(bytes.begin(), bytes.end());
        return r;
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

    TempDir dir;
    sim::SimUnit unit;
    sim::SimSerialPort port;
};

TEST_F(ToolCommandsTest, ExtractThenInstall) {
    const std::string file = dir.File("unit.jvo.cfg");
    CtlResult r = Jvoctl({"extract", "--com", "5", "-o", file, "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Successfully saved configuration to: " + file), std::string::npos);
    UnitConfig saved;
    ASSERT_TRUE(LoadConfigFile(saved, file));
    EXPECT_EQ(saved, Extracted(unit.Current()));

    // Edit the file, then install it (Connect extracts first, then the file is loaded).
    saved.m_Unit.m_UnitName = "INSTALLED BY SCRIPT";
    ASSERT_TRUE(SaveConfigFile(saved, file));
    r = Jvoctl({"install", "--com", "5", file});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(unit.Current().m_Unit.m_UnitName, "INSTALLED BY SCRIPT");
    EXPECT_EQ(Extracted(unit.Current()), saved);

    // The device path works as well as the COM number.
    r = Jvoctl({"extract", "--device", port.DevicePath(), "-o", dir.File("again.jvo.cfg")});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(ToolCommandsTest, ResetNeedsExplicitPermission) {
    CtlResult r = Jvoctl({"reset", "--com", "5", "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Would you like to reset the JVO"), std::string::npos);
    EXPECT_NE(r.err.find("a reset needs --allow-reset"), std::string::npos);
    EXPECT_NE(r.err.find("the unit was not reset"), std::string::npos);
    EXPECT_EQ(unit.Current(), sim::MakeDemoConfig());

    r = Jvoctl({"reset", "--com", "5", "--allow-reset"});  // no --yes: still declined
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(unit.Current(), sim::MakeDemoConfig());

    r = Jvoctl({"reset", "--com", "5", "--yes", "--allow-reset"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(unit.Current(), sim::MakeFactoryConfig());
}

TEST_F(ToolCommandsTest, FailuresAndUsage) {
    // A unit that cannot be reached.
    CtlResult r = Jvoctl({"extract", "--com", "6", "-o", dir.File("x.jvo.cfg"), "--yes"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Could not open COM6"), std::string::npos);
    // A file that does not load: nothing is installed.
    r = Jvoctl({"install", "--com", "5", dir.File("missing.jvo.cfg")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Could not open configuration file: " + dir.File("missing.jvo.cfg")),
              std::string::npos);
    EXPECT_EQ(unit.Current(), sim::MakeDemoConfig());
    // Usage.
    EXPECT_EQ(Jvoctl({"extract", "-o", dir.File("x.jvo.cfg")}).status, 64);
    EXPECT_EQ(Jvoctl({"extract", "--com", "5"}).status, 64);
    EXPECT_EQ(Jvoctl({"extract", "--com", "5", "-o", "f", "--yes", "--no"}).status, 64);
    EXPECT_EQ(Jvoctl({"install", "--com", "5"}).status, 64);
    EXPECT_EQ(Jvoctl({"reset", "--com", "33"}).status, 64);
    EXPECT_EQ(Jvoctl({"reset", "--proxy", "127.0.0.1"}).status, 64);
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
    CtlResult r = Jvoctl({"extract", "--com", "5", "-o", file});
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

}  // namespace
}  // namespace jvo
