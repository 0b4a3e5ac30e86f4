// The trend window's hour of currents: one frame per step, the right CT behind each series, and
// the ring that keeps only the span.
#include <gtest/gtest.h>

#include "monitor/TrendBuffer.h"

namespace jvo {
namespace {

class TrendBufferTest : public ::testing::Test {
protected:
    TrendBufferTest() {
        PanelRecord& a = config.m_Panels[0];
        a.m_BreakerCnt = 2;
        a.m_Breakers[0].m_Poles = 2;
        a.m_Breakers[0].m_Ct = {5, 6, 7};  // the third is beyond its poles
        a.m_Breakers[1].m_Poles = 1;       // no CT: "Not Connected"
        a.m_MainFeed.m_Ct = {0, 1, 2, CT_NONE, CT_NONE, CT_NONE};
        config.m_Panels[1].m_MainFeed.m_Ct = {59, 60, 61, CT_NONE, CT_NONE, CT_NONE};
    }
    // Every CT reads its number plus `base` amperes.
    bool Take(int panel, int64_t ms, float base) {
        for (int ct = 0; ct < kCtCount; ++ct)
            s.m_Ct[ct].m_IRms = base + static_cast<float>(ct);
        return trend.OnPanelReadings(panel, ms, config, s);
    }

    UnitConfig config;
    ReadingsSnapshot s;
    TrendBuffer trend{10'000, 1'000};  // 10 s kept, one frame a second
};

TEST_F(TrendBufferTest, OneFramePerStepFromTheRightCts) {
    EXPECT_TRUE(Take(0, 100'000, 0));
    EXPECT_FALSE(Take(0, 100'999, 50));  // within the step: not kept
    EXPECT_TRUE(Take(0, 101'000, 100));
    EXPECT_TRUE(Take(1, 100'500, 200));  // the other panel has its own steps
    EXPECT_EQ(trend.Frames(0), 2u);
    EXPECT_EQ(trend.Frames(1), 1u);
    EXPECT_EQ(trend.BreakerPole(0, 0, 1), (std::vector<TrendPoint>{{100'000, 6}, {101'000, 106}}));
    EXPECT_EQ(trend.PanelPhase(0, 2), (std::vector<TrendPoint>{{100'000, 2}, {101'000, 102}}));
    EXPECT_EQ(trend.PanelPhase(1, 0), (std::vector<TrendPoint>{{100'500, 259}}));
    EXPECT_TRUE(trend.BreakerPole(0, 0, 2).empty());  // beyond the breaker's poles
    EXPECT_TRUE(trend.BreakerPole(0, 1, 0).empty());  // no CT
    EXPECT_TRUE(trend.BreakerPole(0, 2, 0).empty());  // not a used breaker
    EXPECT_TRUE(trend.BreakerPole(1, 0, 0).empty());
    EXPECT_TRUE(trend.BreakerPole(0, kMaxBreakers, 0).empty());
    EXPECT_TRUE(trend.PanelPhase(2, 0).empty());
}

TEST_F(TrendBufferTest, KeepsOnlyTheSpan) {
    for (int i = 0; i < 25; ++i)
        ASSERT_TRUE(Take(0, 1'000'000 + i * 1'000, static_cast<float>(i)));
    std::vector<TrendPoint> x = trend.PanelPhase(0, 0);
    ASSERT_EQ(x.size(), 11u);
    EXPECT_EQ(x.front(), (TrendPoint{1'014'000, 14}));
    EXPECT_EQ(x.back(), (TrendPoint{1'024'000, 24}));
    // A pause longer than the span leaves only what is new.
    ASSERT_TRUE(Take(0, 1'040'000, 99));
    ASSERT_TRUE(Take(0, 1'041'500, 98));
    x = trend.PanelPhase(0, 0);
    EXPECT_EQ(x, (std::vector<TrendPoint>{{1'040'000, 99}, {1'041'500, 98}}));
    // A clock that went back starts afresh rather than drawing backwards.
    ASSERT_TRUE(Take(0, 500'000, 7));
    EXPECT_EQ(trend.PanelPhase(0, 0), (std::vector<TrendPoint>{{500'000, 7}}));
    const uint64_t before = trend.Generation();
    trend.Clear();
    EXPECT_EQ(trend.Frames(0), 0u);
    EXPECT_NE(trend.Generation(), before);
}

TEST_F(TrendBufferTest, AGapBreaksTheLinesAtTheFirstFrameAfterIt) {
    ASSERT_TRUE(Take(0, 100'000, 0));
    trend.MarkGap();
    ASSERT_TRUE(Take(0, 109'000, 1));
    ASSERT_TRUE(Take(0, 110'000, 1));
    EXPECT_EQ(trend.PanelPhase(0, 0),
              (std::vector<TrendPoint>{{100'000, 0}, {109'000, 1, true}, {110'000, 1}}));
    // Once the frame before the gap falls out of the span, the line starts unbroken.
    ASSERT_TRUE(Take(0, 111'000, 2));
    EXPECT_FALSE(trend.BreakerPole(0, 0, 0).front().m_Break);
}

}  // namespace
}  // namespace jvo
