// jvoctl record against a simulated unit on a pty pinned as COM 4: rows, flushing, a gap while
// the unit's device is gone, Ctrl-C, and appending to the same file.
#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <thread>

#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "tests/TestProcess.h"
#include "tests/config/TestConfigs.h"
#include "tests/monitor/PollTestUtil.h"
#include "tests/sim/SimClientFixture.h"

namespace jvo::test {
namespace {

constexpr int kCom = 4;

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

// Starts jvoctl with `args`, its stderr to `errPath` and the port directory `portDir`.
pid_t Spawn(std::vector<std::string> args, const std::string& errPath, const std::string& portDir) {
    return SpawnProgram(JVOCTL_PATH, std::move(args), errPath, {"JVO_PORT_DIR=" + portDir});
}

// The exit status, or -1 when it did not end within two minutes (it is killed then).
int Finish(pid_t pid) {
    int status = -1;
    WaitProgram(pid, 120000, status);
    return status;
}

// The file's whole lines; `whole` tells whether it ends with one (a file that is being written
// may not, for a moment).
std::vector<std::string> Lines(const std::string& text, bool* whole = nullptr) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t lf = text.find("\r\n"); lf != std::string::npos; lf = text.find("\r\n", start)) {
        lines.push_back(text.substr(start, lf - start));
        start = lf + 2;
    }
    if (whole) *whole = start == text.size();
    return lines;
}

// Rows per interval, by time stamp.
std::map<std::string, int> Intervals(const std::string& text) {
    std::map<std::string, int> n;
    for (const std::string& line : Lines(text))
        if (line.rfind("time,", 0) != 0) ++n[line.substr(0, line.find(','))];
    return n;
}

int64_t Seconds(const std::string& iso) {
    std::tm tm{};
    strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%SZ", &tm);
    return timegm(&tm);
}

