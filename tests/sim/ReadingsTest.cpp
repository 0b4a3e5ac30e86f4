// The simulated readings through the unit client: values that look like a real cabinet, that
// agree with each other, that follow the seed and the time, and kWh meters that integrate power
// over the unit's time and reset.
#include <gtest/gtest.h>

#include "link/Commands.h"
#include "tests/sim/SimClientFixture.h"

namespace jvo::test {
namespace {

class ReadingsTest : public SimClientTest {};

TEST_F(ReadingsTest, PanelVoltagesSitNearTheRating) {
    for (uint8_t p = 0; p < 2; ++p) {
        PanelReadingsReply r;
        ASSERT_TRUE(client.GetPanelReadings(p, r));
        for (const PhaseVoltage& v : r.m_Phase) {
            EXPECT_NEAR(v.m_Vln, 120.1, 2.5);  // 208 V line to line
            EXPECT_NEAR(v.m_Vll, 208.0, 4.2);
            EXPECT_NEAR(v.m_Vll / v.m_Vln, std::sqrt(3.0), 0.03);
            EXPECT_GT(v.m_Thd, 0.005);
            EXPECT_LT(v.m_Thd, 0.06);
            EXPECT_NEAR(v.m_Crest, 1.41, 0.05);
        }
        EXPECT_NEAR(r.m_Unshown, 60.0, 0.1);  // line frequency
        EXPECT_EQ(r.m_OverVoltage, FlagTriple{});
        EXPECT_EQ(r.m_UnderVoltage, FlagTriple{});
        EXPECT_EQ(r.m_PanelFlag, FlagTriple{});
    }
}

TEST_F(ReadingsTest, BreakersCarryLoadsThatAgreeWithTheirCts) {
    const UnitConfig c = unit.Current();
    for (uint8_t p = 0; p < 2; ++p) {
        const PanelRecord& panel = c.m_Panels[p];
        for (uint8_t i = 0; i < panel.m_BreakerCnt; ++i) {
            const BreakerRecord& b = panel.m_Breakers[i];
            SCOPED_TRACE(b.m_Name);
            BreakerReading r;
            ASSERT_TRUE(client.GetBreakerReading(p, i, r));
            double power = 0, va = 0, maxAmps = 0;
            for (int k = 0; k < b.m_Poles; ++k) {
                CtReading ct;
                ASSERT_TRUE(client.GetCtReading(static_cast<uint8_t>(b.m_Ct[k]), ct));
                power += ct.m_Power;
                va += ct.m_Va;
                maxAmps = std::max(maxAmps, static_cast<double>(ct.m_IRms));
                if (ct.m_IRms > 0) {
                    EXPECT_GE(ct.m_Pf, 0.85);
                    EXPECT_LE(ct.m_Pf, 0.99);
                    EXPECT_NEAR(ct.m_Power, ct.m_Va * ct.m_Pf, 0.01 * ct.m_Va + 0.1);
                    EXPECT_NEAR(ct.m_Va / ct.m_IRms, 120.1, 2.5);  // V x I
                    EXPECT_GT(ct.m_ICrest, 1.41);
                    EXPECT_LT(ct.m_ICrest, 2.0);
                }
            }
            EXPECT_NEAR(r.m_Power, power, 0.001 * power + 0.5);
            EXPECT_NEAR(r.m_Va, va, 0.001 * va + 0.5);
            EXPECT_NEAR(r.m_Load, 100 * maxAmps / b.m_Rating, 0.01);
            if (b.m_Name.rfind("SPARE", 0) == 0) {
                EXPECT_EQ(r.m_Load, 0.0f);  // a spare breaker is idle
            } else {
                EXPECT_GT(r.m_Load, 10.0f);
                EXPECT_LT(r.m_Load, b.m_OcWarning);  // healthy by default
                EXPECT_GE(r.m_Pf, 0.85);
                EXPECT_LE(r.m_Pf, 0.99);
            }
            EXPECT_EQ(r.m_OcAlarm, FlagTriple{});
            EXPECT_EQ(r.m_OcWarning, FlagTriple{});
            EXPECT_EQ(r.m_UcAlarm, FlagTriple{});
        }
    }
}

TEST_F(ReadingsTest, MainFeedIsComputedFromItsOwnCts) {
    const UnitConfig c = unit.Current();
    for (uint8_t p = 0; p < 2; ++p) {
        const SubfeedRecord& main = c.m_Panels[p].m_MainFeed;
        PanelReadingsReply r;
        ASSERT_TRUE(client.GetPanelReadings(p, r));
        double power = 0, va = 0, maxAmps = 0, branchAmps = 0;
        for (int j = 0; j < 3; ++j) {
            CtReading ct;
            ASSERT_TRUE(client.GetCtReading(static_cast<uint8_t>(main.m_Ct[j]), ct));
            power += ct.m_Power;
            va += ct.m_Va;
            maxAmps = std::max(maxAmps, static_cast<double>(ct.m_IRms));
        }
        EXPECT_NEAR(r.m_MainFeed.m_Power, power, 0.001 * power);
        EXPECT_NEAR(r.m_MainFeed.m_Va, va, 0.001 * va);
        EXPECT_NEAR(r.m_MainFeed.m_Load, 100 * maxAmps / main.m_Rating, 0.01);
        EXPECT_GE(r.m_MainFeed.m_Pf, 0.85);
        EXPECT_LE(r.m_MainFeed.m_Pf, 0.99);
        // The main feed carries at least what its breakers draw.
        for (uint8_t i = 0; i < c.m_Panels[p].m_BreakerCnt; ++i) {
            BreakerReading b;
            ASSERT_TRUE(client.GetBreakerReading(p, i, b));
            branchAmps += b.m_Va / 120.0;
        }
        EXPECT_GT(3 * maxAmps, branchAmps);
        // Neutral and ground read something small, without power.
        CtReading n, g;
        ASSERT_TRUE(client.GetCtReading(static_cast<uint8_t>(main.m_Ct[3]), n));
        ASSERT_TRUE(client.GetCtReading(static_cast<uint8_t>(main.m_Ct[4]), g));
        EXPECT_GT(n.m_IRms, 0.0f);
        EXPECT_LT(n.m_IRms, maxAmps);
        EXPECT_EQ(n.m_Power, 0.0f);
        EXPECT_GT(g.m_IRms, 0.0f);
        EXPECT_LT(g.m_IRms, 1.0f);
    }
}

TEST_F(ReadingsTest, SubfeedReadingsAndRefusals) {
    SubfeedReading s;
    ASSERT_TRUE(client.GetSubfeedReading(1, 0, s));
    EXPECT_GT(s.m_Load, 10.0f);
    EXPECT_LT(s.m_Load, 70.0f);
    EXPECT_GT(s.m_Power, 0.0f);
    EXPECT_NEAR(s.m_Pf, s.m_Power / s.m_Va, 0.001);

    BreakerReading b;
    CtReading ct;
    PanelReadingsReply pr;
    EXPECT_FALSE(client.GetSubfeedReading(1, 1, s));   // beyond the subfeed count
    EXPECT_FALSE(client.GetBreakerReading(0, 14, b));  // beyond the breaker count
    EXPECT_FALSE(client.GetBreakerReading(2, 0, b));   // no panel C
    EXPECT_FALSE(client.GetCtReading(118, ct));
    EXPECT_FALSE(client.GetPanelReadings(2, pr));
    // An unused channel reads nothing.
    ASSERT_TRUE(client.GetCtReading(57, ct));
    EXPECT_EQ(ct, CtReading{});
}

TEST_F(ReadingsTest, ReadingsChangeOncePerTickAndFollowTheDay) {
    BreakerReading a, b;
    ASSERT_TRUE(client.GetBreakerReading(0, 0, a));
    ASSERT_TRUE(client.GetBreakerReading(0, 0, b));
    EXPECT_EQ(a, b);  // no tick in between
    clock.Advance(999);
    ASSERT_TRUE(client.GetBreakerReading(0, 0, b));
    EXPECT_EQ(a, b);
    clock.Advance(1);
    ASSERT_TRUE(client.GetBreakerReading(0, 0, b));
    EXPECT_NE(a.m_Load, b.m_Load);  // noise
    EXPECT_NEAR(a.m_Load, b.m_Load, 0.05 * a.m_Load);

    // Twelve hours later (midnight) the loads are clearly lower than at noon.
    double noon = 0, night = 0;
    for (uint8_t i = 0; i < 14; ++i) {
        ASSERT_TRUE(client.GetBreakerReading(1, i, b));
        noon += b.m_Load;
    }
    Wait(12 * 3600);
    for (uint8_t i = 0; i < 14; ++i) {
        ASSERT_TRUE(client.GetBreakerReading(1, i, b));
        night += b.m_Load;
    }
    EXPECT_LT(night, 0.85 * noon);
    EXPECT_GT(night, 0.6 * noon);
}

TEST(SimReadings, TheSeedDecidesAndTheSameSeedRepeats) {
    auto sample = [](uint32_t seed) {
        ManualClock clock(0);
        sim::SimUnit unit(clock, sim::MakeDemoConfig(), SeededOptions(seed), [] { return kNoon; });
        std::vector<std::vector<uint8_t>> replies;
        for (int t = 0; t < 3; ++t) {
            clock.Advance(1000);
            for (uint8_t i = 0; i < 14; ++i) {
                std::vector<uint8_t> req{CMD_GET_BREAKER_READING, 0, i}, reply;
                EXPECT_TRUE(unit.Handle(req.data(), 3, reply));
                replies.push_back(reply);
            }
        }
        return replies;
    };
    EXPECT_EQ(sample(11), sample(11));
    EXPECT_NE(sample(11), sample(12));
}

TEST(SimReadings, RepliesHaveTheirExactLengths) {
    ManualClock clock(0);
    sim::SimUnit unit(clock, sim::MakeDemoConfig());
    auto length = [&](std::vector<uint8_t> req) {
        std::vector<uint8_t> reply;
        EXPECT_TRUE(unit.Handle(req.data(), static_cast<int32_t>(req.size()), reply));
        EXPECT_FALSE(reply.empty());
        return reply.empty() || reply[0] != 'd' ? -1 : static_cast<int>(reply.size()) - 1;
    };
    EXPECT_EQ(length({CMD_GET_CT_READING, 5}), 24);
    EXPECT_EQ(length({CMD_GET_BREAKER_READING, 0, 0}), 29);
    EXPECT_EQ(length({CMD_GET_SUBFEED_READING, 0, 0}), 32);
    EXPECT_EQ(length({CMD_GET_PANEL_READINGS, 1}), 100);
    EXPECT_EQ(length({CMD_GET_PANEL_ENERGY, 0}), 4 + 2 + 14 * 4 + 2 + 1 * 4);
    EXPECT_EQ(length({CMD_RESET_ENERGY, 0}), 0);
    EXPECT_EQ(length({CMD_CLEAR_PANEL_ALARMS, 1}), 0);
    EXPECT_EQ(length({CMD_GET_PANEL_READINGS}), -1);  // argument missing
}

TEST(SimReadings, AnUninstalledPanelReadsNothingAndHasNoMeters) {
    UnitConfig c = sim::MakeDemoConfig();
    c.m_Panels[1].m_Installed = 0;
    ManualClock clock(0);
    sim::SimUnit unit(clock, c);
    clock.Advance(60'000);
    std::vector<uint8_t> req{CMD_GET_PANEL_READINGS, 1}, reply;
    ASSERT_TRUE(unit.Handle(req.data(), 2, reply));
    ASSERT_EQ(reply.size(), 101u);
    MsgBuf buf(reply.data() + 1, 100);
    PanelReadingsReply r;
    ASSERT_TRUE(DecodePanelReadings(buf, r));
    EXPECT_EQ(r, PanelReadingsReply{});
    req = {CMD_GET_CT_READING, 59};
    ASSERT_TRUE(unit.Handle(req.data(), 2, reply));
    ASSERT_EQ(reply.size(), 25u);
    MsgBuf ctBuf(reply.data() + 1, 24);
    CtReading ct;
    ASSERT_TRUE(DecodeCtReading(ctBuf, ct));
    EXPECT_EQ(ct, CtReading{});
    req = {CMD_GET_PANEL_ENERGY, 1};
    ASSERT_TRUE(unit.Handle(req.data(), 2, reply));
    MsgBuf energyBuf(reply.data() + 1, static_cast<int32_t>(reply.size()) - 1);
    PanelEnergy e;
    ASSERT_TRUE(DecodePanelEnergy(energyBuf, e));
    EXPECT_EQ(e.m_Main, 0.0f);
}

class EnergyTest : public SimClientTest {};

TEST_F(EnergyTest, KwhIntegratesPowerOverTheUnitsTime) {
    PanelEnergy before, after;
    ASSERT_TRUE(client.GetPanelEnergy(0, before));
    ASSERT_EQ(before.m_Breakers.size(), 14u);
    ASSERT_EQ(before.m_Subfeeds.size(), 1u);
    EXPECT_GT(before.m_Main, 1000.0f);  // a unit in service has metered for a while
    BreakerReading b;
    ASSERT_TRUE(client.GetBreakerReading(0, 3, b));
    PanelReadingsReply panel;
    ASSERT_TRUE(client.GetPanelReadings(0, panel));

    Wait(600);  // ten minutes of unit time, in one-second ticks
    ASSERT_TRUE(client.GetPanelEnergy(0, after));
    // About power x 1/6 h; the load drifts and jitters a little meanwhile.
    EXPECT_NEAR(after.m_Breakers[3] - before.m_Breakers[3], b.m_Power / 1000 / 6,
                0.05 * b.m_Power / 1000 / 6);
    EXPECT_NEAR(after.m_Main - before.m_Main, panel.m_MainFeed.m_Power / 1000 / 6,
                0.05 * panel.m_MainFeed.m_Power / 1000 / 6 + 0.1);  // float resolution
    EXPECT_EQ(after.m_Breakers[7], before.m_Breakers[7]);  // the spare breaker draws nothing
}

TEST_F(EnergyTest, ResetEnergyZeroesOnePanelAndLogsIt) {
    PanelEnergy a, b;
    ASSERT_TRUE(client.GetPanelEnergy(1, b));
    ASSERT_TRUE(client.ResetEnergy(0));
    ASSERT_TRUE(client.GetPanelEnergy(0, a));
    EXPECT_EQ(a.m_Main, 0.0f);
    for (float f : a.m_Breakers)
        EXPECT_EQ(f, 0.0f);
    for (float f : a.m_Subfeeds)
        EXPECT_EQ(f, 0.0f);
    PanelEnergy b2;
    ASSERT_TRUE(client.GetPanelEnergy(1, b2));
    EXPECT_EQ(b2, b);  // panel B keeps its meters

    const auto events = ReadLog(0);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().m_Id, 6001);
    EXPECT_EQ(CountId(ReadLog(1), 6001), 0);

    Wait(3600);
    ASSERT_TRUE(client.GetPanelEnergy(0, a));
    EXPECT_GT(a.m_Main, 10.0f);  // tens of kW for an hour
    EXPECT_LT(a.m_Main, 200.0f);
    EXPECT_FALSE(client.ResetEnergy(2));
}

TEST_F(EnergyTest, ALongPauseIsCaughtUpInBoundedSteps) {
    PanelEnergy a, b;
    ASSERT_TRUE(client.GetPanelEnergy(1, a));
    Wait(30 * 24 * 3600);  // a month without a single request
    ASSERT_TRUE(client.GetPanelEnergy(1, b));
    PanelReadingsReply r;
    ASSERT_TRUE(client.GetPanelReadings(1, r));
    // The average over whole days is the middle of the swing: roughly the power at noon / 1.15.
    const double expected = r.m_MainFeed.m_Power / 1.15 / 1000 * 30 * 24;
    EXPECT_NEAR(b.m_Main - a.m_Main, expected, 0.1 * expected);
}

}  // namespace
}  // namespace jvo::test
