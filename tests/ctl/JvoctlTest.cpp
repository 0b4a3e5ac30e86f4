#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Version.h"
#include "config/ConfigCheck.h"
#include "config/ConfigDump.h"
#include "config/ConfigFile.h"
#include "tests/Spawn.h"
#include "tests/config/TestConfigs.h"

extern char** environ;

namespace jvo {
namespace {

using test::MakeValidConfig;
using test::ReadBytes;
using test::TempDir;

struct CtlRun {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

// Runs jvoctl with `args`, stdin from /dev/null, stdout to `stdoutPath` (a file in `dir` unless
// given). Gives up (and fails) after 60 s.
CtlRun RunJvoctl(const TempDir& dir, std::vector<std::string> args, std::string stdoutPath = "") {
    CtlRun r;
    const std::string outPath = dir.File("stdout.txt");
    const std::string errPath = dir.File("stderr.txt");
    if (stdoutPath.empty()) stdoutPath = outPath;
    const pid_t pid = test::Spawn(JVOCTL_PATH, std::move(args), {stdoutPath, errPath});
    EXPECT_GT(pid, 0);
    if (pid <= 0) return r;
    int wstatus = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (waitpid(pid, &wstatus, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &wstatus, 0);
            ADD_FAILURE() << "jvoctl did not finish";
            return r;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(wstatus))
        r.status = WEXITSTATUS(wstatus);
    else
        ADD_FAILURE() << "jvoctl ended by signal " << WTERMSIG(wstatus);
    r.out = stdoutPath == outPath ? ReadText(outPath) : "";
    r.err = ReadText(errPath);
    return r;
}

std::string Report(int result, const std::string& minor, const std::string& serious) {
    return "RESULT " + std::to_string(result) + "\nMINOR:\n" + minor + "SERIOUS:\n" + serious;
}

class Jvoctl : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_Dir.Ok()); }
    std::string Save(const UnitConfig& c, const std::string& name = "in.jvo.cfg") {
        const std::string path = m_Dir.File(name);
        EXPECT_TRUE(SaveConfigFile(c, path));
        return path;
    }
    CtlRun Ctl(std::vector<std::string> args) { return RunJvoctl(m_Dir, std::move(args)); }
    TempDir m_Dir;
};

