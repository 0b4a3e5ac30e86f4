// The monitor's readings record: the writer jvoctl shares (a file per hour), and the window's
// run: fresh readings only, a whole cycle after a gap, intervals on the grid, no file left when
// nothing was written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "MonitorFixture.h"
#include "monitor/RecordControl.h"
#include "tests/config/TestConfigs.h"

namespace jvo {
namespace {

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr std::time_t kDay = 1765267200;  // 2025-12-09 08:00:00 UTC

TEST(RecordControl, FreshIntervalsOnTheGridToAFilePerHour) {
    test::TempDir dir;
    const UnitConfig config = test::FixtureConfig();
    const ReadingsSnapshot s = test::FixtureReadings();
    EXPECT_EQ(RecordFileFor("/r/rec.csv", RecordSplit::Hourly, kDay + 59 * 60),
              "/r/rec-2025-12-09T08.csv");
    EXPECT_EQ(RecordFileFor("/r.d/rec", RecordSplit::Daily, kDay), "/r.d/rec-2025-12-09");

    RecordControl rec;
    const std::string path = dir.File("rec.csv");
    EXPECT_FALSE(rec.Start({path, 0, RecordSplit::Hourly}, kDay));  // no interval
    ASSERT_TRUE(rec.Start({path, 10, RecordSplit::Hourly}, kDay + 3590));
    using T = RecordControl::Tick;
    EXPECT_EQ(rec.OnTick(0, kDay + 3590, true, 5, config, s), T::Written);
    EXPECT_EQ(rec.OnTick(9'999, kDay + 3599, true, 6, config, s), T::Nothing);  // not yet due
    // The unit stops answering: nothing; when it answers, not before a whole cycle came in.
    EXPECT_EQ(rec.OnTick(10'000, kDay + 3600, false, 6, config, s), T::Nothing);
    EXPECT_EQ(rec.OnTick(20'000, kDay + 3610, true, 7, config, s), T::Nothing);
    EXPECT_EQ(rec.OnTick(20'500, kDay + 3610, true, 9, config, s), T::Written);
    EXPECT_EQ(rec.OnTick(25'000, kDay + 3615, true, 10, config, s), T::Nothing);  // grid: 30 s
    EXPECT_EQ(rec.OnTick(30'000, kDay + 3620, true, 10, config, s), T::Written);
    EXPECT_EQ(rec.Intervals(), 3);
    rec.Stop();

    const std::string first = Read(dir.File("rec-2025-12-09T08.csv"));
    const std::string second = Read(dir.File("rec-2025-12-09T09.csv"));
    const std::string rows = RecordRows(config, s, "2025-12-09T09:00:10Z");
    EXPECT_EQ(first, kRecordHeader + RecordRows(config, s, "2025-12-09T08:59:50Z"));
    EXPECT_EQ(second, kRecordHeader + rows + RecordRows(config, s, "2025-12-09T09:00:20Z"));

    // A run that wrote nothing leaves no file; an unwritable place is refused at the start.
    ASSERT_TRUE(rec.Start({dir.File("none.csv"), 10, RecordSplit::None}, kDay));
    EXPECT_EQ(rec.OnTick(0, kDay, false, 1, config, s), T::Nothing);
    rec.Stop();
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.csv")));
    EXPECT_FALSE(rec.Start({dir.File("no/such/dir.csv"), 10, RecordSplit::None}, kDay));
    EXPECT_FALSE(rec.Running());
}

}  // namespace
}  // namespace jvo
