#include "config/ConfigDiff.h"

#include <gtest/gtest.h>

#include <random>

#include "config/Slots.h"
#include "tests/config/TestConfigs.h"

namespace jvo {
namespace {

using test::MakeValidConfig;

// A configuration is the same as itself, in whatever order its tables hold the entries and
// whatever lies beyond the counts; a file with NaN factors too.
TEST(ConfigDiff, SameConfigurationHasNoDifferences) {
    std::mt19937 rng(27);
    for (int i = 0; i < 20; ++i) {
        const UnitConfig c = test::RandomConfig(rng);
        EXPECT_TRUE(DiffConfigs(c, c).empty());
    }
    const UnitConfig a = MakeValidConfig();
    UnitConfig b = a;
    SortBreakers(b.m_Panels[0], false);
    std::swap(b.m_Panels[1].m_Subfeeds[0], b.m_Panels[1].m_Subfeeds[1]);
    b.m_Panels[0].m_Breakers[20].m_Name = "unused";
    ASSERT_FALSE(a == b);
    EXPECT_TRUE(DiffConfigs(a, b).empty());
}

TEST(ConfigDiff, EachChangeIsOneLineInPlainWords) {
    const UnitConfig a = MakeValidConfig();
    UnitConfig b = a;
    b.m_Unit.m_UnitName = "Plant 2";
    b.m_Unit.m_IScaleFactor[3] = 1.5f;
    b.m_Panels[0].m_Password1 = "secret";
    b.m_Panels[0].m_Breakers[0].m_Rating = 30;  // BR1 at slot 1
    b.m_Panels[0].m_Breakers[0].m_OcAlarm = 90;
    b.m_Panels[1].m_Breakers[1] = b.m_Panels[1].m_Breakers[2];  // BR22 gone
    b.m_Panels[1].m_BreakerCnt = 2;
    b.m_Panels[1].m_Subfeeds[2] = b.m_Panels[1].m_Subfeeds[1];  // a second auxiliary subfeed
    b.m_Panels[1].m_Subfeeds[2].m_Position = 4;
    b.m_Panels[1].m_SubfeedCnt = 3;
    b.m_Panels[0].m_MainFeed.m_Ct[5] = 57;
    b.m_Ct[12].m_Primary = 200;

    const std::vector<std::string> lines = DiffConfigs(a, b);
    const std::vector<std::string> expected = {
        "Unit: name \"Unit\" -> \"Plant 2\"; current scale factor 4 0 -> 1.5",
        "Panel A: password 1 differs",
        "Panel A, main feed: channels " + CtDisplayName(a, 0) + ", " + CtDisplayName(a, 1) + ", " +
            CtDisplayName(a, 2) + ", " + CtDisplayName(a, 3) + ", " + CtDisplayName(a, 4) +
            ", Not Connected -> " + CtDisplayName(a, 0) + ", " + CtDisplayName(a, 1) + ", " +
            CtDisplayName(a, 2) + ", " + CtDisplayName(a, 3) + ", " + CtDisplayName(a, 4) + ", " +
            CtDisplayName(a, 57),
        "Panel A, breaker at position 1 \"BR1\": rating 20 -> 30; over-current alarm 0 -> 90",
        "Panel B, breaker at position " + std::to_string(SlotToDisplay(a.m_Panels[1], 22)) +
            " \"BR22\": removed",
        "Panel B, auxiliary subfeed at position 4 \"SF-AUX\": added",
        "Channel 13 (" + CtDisplayName(b, 12) + "): primary 100 -> 200",
    };
    EXPECT_EQ(lines, expected);
    for (const std::string& line : lines)
        EXPECT_EQ(line.find("secret"), std::string::npos);
    // The other way round, what was added is removed.
    const std::vector<std::string> back = DiffConfigs(b, a);
    ASSERT_EQ(back.size(), expected.size());
    EXPECT_EQ(back[5], "Panel B, auxiliary subfeed at position 4 \"SF-AUX\": removed");
}

}  // namespace
}  // namespace jvo