TEST_F(Jvoctl, HelpAndUsageErrors) {
    CtlRun r = Ctl({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("Usage: jvoctl COMMAND"), std::string::npos);
    EXPECT_NE(r.out.find("check FILE [--fix OUT]\n"), std::string::npos);
    EXPECT_NE(r.out.find("dump FILE\n"), std::string::npos);
    r = Ctl({"check", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("--fix OUT"), std::string::npos);
    EXPECT_EQ(Ctl({"dump", "-h"}).status, 0);
    r = Ctl({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string("jvoctl (JVO service software) ") + kVersion + "\n");

    const std::string file = Save(MakeValidConfig());
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{}, "jvoctl: missing COMMAND\n"},
        {{"frob"}, "jvoctl: unknown command 'frob'\n"},
        {{"check"}, "jvoctl: missing FILE\n"},
        {{"check", file, file}, "jvoctl: too many arguments\n"},
        {{"check", file, "--fix"}, "jvoctl: option --fix needs a value\n"},
        {{"check", file, "--fix", "a", "--fix", "b"}, "jvoctl: option --fix given twice\n"},
        {{"check", file, "--bogus"}, "jvoctl: unknown option --bogus\n"},
        {{"dump"}, "jvoctl: missing FILE\n"},
        {{"dump", file, "--fix", "x"}, "jvoctl: unknown option --fix\n"},
        {{"dump", file, "--fix=x"}, "jvoctl: unknown option --fix\n"},
        {{"check", file, "--fix=a", "--fix=b"}, "jvoctl: option --fix given twice\n"},
    };
    for (const auto& [args, message] : bad) {
        r = Ctl(args);
        EXPECT_EQ(r.status, 64) << message;
        EXPECT_EQ(r.out, "") << message;
        EXPECT_EQ(r.err.substr(0, message.size()), message);
    }
}

TEST_F(Jvoctl, CleanFile) {
    const std::string file = Save(MakeValidConfig());
    const CtlRun r = Ctl({"check", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Report(0, "None.\r\n", "None.\r\n"));
    EXPECT_EQ(r.err, "");
}

// Minor findings from stages 1, 2, 3, 4 and 7 at once; --fix writes a clean configuration.
TEST_F(Jvoctl, MinorFindingsAndFix) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Layout = 5;
    c.m_Panels[0].m_Subfeeds[0].m_Ct[4] = 59 + 35;  // panel B's Module 31 from panel A
    c.m_Ct[57].m_SignalPath = 3;                    // Spare 2
    c.m_Panels[1].m_MainFeed.m_Poles = 2;
    c.m_Ct[1].m_VoltageIndex = 0;  // main feed signal 2 of panel A
    const std::string file = Save(c);
    const std::string minor =
        "Panel A: Layout is invalid (was 5 should be 0 or 1)\r\n"
        "Cross-configuration is required but not specified\r\n"
        "Panel A: CT 'Spare 2' has incorrect signal path: 3 (should be 11)\r\n"
        "Panel B: Main Feed pole count (was 2 should be 3)\r\n"
        "Panel A: Main breaker signal #2 has wrong voltage index (is 0, should be 1)\r\n";
    CtlRun r = Ctl({"check", file});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Report(2, minor, "None.\r\n"));
    EXPECT_EQ(r.err, "");

    const std::string out = m_Dir.File("fixed.jvo.cfg");
    r = Ctl({"check", file, "--fix", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, Report(2, minor, "None.\r\n"));
    EXPECT_EQ(r.err, "Successfully saved configuration to: " + out + "\n");
    UnitConfig expected = c;
    ConfigCheck(expected, true, nullptr, nullptr);
    UnitConfig fixed;
    ASSERT_TRUE(LoadConfigFile(fixed, out));
    EXPECT_EQ(fixed, expected);
    EXPECT_EQ(fixed.m_Unit.m_CrossConfig, 1);
    r = Ctl({"check", out});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, Report(0, "None.\r\n", "None.\r\n"));
    // The input is left as it was.
    UnitConfig input;
    ASSERT_TRUE(LoadConfigFile(input, file));
    EXPECT_EQ(input, c);
}

// One configuration per stage that can stop the check with serious errors.
TEST_F(Jvoctl, SeriousFindingsOfEveryStage) {
    struct Case {
        const char* what;
        void (*change)(UnitConfig&);
        int result;
        const char* minor;
        const char* serious;
    };
    const Case cases[] = {
        {"stage 3", [](UnitConfig& c) { c.m_Panels[1].m_Boards[0] = 4; }, 4, "None.\r\n",
         "Panel B: Has unknown main interface board type: 4\r\n"},
        {"stage 4", [](UnitConfig& c) { c.m_Panels[0].m_Subfeeds[0].m_Position = 0; }, 4,
         "None.\r\n", "Panel A: Subfeed 'SF-P' in Panel has invalid position (0)\r\n"},
        {"stage 5", [](UnitConfig& c) { c.m_Panels[1].m_Breakers[1].m_Position = 3; }, 4,
         "None.\r\n",
         "Panel B: Panel slot #3 has 2 breakers mapped to it\r\n"
         "Panel B: Panel slot #5 has 2 breakers mapped to it\r\n"},
        {"stage 6",
         [](UnitConfig& c) {
             c.m_Panels[0].m_Breakers[2].m_Ct[1] = 59 + 7;
             c.m_Panels[1].m_Breakers[1].m_Ct[2] = CT_NONE;
         },
         6, "Cross-configuration is required but not specified\r\n",
         "Panel B: Breaker 'BR22' pole #3 is not mapped to any CT\r\n"
         "CT 'Module 3' is used 2 times\r\n"},
        {"stage 8",
         [](UnitConfig& c) {
             c.m_Panels[0].m_Breakers[1].m_Position = 20;  // BR22 on slots 20..22
             for (int k = 0; k < 3; ++k)
                 c.m_Ct[26 + k].m_VoltageIndex = static_cast<uint16_t>((k + 1) % 3);
         },
         4, "None.\r\n", "Panel A: Breaker 'BR22' spans the left and right columns\r\n"},
    };
    for (const Case& k : cases) {
        UnitConfig c = MakeValidConfig();
        k.change(c);
        const CtlRun r = Ctl({"check", Save(c)});
        EXPECT_EQ(r.status, 2) << k.what;
        EXPECT_EQ(r.out, Report(k.result, k.minor, k.serious)) << k.what;
    }
}

