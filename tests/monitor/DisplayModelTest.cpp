#include <gtest/gtest.h>

#include "MonitorFixture.h"
#include "monitor/DisplayModel.h"
#include "monitor/Formats.h"

namespace jvo {
namespace {

TEST(FormatCurrent, PlacesByMagnitude) {
    EXPECT_EQ(FormatCurrent(9.99999), "10.0000");  // below 10: four places, rounding up
    EXPECT_EQ(FormatCurrent(10), "10.000");
    EXPECT_EQ(FormatCurrent(99.5), "99.500");
    EXPECT_EQ(FormatCurrent(100), "100.00");
    EXPECT_EQ(FormatCurrent(1000), "1000.0");
    EXPECT_EQ(FormatCurrent(10000), "10000");
    EXPECT_EQ(FormatCurrent(-1), "-1.0000");
}

TEST(MainBreakerView, TextsOfEveryField) {
    UnitConfig c = test::FixtureConfig();
    const ReadingsSnapshot s = test::FixtureReadings();
    MainBreakerView v = MakeMainBreakerView(c, s, 0, AlarmMode::Filtered);
    EXPECT_EQ(v.m_PanelName, " Panel A");
    const PhaseRowView x{"12.5 A", "----", "12.5 %", "1.50",    "208.0 V", "120.0 V",
                         "25.0 %", "1.50", "2.5 kW", "3.0 kVA", "0.75"};
    EXPECT_EQ(v.m_Phases[0], x);
    const PhaseRowView y{"10.0 A", "----", "50.0 %", "1.25",    "16.5 V", "9.5 V",
                         "----",   "----", "0.5 kW", "1.0 kVA", "0.50"};
    EXPECT_EQ(v.m_Phases[1], y);
    const PhaseRowView z{"0.0 A", "0.0 %", "----", "----", "0.0 V", "0.0 V",
                         "----",  "----",  "----", "----", "----"};
    EXPECT_EQ(v.m_Phases[2], z);
    EXPECT_EQ(v.m_Ground, "0.5 A");  // entry 4 is not connected, entry 5 is CT 3
    EXPECT_EQ(v.m_Neutral, "1.5 A");
    EXPECT_EQ(v.m_Energy, "12.345 kWH");
    EXPECT_EQ(v.m_TotalPower, "3.0 kW");
    EXPECT_EQ(v.m_TotalVa, "4.0 kVA");
    EXPECT_EQ(v.m_TotalPf, "0.75");

    c.m_Panels[0].m_MainFeed.m_Rating = 250;
    v = MakeMainBreakerView(c, s, 0, AlarmMode::Filtered);
    EXPECT_EQ(v.m_Phases[0].m_IPct, "5.0 %");
    c.m_Panels[0].m_MainFeed.m_Ct[0] = 200;  // names no CT: shown as not connected
    const PhaseRowView x2 = MakeMainBreakerView(c, s, 0, AlarmMode::Filtered).m_Phases[0];
    EXPECT_EQ(x2.m_IRms + x2.m_IPct + x2.m_IThd + x2.m_Pf + x2.m_Vll, "0.0 A0.0 %--------208.0 V");
}

TEST(MainBreakerView, ColoursFollowTheAlarmMode) {
    const UnitConfig c = test::FixtureConfig();
    ReadingsStore store;
    PanelReadingsReply r;
    r.m_MainFeed.m_OcAlarm = {0, 0, 1};  // latched only
    r.m_MainFeed.m_OcWarning = {1, 0, 0};
    r.m_MainFeed.m_NeutralAlarm = {0, 1, 0};
    r.m_MainFeed.m_GroundAlarm = {1, 1, 1};
    r.m_UnderVoltage = {0, 0, 1};
    r.m_PanelFlag = {1, 0, 0};
    store.SetPanelReadings(0, r);
    const ReadingsSnapshot s = store.Snapshot();

    struct Case {
        AlarmMode mode;
        ColourRole current, voltage, neutral;
    } cases[] = {
        {AlarmMode::Raw, ColourRole::Warning, ColourRole::Normal, ColourRole::Normal},
        {AlarmMode::Filtered, ColourRole::Normal, ColourRole::Normal, ColourRole::Alarm},
        {AlarmMode::Latched, ColourRole::Alarm, ColourRole::Alarm, ColourRole::Normal},
    };
    for (const Case& k : cases) {
        const MainBreakerView v = MakeMainBreakerView(c, s, 0, k.mode);
        for (const PhaseRowView& ph : v.m_Phases) {
            EXPECT_EQ(ph.m_IRmsColour, k.current) << static_cast<int>(k.mode);
            EXPECT_EQ(ph.m_VllColour, k.voltage) << static_cast<int>(k.mode);
        }
        EXPECT_EQ(v.m_NeutralColour, k.neutral) << static_cast<int>(k.mode);
        EXPECT_EQ(v.m_GroundColour, ColourRole::Alarm);
        EXPECT_EQ(v.m_PanelNameColour, ColourRole::Alarm);  // the raw byte, whatever the mode
    }
    EXPECT_EQ(MakeMainBreakerView(c, s, 1, AlarmMode::Raw).m_PanelNameColour, ColourRole::Plain);
}

TEST(ListRows, TextsAndIcons) {
    const UnitConfig c = test::FixtureConfig();
    ReadingsSnapshot s = test::FixtureReadings();
    std::vector<BreakerRowView> rows = MakeBreakerRows(c, s, 0, AlarmMode::Filtered);
    ASSERT_EQ(rows.size(), 2u);
    const BreakerRowView lights{"Lights", " 2-Pole 20 A", "50.0 %", {"10.0000", "100.00", "---"},
                                "1200 W", "1300 VA",      "0.90",   "1.500",
                                ICON_LOAD};
    EXPECT_EQ(rows[0], lights);
    EXPECT_EQ(rows[1].m_I, (std::array<std::string, 3>{"1234.5", "---", "---"}));
    EXPECT_EQ(rows[1].m_Icon, ICON_IDLE);  // 0.04 % is still idle for a breaker

    const std::vector<SubfeedRowView> subs = MakeSubfeedRows(c, s, 0, AlarmMode::Filtered);
    ASSERT_EQ(subs.size(), 1u);
    const SubfeedRowView sub{
        "Sub, East", "100 A",   "25.0 %", {"0.5000", "0.0000", "0.0000", "0.0000", "1.5000"},
        "2500 W",    "2600 VA", "0.96",   "100.250",
        ICON_LOAD};
    EXPECT_EQ(subs[0], sub);
    EXPECT_TRUE(MakeBreakerRows(c, s, 1, AlarmMode::Raw).empty());

    SubfeedReading light;
    light.m_Load = 0.01f;
    EXPECT_EQ(SubfeedIcon(light, AlarmMode::Raw), ICON_LOAD);  // any load above 0 for a subfeed
    light.m_Load = 0;
    EXPECT_EQ(SubfeedIcon(light, AlarmMode::Raw), ICON_IDLE);
    light.m_OcWarning = {1, 1, 1};
    EXPECT_EQ(SubfeedIcon(light, AlarmMode::Latched), ICON_WARNING);
    light.m_GroundAlarm = {0, 0, 1};
    EXPECT_EQ(SubfeedIcon(light, AlarmMode::Raw), ICON_WARNING);
    EXPECT_EQ(SubfeedIcon(light, AlarmMode::Latched), ICON_ALARM);

    BreakerReading b;
    b.m_Load = 80;
    b.m_OcWarning = {1, 0, 0};
    b.m_UcAlarm = {0, 0, 1};
    EXPECT_EQ(BreakerIcon(b, AlarmMode::Raw), ICON_WARNING);
    EXPECT_EQ(BreakerIcon(b, AlarmMode::Filtered), ICON_LOAD);
    EXPECT_EQ(BreakerIcon(b, AlarmMode::Latched), ICON_ALARM);

    // Rows beyond the store give empty views instead of reading past it.
    EXPECT_EQ(MakeBreakerRow(c, s, 0, 42, AlarmMode::Raw), BreakerRowView());
    EXPECT_EQ(MakeSubfeedRow(c, s, 2, 0, AlarmMode::Raw), SubfeedRowView());
}

TEST(ClockText, LocalTimeAndInvalid) {
    test::UseTimeZone("UTC");
    EXPECT_EQ(ClockText(0), "01-Jan-70 00:00:00");
    EXPECT_EQ(ClockText(1700000000), "14-Nov-23 22:13:20");
    test::UseTimeZone("EST5");
    EXPECT_EQ(ClockText(0), "31-Dec-69 19:00:00");
    EXPECT_EQ(ClockText(INT64_MAX), "Invalid [FFFFFFFF]");
    test::UseTimeZone("UTC");
}

}  // namespace
}  // namespace jvo
