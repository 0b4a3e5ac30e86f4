// What the trend window shows: round axes over the data and the alarm level, the zoom, the
// values under the cursor and the lines as CSV.
#include <gtest/gtest.h>

#include <cmath>

#include "monitor/TrendView.h"

namespace jvo {
namespace {

// Ends on whole steps, the step 1, 2 or 5 times a power of ten, and the data inside.
void ExpectRound(const AxisScale& a, double lo, double hi, int maxTicks) {
    const double mantissa = a.step / std::pow(10.0, std::floor(std::log10(a.step) + 1e-9));
    EXPECT_TRUE(std::fabs(mantissa - 1) < 1e-6 || std::fabs(mantissa - 2) < 1e-6 ||
                std::fabs(mantissa - 5) < 1e-6)
        << a.step;
    EXPECT_NEAR(std::remainder(a.lo, a.step), 0, 1e-6 * a.step);
    EXPECT_NEAR(a.lo + (a.ticks - 1) * a.step, a.hi, 1e-6 * a.step);
    EXPECT_LE(a.lo, lo + 1e-9);
    EXPECT_GE(a.hi, hi - 1e-9);
    EXPECT_LE(a.ticks, maxTicks);
    EXPECT_GE(a.ticks, 3);
}

TEST(TrendView, AxesAreRoundAndHoldTheDataAndTheAlarm) {
    for (const auto& [lo, hi] : std::vector<std::pair<double, double>>{
             {0, 0.37}, {0, 23.8}, {141.2, 207.9}, {0, 1234}, {12.04, 12.06}})
        ExpectRound(NiceScale(lo, hi), lo, hi, 7);
    EXPECT_EQ(NiceScale(0, 23.8).decimals, 0);
    EXPECT_EQ(NiceScale(12.04, 12.06).decimals, 3);
    const AxisScale t = TimeScale(1'000'123, 1'000'123 + 95'000);
    EXPECT_EQ(static_cast<int64_t>(t.lo) % static_cast<int64_t>(t.step), 0);
    EXPECT_EQ(t.step, 30'000);  // 95 s on whole 15 s would take 9 ticks: every 30 s

    // A pole at 3..5 A of a breaker that alarms at 16 A; the panel at 150..180 A.
    std::vector<TrendLine> lines{{"I1", false, {{0, 3}, {1000, 5}, {2000, 4}}},
                                 {"Panel A X", true, {{0, 150}, {1000, 180}, {2000, 160}}}};
    TrendView view;
    TrendRanges r = view.Fit(lines, 16.0, 2000);
    EXPECT_EQ(r.m_Left.lo, 0);  // 3 A is well below 16 A: from 0
    EXPECT_GE(r.m_Left.hi, 16);
    EXPECT_LE(r.m_Left.hi, 20);
    EXPECT_GE(r.m_Right.lo, 140);  // the phases stay well above 0: fitted to them
    EXPECT_GE(r.m_Right.hi, 180);
    EXPECT_LE(r.m_Right.hi, 200);
    EXPECT_GE(r.m_Time.hi - r.m_Time.lo, TrendView::kLiveSpanMs);

    // Zoomed on the last second, the left axis fits what is inside it; zoom out goes back to live
    // once it would cover the hour.
    view.ZoomTo(1500, 2500);
    r = view.Fit(lines, std::nullopt, 2000);
    EXPECT_LE(r.m_Time.lo, -3000);  // widened to 10 s around the middle
    EXPECT_GE(r.m_Time.hi, 7000);
    EXPECT_LE(r.m_Time.hi - r.m_Time.lo, 15'000);
    EXPECT_TRUE(view.Zoomed());
    for (int i = 0; i < 10 && view.Zoomed(); ++i)
        view.ZoomOut();
    EXPECT_FALSE(view.Zoomed());
}

TEST(TrendView, ReadoutAndCsv) {
    std::vector<TrendLine> lines{{"I1", false, {{1'000, 3.25f}, {2'000, 5}}},
                                 {"Panel A X", true, {{2'000, 150}, {3'000, 151.5f}}}};
    const auto at = ValuesAt(lines, 1'100, 600);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[0], 3.25f);
    EXPECT_FALSE(at[1]);  // its nearest point is 900 ms away
    EXPECT_EQ(ReadoutText(lines, ValuesAt(lines, 2'400, 600)), "I1 5.0 A   Panel A X 150 A");
    EXPECT_EQ(TrendCsv(lines),
              "time,I1 (A),Panel A X (A)\r\n"
              "1970-01-01T00:00:01Z,3.250,\r\n"
              "1970-01-01T00:00:02Z,5.000,150.000\r\n"
              "1970-01-01T00:00:03Z,,151.500\r\n");
}

}  // namespace
}  // namespace jvo