TEST_F(Jvoctl, FixRefusedWhenCorrectionRevealsSeriousErrors) {
    UnitConfig c = MakeValidConfig();
    c.m_Panels[0].m_Subfeeds[1].m_Placement = 7;
    c.m_Panels[0].m_Subfeeds[1].m_Position = 30;
    const std::string file = Save(c);
    const std::string out = m_Dir.File("out.jvo.cfg");
    EXPECT_EQ(Ctl({"check", file}).status, 1);
    CtlRun r = Ctl({"check", file, "--fix", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out.substr(0, 9), "RESULT 2\n");
    EXPECT_EQ(r.err, "Serious errors remain after correction; " + out +
                         " not written:\n"
                         "Panel A: Subfeed 'SF-AUX' in Aux has invalid position (30)\r\n");
    EXPECT_TRUE(ReadBytes(out).empty());

    // An existing OUT stays as it was.
    const std::string existing = Save(MakeValidConfig(), "existing.jvo.cfg");
    const std::vector<uint8_t> before = ReadBytes(existing);
    EXPECT_EQ(Ctl({"check", file, "--fix", existing}).status, 2);
    EXPECT_EQ(ReadBytes(existing), before);
}

TEST_F(Jvoctl, FixThatCannotBeSaved) {
    const std::string file = Save(MakeValidConfig());
    const std::string blocked = m_Dir.File("dir");
    ASSERT_EQ(::mkdir(blocked.c_str(), 0700), 0);
    CtlRun r = Ctl({"check", file, "--fix", blocked});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "Failed to save configuration to: " + blocked + "\njvoctl check: " + blocked +
                         " is a directory\n");
    // A FIFO (or a device such as /dev/full) is refused, never replaced by a regular file.
    const std::string fifo = m_Dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    r = Ctl({"check", file, "--fix", fifo});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find(fifo + " is not a regular file"), std::string::npos) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(Jvoctl, FilesThatCannotBeOpenedOrLoaded) {
    const std::string missing = m_Dir.File("missing.jvo.cfg");
    CtlRun r = Ctl({"check", missing});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Could not open configuration file: " + missing + "\n" + missing +
                         " does not exist\n");

    std::vector<uint8_t> image;
    ASSERT_TRUE(EncodeConfigFile(MakeValidConfig(), image));
    const std::string fifo = m_Dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> broken = {m_Dir.Path(), fifo};
    for (size_t cut : {size_t{0}, size_t{3}, size_t{100}, image.size() - 1}) {
        const std::string path = m_Dir.File("cut" + std::to_string(cut));
        ASSERT_TRUE(test::WriteBytes(
            path, std::vector<uint8_t>(image.begin(), image.begin() + static_cast<long>(cut))));
        broken.push_back(path);
    }
    image[4] = 3;  // schema 3
    broken.push_back(m_Dir.File("schema3"));
    ASSERT_TRUE(test::WriteBytes(broken.back(), image));
    for (const std::string& path : broken) {
        for (const char* command : {"check", "dump"}) {
            r = Ctl({command, path});
            EXPECT_EQ(r.status, 3) << command << " " << path;
            EXPECT_EQ(r.out, "") << path;
            const std::string head = "Failed to load configuration from: " + path + "\n";
            EXPECT_EQ(r.err.substr(0, head.size()), head);
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        }
    }
    // The second line says why.
    auto why = [](const std::string& err) { return err.substr(err.find('\n') + 1); };
    EXPECT_EQ(why(Ctl({"dump", m_Dir.Path()}).err), m_Dir.Path() + " is a directory\n");
    const std::string cut3 = m_Dir.File("cut3");
    EXPECT_EQ(why(Ctl({"check", cut3}).err),
              cut3 + " is 3 bytes, too short for a configuration file\n");
}