TEST(RecordTest, RowsPerIntervalGapsAndAppending) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    UnitConfig config = sim::MakeDemoConfig();
    config.m_Panels[0].m_Breakers[0].m_Name = "RACK \"7\", ROW 2";
    ManualClock clock{10'000};
    sim::SimUnit unit(clock, config, SeededOptions(), [] { return kNoon; });
    auto port = std::make_unique<sim::SimSerialPort>(unit);
    ASSERT_TRUE(port->Start());
    ASSERT_TRUE(port->Pin(kCom, dir.File("ports")));
    // One row per main-feed phase, breaker pole and subfeed phase.
    int rowsPerInterval = 0;
    for (const PanelRecord& p : config.m_Panels) {
        rowsPerInterval += 3 + 3 * p.UsedSubfeeds();
        for (int i = 0; i < p.UsedBreakers(); ++i)
            rowsPerInterval += std::min<int>(p.m_Breakers[i].m_Poles, 3);
    }

    const std::string csv = dir.File("night.csv"), err = dir.File("err.txt");
    pid_t pid =
        Spawn({"record", "--com", "4", "-o", csv, "--interval", "1"}, err, dir.File("ports"));
    ASSERT_GT(pid, 0);
    // Every interval's rows reach the file as they are taken.
    ASSERT_TRUE(WaitUntil([&] { return Intervals(ReadText(csv)).size() >= 2; }));

    port->Stop();  // the device goes away
    const int64_t gone = std::time(nullptr);
    ASSERT_TRUE(
        WaitUntil([&] { return ReadText(err).find("does not answer") != std::string::npos; }));
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const int64_t back = std::time(nullptr);
    port = std::make_unique<sim::SimSerialPort>(unit);
    ASSERT_TRUE(port->Start());
    ASSERT_TRUE(port->Pin(kCom, dir.File("ports")));
    ASSERT_TRUE(WaitUntil([&] {
        const auto n = Intervals(ReadText(csv));
        return !n.empty() && Seconds(n.rbegin()->first) > back;
    }));
    ::kill(pid, SIGINT);
    ASSERT_EQ(Finish(pid), 0) << ReadText(err);
    EXPECT_NE(ReadText(err).find("answers again"), std::string::npos) << ReadText(err);

    // A second run appends without a second header.
    // (The duration counts from the start, connecting included: room for a slow machine.)
    pid = Spawn({"record", "--com", "4", "-o", csv, "--interval", "1", "--duration", "5"}, err,
                dir.File("ports"));
    ASSERT_EQ(Finish(pid), 0) << ReadText(err);

    const std::string text = ReadText(csv);
    bool whole = false;
    const std::vector<std::string> lines = Lines(text, &whole);
    EXPECT_TRUE(whole) << "the file does not end with a whole line";
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "time,panel,kind,number,name,pole,current_a,power_w,va,pf,kwh");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), lines[0]), 1);
    // Whole intervals only (rows of one time stamp), and none made up while the unit was away (the
    // second after the device went may still hold the last readings taken before).
    const auto intervals = Intervals(text);
    EXPECT_GE(intervals.size(), 4u);
    for (const auto& [time, rows] : intervals) {
        // Two intervals may fall in one second (the second run starts where the first ended).
        EXPECT_EQ(rows % rowsPerInterval, 0) << time;
        EXPECT_FALSE(Seconds(time) > gone + 1 && Seconds(time) < back) << time;
    }
    // Spreadsheet-safe fields: the quoted name, plain numbers with a period.
    EXPECT_NE(text.find(",breaker,1,\"RACK \"\"7\"\", ROW 2\",1,"), std::string::npos);
    const std::regex row(
        R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ,[AB],(main|breaker|subfeed),\d+,([^,"]*|"([^"]|"")*"),)"
        R"([1-3XYZ],(-?\d+\.\d{3})?,-?\d+\.\d,-?\d+\.\d,-?\d+\.\d{3},-?\d+\.\d{3})");
    for (size_t i = 1; i < lines.size(); ++i)
        ASSERT_TRUE(std::regex_match(lines[i], row)) << lines[i];
}

// On a line that loses half the replies the configuration cannot be read in 3 s: the run ends at
// the duration all the same, and a run that recorded nothing is no success.
TEST(RecordTest, TheDurationHoldsOnALossyLineAndNothingRecordedFails) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ManualClock clock{10'000};
    sim::SimUnit unit(clock, sim::MakeDemoConfig(), SeededOptions(), [] { return kNoon; });
    sim::SerialOptions lossy;
    lossy.faults.dropFraction = 0.5;
    sim::SimSerialPort port(unit, lossy);
    ASSERT_TRUE(port.Start());
    ASSERT_TRUE(port.Pin(kCom, dir.File("ports")));
    const std::string csv = dir.File("lossy.csv"), err = dir.File("err.txt");
    const auto start = std::chrono::steady_clock::now();
    const int status = Finish(
        Spawn({"record", "--com", "4", "-o", csv, "--duration", "3"}, err, dir.File("ports")));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(status == 1 || status == 4) << status << "\n" << ReadText(err);
    EXPECT_NE(ReadText(err).find("nothing was recorded"), std::string::npos) << ReadText(err);
    EXPECT_LT(took, std::chrono::seconds(15));  // 3 s and the stop; it took 40 s and more
    struct stat st {};
    EXPECT_NE(::stat(csv.c_str(), &st), 0) << "a file with only the header was left";
}

TEST(RecordTest, RefusesABadCommandLineAndAnUnwritableFile) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string err = dir.File("err.txt");
    EXPECT_EQ(Finish(Spawn({"record", "--com", "4"}, err, dir.File("ports"))), 64);
    EXPECT_EQ(Finish(Spawn({"record", "--com", "4", "-o", dir.File("a.csv"), "--interval", "0"},
                           err, dir.File("ports"))),
              64);
    EXPECT_EQ(Finish(Spawn({"record", "--com", "4", "-o", dir.File("no/such/dir.csv")}, err,
                           dir.File("ports"))),
              3);
    // Nothing pinned as COM 4: the unit cannot be reached, and no file is left that only holds
    // the header; an empty file given stays empty.
    EXPECT_EQ(
        Finish(Spawn({"record", "--com", "4", "-o", dir.File("b.csv")}, err, dir.File("ports"))),
        4);
    struct stat st {};
    EXPECT_NE(::stat(dir.File("b.csv").c_str(), &st), 0);
    std::ofstream(dir.File("empty.csv")).flush();
    EXPECT_EQ(Finish(Spawn({"record", "--com", "4", "-o", dir.File("empty.csv")}, err,
                           dir.File("ports"))),
              4);
    ASSERT_EQ(::stat(dir.File("empty.csv").c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 0);
}

}  // namespace
}  // namespace jvo::test
