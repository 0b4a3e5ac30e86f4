// The line's view: the rows of the traffic window, the ring of the last transactions, and the
// rates from the link's counters.
#include <gtest/gtest.h>

#include "MonitorFixture.h"
#include "link/Commands.h"
#include "monitor/TrafficLog.h"

namespace jvo {
namespace {

TEST(TrafficLog, RowsRingAndText) {
    test::UseTimeZone("UTC");
    TrafficEntry ok;
    ok.m_TimeMs = 3'723'045;  // 01:02:03.045
    ok.m_Command = CMD_GET_PANEL_READINGS;
    ok.m_Sequence = 17;
    ok.m_RequestBytes = 2;
    ok.m_ReplyBytes = 101;
    ok.m_ReplyCode = 'd';
    ok.m_RoundTripMs = 12;
    const TrafficRow r = MakeTrafficRow(ok);
    EXPECT_EQ(r.m_Time, "01:02:03.045");
    EXPECT_EQ(r.m_Command, "GetPanelReadings (133)");
    EXPECT_EQ(r.m_Sequence + r.m_Request + r.m_Reply + r.m_Code, "172101'd'");
    EXPECT_FALSE(r.m_Failed);
    TrafficEntry silent = ok;
    silent.m_Sequence = -1;
    silent.m_ReplyCode = -1;
    silent.m_Result = LinkResult::NoReply;
    const TrafficRow s = MakeTrafficRow(silent);
    EXPECT_TRUE(s.m_Failed);
    EXPECT_EQ(s.m_Sequence + s.m_Reply + s.m_Code, "---");
    EXPECT_EQ(s.m_Status, LinkResultName(LinkResult::NoReply));
    EXPECT_NE(TrafficText({ok, silent}).find("FAILED"), std::string::npos);

    TrafficLog log;
    for (size_t i = 0; i < TrafficLog::kKept + 3; ++i) {
        ok.m_Sequence = static_cast<int>(i);
        log.OnTransaction(ok);
    }
    const std::vector<TrafficEntry> kept = log.Entries();
    ASSERT_EQ(kept.size(), TrafficLog::kKept);
    EXPECT_EQ(kept.front().m_Sequence, 3);  // the oldest went
    EXPECT_EQ(log.Generation(), TrafficLog::kKept + 3);
}

TEST(LineRates, RequestsPerSecondAndFailuresPerMinute) {
    LineRates rates;
    EXPECT_EQ(rates.Text(), "0.0 req/s, 0 failures/min");
    // 10 transactions a second for 70 s, one failure every 10 s.
    for (int64_t ms = 0; ms <= 70'000; ms += 200)
        rates.Sample(ms, static_cast<uint64_t>(ms / 100), static_cast<uint64_t>(ms / 10'000));
    EXPECT_NEAR(rates.RequestsPerSecond(), 10, 0.5);
    EXPECT_NEAR(rates.FailuresPerMinute(), 6, 1);
    // The line goes quiet: the requests' rate falls to 0 within 5 s.
    for (int64_t ms = 70'200; ms <= 76'000; ms += 200)
        rates.Sample(ms, 700, 7);
    EXPECT_EQ(rates.RequestsPerSecond(), 0);
}

}  // namespace
}  // namespace jvo
