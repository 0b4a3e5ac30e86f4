#include "bench/FullConfig.h"

#include <string>

#include "sim/SimConfigs.h"

namespace jvo::bench {

UnitConfig FullConfig() {
    UnitConfig c = sim::MakeDemoConfig();
    for (int p = 0; p < kPanelCount; ++p) {
        PanelRecord& panel = c.m_Panels[p];
        const BreakerRecord breaker = panel.m_Breakers[0];
        const SubfeedRecord subfeed = panel.m_Subfeeds[0];
        for (int i = panel.m_BreakerCnt; i < kMaxBreakers; ++i) {
            panel.m_Breakers[i] = breaker;
            panel.m_Breakers[i].m_Name = "BREAKER #" + std::to_string(i + 1);
        }
        for (int i = panel.m_SubfeedCnt; i < kMaxSubfeeds; ++i) {
            panel.m_Subfeeds[i] = subfeed;
            panel.m_Subfeeds[i].m_Name = "SUBFEED #" + std::to_string(i + 1);
            panel.m_Subfeeds[i].m_Position = static_cast<uint16_t>(i + 1);
        }
        panel.m_BreakerCnt = kMaxBreakers;
        panel.m_SubfeedCnt = kMaxSubfeeds;
    }
    return c;
}

}  // namespace jvo::bench
