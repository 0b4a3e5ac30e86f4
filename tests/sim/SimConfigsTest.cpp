// The configurations the simulated unit starts from pass the configuration check.
#include <gtest/gtest.h>

#include "config/ConfigCheck.h"
#include "sim/SimConfigs.h"

namespace jvo::sim {
namespace {

TEST(SimConfigs, DemoCabinetPassesTheCheckWithoutFindings) {
    UnitConfig c = MakeDemoConfig();
    const UnitConfig before = c;
    std::string minor, serious;
    EXPECT_EQ(ConfigCheck(c, true, &minor, &serious), 0);
    EXPECT_EQ(minor, "None.\r\n");
    EXPECT_EQ(serious, "None.\r\n");
    EXPECT_EQ(c, before);  // nothing to correct
    // It is a cabinet worth showing: both panels, breakers of every pole count, a subfeed each.
    for (const PanelRecord& p : c.m_Panels) {
        EXPECT_TRUE(p.m_Installed);
        EXPECT_GE(p.m_BreakerCnt, 10);
        EXPECT_GE(p.m_SubfeedCnt, 1);
        int poles[4] = {};
        for (int i = 0; i < p.m_BreakerCnt; ++i)
            ++poles[p.m_Breakers[i].m_Poles];
        EXPECT_GT(poles[1], 0);
        EXPECT_GT(poles[2], 0);
        EXPECT_GT(poles[3], 0);
    }
}

TEST(SimConfigs, FactoryConfigurationHasNoSeriousErrors) {
    UnitConfig c = MakeFactoryConfig();
    std::string minor, serious;
    EXPECT_EQ(ConfigCheck(c, false, &minor, &serious) & CHECK_SERIOUS, 0) << serious;
    EXPECT_EQ(c.m_Panels[0].m_BreakerCnt + c.m_Panels[1].m_BreakerCnt, 0);
}

}  // namespace
}  // namespace jvo::sim