TEST_F(Jvoctl, DumpPrintsTheTextDump) {
    UnitConfig c = MakeValidConfig();
    c.m_Ct[3].m_ChannelAmps = 2.5f;
    const std::string file = Save(c);
    CtlRun r = Ctl({"dump", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ConfigDump(c));
    EXPECT_NE(r.out.find("CT #  4:  100:5     7  1     2.5000A (0)\n"), std::string::npos);
    EXPECT_EQ(r.err, "");
    // A full output device is an output error.
    r = RunJvoctl(m_Dir, {"dump", file}, "/dev/full");
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(RunJvoctl(m_Dir, {"--help"}, "/dev/full").status, 74);
    EXPECT_EQ(RunJvoctl(m_Dir, {"check", file}, "/dev/full").status, 74);
}

// diff's exit status is diff(1)'s: 0 the same, 1 they differ, 3 a file problem.
TEST_F(Jvoctl, DiffTellsWhatDiffersAndExitsAsDiffDoes) {
    UnitConfig c = MakeValidConfig();
    const std::string a = Save(c, "a.jvo.cfg");
    const std::string same = Save(c, "same.jvo.cfg");
    c.m_Panels[1].m_Breakers[0].m_Name = "Lights\x1b";
    const std::string b = Save(c, "b.jvo.cfg");
    CtlRun r = Ctl({"diff", a, same});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    r = Ctl({"diff", a, b});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "Panel B, breaker at position 1 \"Lights\\x1b\": name \"BR1\" -> "
              "\"Lights\\x1b\"\n");
    r = Ctl({"diff", a, m_Dir.File("missing.jvo.cfg")});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("does not exist"), std::string::npos);
    EXPECT_EQ(Ctl({"diff", a}).status, 64);
    EXPECT_EQ(RunJvoctl(m_Dir, {"diff", a, b}, "/dev/full").status, 74);
}

// Names from a file may hold control characters: the reports show them escaped, so that a name
// cannot drive the terminal or forge a line; the files written keep them.
TEST_F(Jvoctl, ControlCharactersInNamesAreShownEscaped) {
    UnitConfig c = MakeValidConfig();
    c.m_Unit.m_UnitName = "Unit\x1b]0;owned\x07";
    c.m_Panels[0].m_PanelName = "A\x1b[2J";
    c.m_Panels[0].m_Subfeeds[0].m_Name = "SF\r\nForged: line";
    c.m_Panels[0].m_Subfeeds[0].m_Poles = 2;  // a minor finding that names the subfeed
    const std::string file = Save(c);
    // Control characters other than the report's own line ends.
    auto controls = [](const std::string& text) {
        int n = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            const auto u = static_cast<unsigned char>(text[i]);
            const bool lineEnd =
                u == '\n' || (u == '\r' && i + 1 < text.size() && text[i + 1] == '\n');
            n += (u < 0x20 || u == 0x7F) && !lineEnd;
        }
        return n;
    };
    CtlRun r = Ctl({"dump", file});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(controls(r.out), 0);
    EXPECT_EQ(r.out.find("\r\nForged"), std::string::npos);
    EXPECT_NE(r.out.find("Unit Name: Unit\\x1b]0;owned\\x07\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PanelName: A\\x1b[2J\n"), std::string::npos);
    EXPECT_NE(r.out.find("SF\\x0d\\x0aForged: line"), std::string::npos);

    const std::string out = m_Dir.File("fixed.jvo.cfg");
    r = Ctl({"check", file, "--fix", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(controls(r.out), 0);
    EXPECT_NE(r.out.find("Panel A: Subfeed 'SF\\x0d\\x0aForged: line' pole count (was 2 should be "
                         "3)\r\n"),
              std::string::npos)
        << r.out;
    UnitConfig fixed;
    ASSERT_TRUE(LoadConfigFile(fixed, out));
    EXPECT_EQ(fixed.m_Unit.m_UnitName, c.m_Unit.m_UnitName);
    EXPECT_EQ(fixed.m_Panels[0].m_Subfeeds[0].m_Name, c.m_Panels[0].m_Subfeeds[0].m_Name);
}

}  // namespace
}  // namespace jvo
