// Alarms of the simulated unit through the unit client: raw bytes from the configured thresholds,
// filtered bytes that follow after the hysteresis interval, latched bytes that hold until the
// panel's alarms are cleared, and one event per declared alarm in the panel's log.
#include <gtest/gtest.h>

#include "tests/sim/SimClientFixture.h"

namespace jvo::test {
namespace {

// Panel A's breaker 1 ("RACK A2 07", 20 A, 2 poles, alarm 80 %, warning 75 %, 5 s hysteresis).
constexpr uint8_t kBreaker = 1;
const char* const kBreakerName = "RACK A2 07";

class AlarmsTest : public SimClientTest {
protected:
    BreakerReading Breaker(uint8_t p = 0, uint8_t i = kBreaker) {
        BreakerReading r;
        EXPECT_TRUE(client.GetBreakerReading(p, i, r));
        return r;
    }
    PanelReadingsReply Panel(uint8_t p = 0) {
        PanelReadingsReply r;
        EXPECT_TRUE(client.GetPanelReadings(p, r));
        return r;
    }
    std::vector<EventRecord> Since(uint8_t log, size_t skip) {
        auto all = ReadLog(log);
        return std::vector<EventRecord>(all.begin() + static_cast<long>(std::min(skip, all.size())),
                                        all.end());
    }
};

TEST_F(AlarmsTest, OverloadRaisesRawThenFilteredAfterTheHysteresisThenLatches) {
    const size_t before = ReadLog(0).size();
    ASSERT_EQ(unit.Current().m_Panels[0].m_Breakers[kBreaker].m_Name, kBreakerName);
    ASSERT_EQ(unit.SetOverload(kBreakerName, true), 1);
    Wait(1);  // the next tick sees the overload
    BreakerReading r = Breaker();
    EXPECT_GT(r.m_Load, 80.0f);
    EXPECT_EQ(r.m_OcAlarm, (FlagTriple{1, 0, 0}));
    EXPECT_EQ(r.m_OcWarning, (FlagTriple{1, 0, 0}));
    EXPECT_EQ(Panel().m_PanelFlag.raw, 1);
    EXPECT_EQ(Panel().m_PanelFlag.filtered, 0);
    Wait(4);  // 4 s of the 5 s hysteresis
    EXPECT_EQ(Breaker().m_OcAlarm, (FlagTriple{1, 0, 0}));
    EXPECT_TRUE(Since(0, before).empty());
    Wait(1);
    r = Breaker();
    EXPECT_EQ(r.m_OcAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(r.m_OcWarning, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(Panel().m_PanelFlag, (FlagTriple{1, 1, 1}));

    // One event each, naming the breaker and the current it was declared at.
    auto events = Since(0, before);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].m_Id, 4000);
    EXPECT_EQ(events[1].m_Id, 4001);
    for (const EventRecord& e : events) {
        EXPECT_EQ(e.m_Param1, kBreaker);
        EXPECT_NEAR(e.m_Param2, r.m_Unshown * 10, 1.0);  // 110 % of the 16 A alarm level
        EXPECT_NEAR(e.m_Param2, 176, 2);
        EXPECT_EQ(e.m_Time, wall.load());
    }
    Wait(30);
    EXPECT_EQ(Since(0, before).size(), 2u);  // a standing alarm is declared once

    // The overload ends: raw at once, filtered after the hysteresis, latched until cleared.
    ASSERT_EQ(unit.SetOverload(kBreakerName, false), 1);
    Wait(1);
    EXPECT_EQ(Breaker().m_OcAlarm, (FlagTriple{0, 1, 1}));
    Wait(5);
    EXPECT_EQ(Breaker().m_OcAlarm, (FlagTriple{0, 0, 1}));
    EXPECT_EQ(Panel().m_PanelFlag, (FlagTriple{0, 0, 1}));
    EXPECT_TRUE(client.ClearPanelAlarms(0));
    EXPECT_EQ(Breaker().m_OcAlarm, FlagTriple{});
    EXPECT_EQ(Breaker().m_OcWarning, FlagTriple{});
    EXPECT_EQ(Panel().m_PanelFlag, FlagTriple{});
    EXPECT_EQ(Since(0, before).size(), 2u);
}

TEST_F(AlarmsTest, AGlitchShorterThanTheHysteresisNeverReachesTheFilter) {
    const size_t before = ReadLog(0).size();
    ASSERT_EQ(unit.SetOverload(kBreakerName, true), 1);
    Wait(3);
    EXPECT_EQ(Breaker().m_OcAlarm, (FlagTriple{1, 0, 0}));
    ASSERT_EQ(unit.SetOverload(kBreakerName, false), 1);
    Wait(10);
    EXPECT_EQ(Breaker().m_OcAlarm, FlagTriple{});
    EXPECT_TRUE(Since(0, before).empty());
}

TEST_F(AlarmsTest, ClearingAStandingAlarmLatchesItAgainAtTheNextTick) {
    ASSERT_EQ(unit.SetOverload(kBreakerName, true), 1);
    Wait(6);
    ASSERT_EQ(Breaker().m_OcAlarm, (FlagTriple{1, 1, 1}));
    ASSERT_TRUE(client.ClearPanelAlarms(0));
    EXPECT_EQ(Breaker().m_OcAlarm, (FlagTriple{1, 1, 0}));
    Wait(1);
    EXPECT_EQ(Breaker().m_OcAlarm, (FlagTriple{1, 1, 1}));
    // Clearing panel B leaves panel A's latches alone.
    ASSERT_TRUE(client.ClearPanelAlarms(1));
    EXPECT_EQ(Breaker().m_OcAlarm.latched, 1);
    EXPECT_FALSE(client.ClearPanelAlarms(2));
}

TEST_F(AlarmsTest, UnknownNamesMatchNothing) {
    EXPECT_EQ(unit.SetOverload("NO SUCH BREAKER", true), 0);
    EXPECT_EQ(unit.SetOverload("", true), 0);
}

TEST_F(AlarmsTest, OverloadedSubfeedShowsEveryFeedAlarm) {
    const size_t before = ReadLog(1).size();
    // Both panels have a subfeed of this name; each gets the overload.
    ASSERT_EQ(unit.SetOverload("SUBFEED #01", true), 2);
    Wait(6);
    SubfeedReading s;
    ASSERT_TRUE(client.GetSubfeedReading(1, 0, s));
    EXPECT_EQ(s.m_OcAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(s.m_OcWarning, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(s.m_NeutralAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(s.m_GroundAlarm, (FlagTriple{1, 1, 1}));
    auto events = Since(1, before);
    std::vector<uint16_t> ids;
    for (const EventRecord& e : events) {
        ids.push_back(e.m_Id);
        EXPECT_EQ(e.m_Param1, 0);  // subfeed index
    }
    EXPECT_EQ(ids, (std::vector<uint16_t>{5000, 5001, 5002, 5003}));
    // The ground alarm names the ground current (above the 5 A setpoint).
    CtReading ground;
    ASSERT_TRUE(client.GetCtReading(
        static_cast<uint8_t>(unit.Current().m_Panels[1].m_Subfeeds[0].m_Ct[4]), ground));
    EXPECT_NEAR(events[3].m_Param2, ground.m_IRms * 10, 1.0);
    EXPECT_GT(events[3].m_Param2, 50);
}

TEST_F(AlarmsTest, OverloadedMainFeedAndPanelVoltages) {
    const size_t before = ReadLog(0).size();
    ASSERT_EQ(unit.SetOverload("MAIN A", true), 1);
    ASSERT_TRUE(unit.SetVoltageFactor(0, 1.15));  // 115 % against an alarm at 110 %
    Wait(6);
    PanelReadingsReply r = Panel();
    EXPECT_EQ(r.m_MainFeed.m_OcAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(r.m_MainFeed.m_GroundAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(r.m_OverVoltage, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(r.m_UnderVoltage, FlagTriple{});
    EXPECT_NEAR(r.m_Phase[0].m_Vll, 208 * 1.15, 5);
    std::vector<uint16_t> ids;
    for (const EventRecord& e : Since(0, before)) {
        ids.push_back(e.m_Id);
        if (e.m_Id == 3000) {
            EXPECT_NEAR(e.m_Param2 / 10.0, 208 * 1.15, 5);
        }
    }
    EXPECT_EQ(ids, (std::vector<uint16_t>{3002, 3003, 3004, 3005, 3000}));
    EXPECT_EQ(Panel(1).m_OverVoltage, FlagTriple{});  // the other panel is fine

    ASSERT_TRUE(unit.SetVoltageFactor(0, 0.85));
    Wait(6);
    r = Panel();
    EXPECT_EQ(r.m_OverVoltage, (FlagTriple{0, 0, 1}));
    EXPECT_EQ(r.m_UnderVoltage, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(Since(0, before).back().m_Id, 3001);
    EXPECT_FALSE(unit.SetVoltageFactor(2, 1.0));
}

// A configuration with the less common thresholds: an under-current alarm on the idle spare
// breaker, no hysteresis on another breaker, a low neutral setpoint on panel B's subfeed.
UnitConfig Thresholds() {
    UnitConfig c = sim::MakeDemoConfig();
    c.m_Panels[0].m_Breakers[7].m_UcAlarm = 5;  // "SPARE 37": carries nothing
    c.m_Panels[0].m_Breakers[2].m_Hysteresis = 0;
    c.m_Panels[0].m_Breakers[2].m_OcAlarm = 10;   // trips at once at its normal load
    c.m_Panels[0].m_Breakers[2].m_OcWarning = 0;  // off
    c.m_Panels[1].m_Subfeeds[0].m_NeutralAlarm = 1;
    c.m_Panels[1].m_Subfeeds[0].m_Hysteresis = 2;
    return c;
}

class ConfiguredAlarmsTest : public SimClientTest {
protected:
    ConfiguredAlarmsTest() : SimClientTest(Thresholds()) {}
};

TEST_F(ConfiguredAlarmsTest, UnderCurrentZeroHysteresisAndNeutralSetpoint) {
    // Zero hysteresis: filtered and latched with the first measurement, event at start.
    BreakerReading b;
    ASSERT_TRUE(client.GetBreakerReading(0, 2, b));
    EXPECT_EQ(b.m_OcAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(b.m_OcWarning, FlagTriple{});  // a setpoint of 0 is off
    // Under-current on the idle breaker after its 5 s.
    ASSERT_TRUE(client.GetBreakerReading(0, 7, b));
    EXPECT_EQ(b.m_UcAlarm, (FlagTriple{1, 0, 0}));
    Wait(5);
    ASSERT_TRUE(client.GetBreakerReading(0, 7, b));
    EXPECT_EQ(b.m_UcAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(b.m_OcAlarm, FlagTriple{});
    SubfeedReading s;
    ASSERT_TRUE(client.GetSubfeedReading(1, 0, s));
    EXPECT_EQ(s.m_NeutralAlarm, (FlagTriple{1, 1, 1}));
    EXPECT_EQ(s.m_OcAlarm, FlagTriple{});

    const auto a = ReadLog(0);
    EXPECT_EQ(CountId(a, 4000), 1);
    EXPECT_EQ(CountId(a, 4002), 1);
    for (const EventRecord& e : a) {
        if (e.m_Id == 4000) {
            EXPECT_EQ(e.m_Param1, 2);
        }
        if (e.m_Id == 4002) {
            EXPECT_EQ(e.m_Param1, 7);
            EXPECT_EQ(e.m_Param2, 0);  // it carries nothing
        }
    }
    EXPECT_EQ(CountId(ReadLog(1), 5002), 1);
}

}  // namespace
}  // namespace jvo::test
