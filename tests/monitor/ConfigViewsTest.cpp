#include <gtest/gtest.h>

#include "MonitorFixture.h"
#include "monitor/ConfigViews.h"
#include "monitor/NameCleaning.h"

namespace jvo {
namespace {

std::string Field(const std::vector<ViewField>& fields, int id) {
    for (const ViewField& f : fields)
        if (f.m_Id == id) return f.m_Text;
    return "<none>";
}

TEST(BreakerView, FieldsPositionsAndRangeChecks) {
    UnitConfig c = test::FixtureConfig();
    PanelRecord& p = c.m_Panels[0];
    p.m_Layout = 1;
    p.m_Breakers[0].m_Position = 22;
    p.m_Breakers[0].m_Ct = {4, 5, CT_NONE};
    p.m_Breakers[0].m_OcAlarm = 100;
    p.m_Breakers[0].m_Hysteresis = 60;
    p.m_Breakers[1].m_Position = 21;

    std::vector<ViewField> f = BreakerViewFields(c, 0, 0);
    ASSERT_EQ(f.size(), 12u);
    EXPECT_EQ(Field(f, BV_PANEL_NAME), "Panel A");
    EXPECT_EQ(Field(f, BV_NAME), "Lights");
    EXPECT_EQ(Field(f, BV_POSITION), "2");
    EXPECT_EQ(Field(f, BV_POLES), "2");
    EXPECT_EQ(Field(f, BV_CT1) + Field(f, BV_CT2) + Field(f, BV_CT3), "56128");
    EXPECT_EQ(Field(f, BV_RATING), "20");
    int bad = -1;
    EXPECT_EQ(CheckBreakerViewFields(f, &bad), "");
    EXPECT_EQ(bad, 0);
    EXPECT_EQ(Field(BreakerViewFields(c, 0, 1), BV_POSITION), "41");
    p.m_Layout = 0;
    EXPECT_EQ(Field(BreakerViewFields(c, 0, 1), BV_POSITION), "21");

    p.m_Breakers[0].m_Rating = 5;  // as a unit may hold it
    EXPECT_EQ(CheckBreakerViewFields(BreakerViewFields(c, 0, 0), &bad),
              "Please enter an integer between 10 and 1000.");
    EXPECT_EQ(bad, BV_RATING);
    p.m_Breakers[0].m_Rating = 1000;
    p.m_Breakers[0].m_Hysteresis = 0;
    EXPECT_EQ(CheckBreakerViewFields(BreakerViewFields(c, 0, 0), &bad),
              "Please enter an integer between 1 and 60.");
    EXPECT_EQ(bad, BV_HYSTERESIS);
    p.m_Breakers[0].m_Hysteresis = 1;
    p.m_Breakers[0].m_UcAlarm = 101;
    EXPECT_EQ(CheckBreakerViewFields(BreakerViewFields(c, 0, 0), &bad),
              "Please enter an integer between 0 and 100.");
    EXPECT_EQ(bad, BV_UC_ALARM);

    EXPECT_TRUE(BreakerRowOpens(c, 0, 1));
    EXPECT_FALSE(BreakerRowOpens(c, 0, 2));  // the empty area below the last row
    EXPECT_FALSE(BreakerRowOpens(c, 0, -1));
    c.m_Panels[0].m_BreakerCnt = 500;  // a count beyond the table opens only real rows
    EXPECT_FALSE(BreakerRowOpens(c, 0, 42));
    EXPECT_TRUE(BreakerViewFields(c, 1, 0).empty());
}

TEST(SubfeedView, FieldsInTheirOrder) {
    UnitConfig c = test::FixtureConfig();
    c.m_Panels[0].m_Subfeeds[0].m_NeutralAlarm = 150;
    c.m_Panels[0].m_Subfeeds[0].m_GroundAlarm = 30;
    const std::vector<ViewField> f = SubfeedViewFields(c, 0, 0);
    const std::vector<ViewField> expected = {{SV_NAME, "Sub, East"},
                                             {SV_CT1, "9"},
                                             {SV_CT2, "128"},
                                             {SV_CT3, "128"},
                                             {SV_CT4, "128"},
                                             {SV_CT5, "3"},
                                             {SV_CT6, "1"},
                                             {SV_RATING, "100"},
                                             {SV_OC_ALARM, "0"},
                                             {SV_OC_WARNING, "0"},
                                             {SV_NEUTRAL_ALARM, "150"},
                                             {SV_GROUND_ALARM, "30"}};
    EXPECT_EQ(f, expected);
    EXPECT_FALSE(SubfeedRowOpens(c, 0, 1));
}

TEST(AboutView, NotConnectedUntilAVersionIsKnown) {
    const AboutView before = MakeAboutView(nullptr);
    EXPECT_EQ(before,
              (AboutView{"JVO/TKA Monitor", "Build 25", "Not Connected", "Not Connected", "4"}));
    VersionInfo v;
    v.m_FirmwareBuild = 312;
    v.m_HardwareVersion = 3;
    const AboutView after = MakeAboutView(&v);
    EXPECT_EQ(after.m_FirmwareBuild, "312");
    EXPECT_EQ(after.m_HardwareVersion, "3");
}

TEST(NameCleaning, DotsAndTrailingWhiteSpaceOfUsedNames) {
    UnitConfig c = test::FixtureConfig();
    c.m_Panels[0].m_PanelName = ".Panel.A.\t \r\n";
    c.m_Panels[0].m_Breakers[0].m_Name = "L.1";
    c.m_Panels[0].m_Breakers[2].m_Name = "unused.";  // beyond the count
    c.m_Panels[1].m_Subfeeds[0].m_Name = "unused.";
    c.m_Panels[0].m_Subfeeds[0].m_Name = "S. ";
    c.m_Panels[0].m_MainFeed.m_Name = "Main.";
    CleanNames(c);
    EXPECT_EQ(c.m_Unit.m_UnitName, "Unit 1");
    EXPECT_EQ(UnitFieldText(c), " Unit 1");
    EXPECT_EQ(c.m_Panels[0].m_PanelName, " Panel A");
    EXPECT_EQ(c.m_Panels[0].m_Breakers[0].m_Name, "L 1");
    EXPECT_EQ(c.m_Panels[0].m_Breakers[2].m_Name, "unused.");
    EXPECT_EQ(c.m_Panels[1].m_Subfeeds[0].m_Name, "unused.");
    EXPECT_EQ(c.m_Panels[0].m_Subfeeds[0].m_Name, "S");
    EXPECT_EQ(c.m_Panels[0].m_MainFeed.m_Name, "Main.");
    const UnitConfig once = c;
    CleanNames(c);
    EXPECT_EQ(c, once);
}

}  // namespace
}  // namespace jvo
