// jvoctl readings and jvoctl events against a simulated unit on a pty pinned as COM 4 and behind
// a proxy server on a free loopback port, as a script would run them.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/Commands.h"
#include "sim/SimSerial.h"
#include "tests/TestProcess.h"
#include "tests/config/TestConfigs.h"
#include "tests/sim/SimClientFixture.h"
#include "tests/sim/SimProxyServer.h"

namespace jvo::test {
namespace {

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

// No temporary file of a save is left in `folder`.
bool NoTempFiles(const std::string& folder) {
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().rfind(".jvo-save", 0) == 0) return false;
    return true;
}

// Every line ends in CR LF, and no field opens a quote it does not close on that line: a
// spreadsheet reads one record per line.
void ExpectCsvLines(const std::string& text) {
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    size_t start = 0;
    for (size_t lf = text.find('\n'); lf != std::string::npos; lf = text.find('\n', start)) {
        ASSERT_GT(lf, start) << "bare LF at " << lf;
        EXPECT_EQ(text[lf - 1], '\r') << "line at " << start;
        const std::string line = text.substr(start, lf - start);
        EXPECT_EQ(std::count(line.begin(), line.end(), '"') % 2, 0) << line;
        start = lf + 1;
    }
}

class JvoctlMonitorTest : public ::testing::Test {
protected:
    static constexpr int kCom = 4;

    explicit JvoctlMonitorTest(sim::SimOptions options = SeededOptions())
        : unit(unitClock, sim::MakeDemoConfig(), options, [] { return kNoon; }),
          port(unit),
          proxy(unit) {}
    void SetUp() override {
        ASSERT_FALSE(dir.Path().empty());
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(port.Pin(kCom, dir.File("ports")));
        ASSERT_TRUE(proxy.Start());
        ::mkdir(dir.File("config").c_str(), 0700);
    }
    void TearDown() override { proxy.Stop(); }
    std::string Proxy() const { return proxy.Address(); }
    // Makes the runs below a service user's.
    void ServiceUser() {
        ::mkdir(dir.File("config/Tessaly Corporation").c_str(), 0700);
        std::ofstream(dir.File("config/Tessaly Corporation/JVO.conf"))
            << "[HKEY_CURRENT_USER\\SOFTWARE\\Tessaly Corporation\\JVO]\r\n"
               "\"ZQT User\"=dword:00000001\r\n";
    }

    // Runs jvoctl with this test's port directory, configuration folder and time zone.
    ProgramResult Jvoctl(std::vector<std::string> args, const std::string& tz = "UTC") {
        return RunProgram(JVOCTL_PATH, std::move(args), dir.File("stderr.txt"),
                          {"JVO_PORT_DIR=" + dir.File("ports"),
                           "XDG_CONFIG_HOME=" + dir.File("config"), "TZ=" + tz},
                          120000);
    }

    TempDir dir;
    ManualClock unitClock{10'000};
    sim::SimUnit unit;
    sim::SimSerialPort port;
    SimProxyServer proxy;
};

TEST_F(JvoctlMonitorTest, ReadingsOverComPortAndThroughProxy) {
    const std::string viaCom = dir.File("com.csv"), viaProxy = dir.File("proxy.csv");
    ProgramResult r = Jvoctl({"readings", "--com", "4", "-o", viaCom});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Jvoctl({"readings", "--proxy", Proxy(), "-o", viaProxy});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string com = ReadText(viaCom), proxy = ReadText(viaProxy);
    ExpectCsvLines(com);
    // The unit's time stood still, so both routes saw the same readings.
    EXPECT_EQ(com, proxy);
    const UnitConfig c = unit.Current();
    EXPECT_NE(com.find(c.m_Panels[1].m_Breakers[0].m_Name), std::string::npos);
    EXPECT_NE(com.find(" V, "), std::string::npos);
    EXPECT_TRUE(NoTempFiles(dir.Path()));

    // Through a symbolic link the file it points to is replaced, and a FILE.part of the user's
    // is none of the program's business.
    const std::string link = dir.File("link.csv");
    ASSERT_EQ(::symlink(viaProxy.c_str(), link.c_str()), 0);
    std::ofstream(link + ".part") << "mine";
    r = Jvoctl({"readings", "--com", "4", "-o", link});
    ASSERT_EQ(r.status, 0) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(ReadText(viaProxy), com);
    EXPECT_EQ(ReadText(link + ".part"), "mine");
    // A FIFO (or a device such as /dev/full) is refused before the unit is read, never replaced.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    r = Jvoctl({"events", "--com", "4", "-o", fifo});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("fifo is not a regular file"), std::string::npos) << r.err;
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(JvoctlMonitorTest, EventsFollowTheTimeZoneAndTheServiceUserFlag) {
    const std::string plain = dir.File("plain.csv"), service = dir.File("service.csv");
    ProgramResult r = Jvoctl({"events", "--device", port.DevicePath(), "-o", plain}, "EST5");
    ASSERT_EQ(r.status, 0) << r.err;
    ServiceUser();
    r = Jvoctl({"events", "--proxy", Proxy(), "-o", service}, "UTC");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string a = ReadText(plain), b = ReadText(service);
    ExpectCsvLines(a);
    ExpectCsvLines(b);
    EXPECT_NE(a.find("PANEL B EVENT LOG"), std::string::npos);
    EXPECT_EQ(a.find("SERVICE EVENT LOG"), std::string::npos);
    EXPECT_NE(b.find("SERVICE EVENT LOG"), std::string::npos);
    // The start-up event at noon UTC, 2023-11-15.
    EXPECT_NE(a.find("[00000], 11-15-23 07:00:00, \"JVO System Startup\"\r\n"), std::string::npos)
        << a;
    EXPECT_NE(b.find("[00000], 11-15-23 12:00:00, \"JVO System Startup\"\r\n"), std::string::npos)
        << b;
}

TEST_F(JvoctlMonitorTest, UnitThatStopsAnsweringMidCycleEndsWithFourAndNoFile) {
    sim::SerialFaults refuse;
    refuse.refuseCommand = CMD_GET_SUBFEED_READING;
    port.SetFaults(refuse);
    const std::string out = dir.File("readings.csv");
    ProgramResult r = Jvoctl({"readings", "--com", "4", "-o", out});
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_NE(r.err.find("does not answer"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(out));
    EXPECT_TRUE(NoTempFiles(dir.Path()));
}

TEST_F(JvoctlMonitorTest, ConfigurationTheUnitRefusesEndsWithOneAndNoFile) {
    sim::SerialFaults refuse;
    refuse.refuseCommand = CMD_GET_BREAKER_RECORD;
    port.SetFaults(refuse);
    const std::string out = dir.File("readings.csv");
    ProgramResult r = Jvoctl({"readings", "--com", "4", "-o", out});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Could not load configuration"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(out));
}

class JvoctlWrongSchemaTest : public JvoctlMonitorTest {
protected:
    static sim::SimOptions Three() {
        sim::SimOptions o = SeededOptions();
        o.schemaVersion = 3;
        return o;
    }
    JvoctlWrongSchemaTest() : JvoctlMonitorTest(Three()) {}
};

TEST_F(JvoctlWrongSchemaTest, WrongSchemaEndsWithOneAndNoFile) {
    const std::string out = dir.File("events.csv");
    ProgramResult r = Jvoctl({"events", "--proxy", Proxy(), "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Incorrect Schema Version: 3 (4 Required)"), std::string::npos) << r.err;
    EXPECT_FALSE(Exists(out));
}

}  // namespace
}  // namespace jvo::test
