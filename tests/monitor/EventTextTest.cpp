#include <gtest/gtest.h>

#include "MonitorFixture.h"
#include "monitor/EventText.h"

namespace jvo {
namespace {

std::string Text(uint16_t id, uint16_t p1 = 0, uint16_t p2 = 0) {
    return FormatEventText(EventRecord{0, id, 0, p1, p2});
}

TEST(EventText, TheTable) {
    EXPECT_EQ(Text(1000), "Event Log Formatted");
    EXPECT_EQ(Text(2009), "Invalid Power-up (Hardware ID Missing)");
    EXPECT_EQ(Text(6001), "Panel Metering Reset");
    EXPECT_EQ(Text(2003, 65535, 65506), "JVO System Clock Set (-30 seconds)");
    EXPECT_EQ(Text(2003, 0, 30), "JVO System Clock Set (+30 seconds)");
    EXPECT_EQ(Text(2003, 0x8000, 0), "JVO System Clock Set (-2147483648 seconds)");
    EXPECT_EQ(Text(3001, 9, 1187), "Main Under Voltage Alarm (Triggered at 118.7V)");
    EXPECT_EQ(Text(3005, 0, 65535), "Main Ground Over Current Alarm (Triggered at 6553.5A)");
    EXPECT_EQ(Text(3006, 0, 6050), "Main Over Frequency Alarm (Triggered at 60.50 Hz)");
    EXPECT_EQ(Text(3007, 0, 5995), "Main Under Frequency Alarm (Triggered at 59.95 Hz)");
    EXPECT_EQ(Text(4002, 0, 5), "Breaker [1] Under Current Alarm (Triggered at 0.5A)");
    EXPECT_EQ(Text(5003, 15, 123), "Subfeed [16] Ground Over Current Alarm (Triggered at 12.3A)");
    EXPECT_EQ(Text(4000, 65535, 0), "Breaker [65536] Over Current Alarm (Triggered at 0.0A)");
    EXPECT_EQ(Text(1500, 65535, 2), "Unknown (ID=1500, Param1=65535, Param2=2)");
    EXPECT_EQ(Text(2010), "Unknown (ID=2010, Param1=0, Param2=0)");
}

TEST(EventText, SubjectNames) {
    const UnitConfig c = test::FixtureConfig();
    auto name = [&](int log, uint16_t id, uint16_t p1) {
        return EventSubjectName(c, log, EventRecord{0, id, 0, p1, 0});
    };
    EXPECT_EQ(name(0, 4001, 1), c.m_Panels[0].m_Breakers[1].m_Name);
    EXPECT_EQ(name(0, 5003, 0), c.m_Panels[0].m_Subfeeds[0].m_Name);
    EXPECT_EQ(name(1, 3002, 0), c.m_Panels[1].m_MainFeed.m_Name);
    EXPECT_EQ(name(0, 4000, 2), "");  // panel A has two breakers
    EXPECT_EQ(name(1, 4000, 0), "");  // panel B has none
    EXPECT_EQ(name(2, 4000, 0), "");  // the Service log names no panel
    EXPECT_EQ(name(0, 2000, 0), "");
}

TEST(EventText, TimestampAndIndex) {
    test::UseTimeZone("UTC");
    EXPECT_EQ(EventTimestampText(0), "01-01-70 00:00:00");
    EXPECT_EQ(EventTimestampText(0xFFFFFFFFll), "02-07-06 06:28:15");
    test::UseTimeZone("EST5");
    EXPECT_EQ(EventTimestampText(0), "12-31-69 19:00:00");
    EXPECT_EQ(EventTimestampText(INT64_MAX), "Invalid [ffffffff]");
    test::UseTimeZone("UTC");
    EXPECT_EQ(EventIndexText(7), "[00007]");
    EXPECT_EQ(EventIndexText(65535), "[65535]");
    EXPECT_EQ(MakeEventRow(EventRecord{42, 2002, 60, 0, 0}),
              (EventRowView{"[00042]", "01-01-70 00:01:00", "JVO Power Loss"}));
}

}  // namespace
}  // namespace jvo
