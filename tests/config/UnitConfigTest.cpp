#include "config/UnitConfig.h"

#include <gtest/gtest.h>

namespace jvo {
namespace {

TEST(UnitConfig, DefaultsAndClear) {
    UnitConfig c;
    c.m_Unit.m_UnitName.assign(1, 'x');  // not = "x": GCC 12 -O3 warns falsely (-Wrestrict)
    c.m_Panels[1].m_Breakers[41].m_Ct[2] = 5;
    c.m_Ct[117].m_ChannelAmps = 2.5f;
    c.Clear();
    EXPECT_EQ(c, UnitConfig());
    for (const PanelRecord& p : c.m_Panels) {
        for (CtRef r : p.m_MainFeed.m_Ct)
            EXPECT_EQ(r, CT_NONE);
        for (const BreakerRecord& b : p.m_Breakers)
            for (CtRef r : b.m_Ct)
                EXPECT_EQ(r, CT_NONE);
        for (const SubfeedRecord& s : p.m_Subfeeds)
            for (CtRef r : s.m_Ct)
                EXPECT_EQ(r, CT_NONE);
    }
    EXPECT_EQ(c.m_Ct[117], CtRecord());
}

TEST(UnitConfig, CtDisplayName) {
    UnitConfig c;
    EXPECT_EQ(CtDisplayName(c, 5), "Module 1");
    EXPECT_EQ(CtDisplayName(c, 64), "Module 1");
    EXPECT_EQ(CtDisplayName(c, 58), "Spare 3");
    EXPECT_EQ(CtDisplayName(c, CT_NONE), "Not Connected");
    EXPECT_EQ(CtDisplayName(c, 118), "Not Connected");
    EXPECT_EQ(CtDisplayName(c, 60000), "Not Connected");
    c.m_Unit.m_CrossConfig = 1;
    EXPECT_EQ(CtDisplayName(c, 5), "A-Module 1");
    EXPECT_EQ(CtDisplayName(c, 64), "B-Module 1");
    EXPECT_EQ(CtDisplayName(c, 117), "B-Spare 3");
    EXPECT_EQ(CtDisplayName(c, CT_NONE), "Not Connected");
}

TEST(UnitConfig, CtUseCountCountsOnlyRealReferences) {
    UnitConfig c;
    // Main feeds count with all six references, installed or not.
    c.m_Panels[1].m_MainFeed.m_Ct[5] = 10;
    // A 1-pole breaker: its second reference is beyond the pole count.
    c.m_Panels[0].m_BreakerCnt = 1;
    c.m_Panels[0].m_Breakers[0].m_Poles = 1;
    c.m_Panels[0].m_Breakers[0].m_Ct = {10, 10, 10};
    // Entries beyond the counts are ignored.
    c.m_Panels[0].m_Breakers[1].m_Poles = 3;
    c.m_Panels[0].m_Breakers[1].m_Ct = {10, 10, 10};
    c.m_Panels[0].m_Subfeeds[0].m_Ct[0] = 10;
    EXPECT_EQ(CtUseCount(c, 10), 2);
    c.m_Panels[0].m_SubfeedCnt = 1;
    EXPECT_EQ(CtUseCount(c, 10), 3);
    // A breaker with more poles than references counts its three references only.
    c.m_Panels[0].m_Breakers[0].m_Poles = 9;
    EXPECT_EQ(CtUseCount(c, 10), 5);
    EXPECT_EQ(CtUseCount(c, CT_NONE), 0);
    EXPECT_EQ(CtUseCount(c, 118), 0);
}

TEST(UnitConfig, CopyKeepsEntriesBeyondCounts) {
    UnitConfig a;
    a.m_Panels[0].m_Breakers[7].m_Name = "hidden";
    a.m_Panels[0].m_Breakers[7].m_Position = 8;
    a.m_Panels[1].m_Subfeeds[15].m_Name = "aux";
    UnitConfig b = a;
    b.m_Panels[0].m_BreakerCnt = 8;
    EXPECT_EQ(b.m_Panels[0].m_Breakers[7].m_Name, "hidden");
    EXPECT_EQ(b.m_Panels[0].m_Breakers[7].m_Position, 8);
    EXPECT_EQ(b.m_Panels[1].m_Subfeeds[15].m_Name, "aux");
}

}  // namespace
}  // namespace jvo
