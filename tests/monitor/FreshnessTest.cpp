// How old the readings are: stale after 5 s or three cycles, whichever is longer, the cycle
// length not blown up by one cycle that waited out a lost link, and the age as the status line
// shows it.
#include <gtest/gtest.h>

#include "monitor/ReadingFreshness.h"

namespace jvo::monitor {
namespace {

TEST(ReadingFreshness, StaleAfterFiveSecondsOrThreeCyclesAndFreshOnTheNextReading) {
    ManualClock clock(1'000);
    ReadingFreshness f(clock);
    clock.Advance(60'000);
    EXPECT_FALSE(f.View().m_Stale);  // not polling yet
    f.Start();
    clock.Advance(5'000);
    EXPECT_EQ(f.View(), (FreshnessView{false, false, 5'000}));
    clock.Advance(1);
    EXPECT_EQ(f.View(), (FreshnessView{true, false, 5'001}));
    f.OnReading();
    EXPECT_EQ(f.View(), (FreshnessView{false, true, 0}));

    // Slow cycles of 4 s: each value is refreshed only once in 4 s, so 12 s is the bound.
    for (int i = 0; i < 4; ++i) {
        clock.Advance(4'000);
        f.OnReading();
        f.OnCycleDone();
    }
    EXPECT_EQ(f.StaleAfterMs(), 12'000u);
    clock.Advance(11'000);
    EXPECT_FALSE(f.View().m_Stale);
    // A cycle that waited 60 s for the link does not stretch the bound to minutes.
    clock.Advance(49'000);
    EXPECT_TRUE(f.View().m_Stale);
    f.OnReading();
    f.OnCycleDone();
    EXPECT_EQ(f.StaleAfterMs(), 12'000u);
    for (int i = 0; i < 4; ++i) {
        clock.Advance(100);
        f.OnCycleDone();
    }
    EXPECT_EQ(f.StaleAfterMs(), ReadingFreshness::kMinStaleMs);
}

TEST(ReadingFreshness, AgeTexts) {
    EXPECT_EQ(DataAgeText({true, true, 12'999}), "data 12 s old");
    EXPECT_EQ(DataAgeText({true, true, 119'000}), "data 119 s old");
    EXPECT_EQ(DataAgeText({true, true, 185'000}), "data 3 min old");
    EXPECT_EQ(DataAgeText({true, true, 7'500'000}), "data 2 h 5 min old");
    EXPECT_EQ(DataAgeText({true, false, 9'000}), "no readings yet");
}

}  // namespace
}  // namespace jvo::monitor
