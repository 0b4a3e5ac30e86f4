// How old the readings are: stale after 5 s or three cycles, whichever is longer, the cycle
// length not blown up by one cycle that waited out a lost link, and the age texts.
#include <gtest/gtest.h>

#include "monitor/ReadingFreshness.h"

namespace jvo::monitor {
namespace {

TEST(ReadingFreshness, StaleAfterFiveSecondsOrThreeCyclesAndTheAgeTexts) {
    ManualClock clock(1'000);
    ReadingFreshness f(clock);
    EXPECT_FALSE(f.View().m_Stale);  // not polling yet
    f.Start();
    clock.Advance(5'001);
    EXPECT_EQ(f.View(), (FreshnessView{true, false, 5'001}));
    f.OnReading();
    EXPECT_EQ(f.View(), (FreshnessView{false, true, 0}));
    // Cycles of 4 s: each value is refreshed once in 4 s, so 12 s is the bound; one cycle that
    // waited 60 s for the link does not stretch it.
    for (const uint64_t ms : {4'000, 4'000, 60'000, 4'000}) {
        clock.Advance(ms);
        f.OnReading();
        f.OnCycleDone();
    }
    EXPECT_EQ(f.StaleAfterMs(), 12'000u);
    clock.Advance(12'000);
    EXPECT_FALSE(f.View().m_Stale);
    clock.Advance(1);
    EXPECT_TRUE(f.View().m_Stale);

    EXPECT_EQ(DataAgeText({true, true, 119'999}), "data 119 s old");
    EXPECT_EQ(DataAgeText({true, true, 185'000}), "data 3 min old");
    EXPECT_EQ(DataAgeText({true, true, 7'500'000}), "data 2 h 5 min old");
    EXPECT_EQ(DataAgeText({true, false, 9'000}), "no readings yet");
}

}  // namespace
}  // namespace jvo::monitor
