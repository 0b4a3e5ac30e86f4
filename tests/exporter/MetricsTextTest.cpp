// The /metrics text put together from units' parts: the same text as the client library's own
// serializer writes for all units at once, with a part kept only for a unit that is the same.
#include <gtest/gtest.h>
#include <prometheus/text_serializer.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "exporter/FleetCollector.h"
#include "exporter/MetricsText.h"
#include "sim/SimConfigs.h"

namespace jvo::exporter {
namespace {

std::string LibraryText(const std::vector<UnitView>& views) {
    std::ostringstream out;
    prometheus::TextSerializer().Serialize(out, BuildFamilies(views));
    return out.str();
}

UnitView Unit(const std::string& name, uint64_t session, float scale) {
    UnitView v;
    v.m_Name = name;
    v.m_Stamp.m_Known = v.m_Stamp.m_Up = true;
    v.m_Stamp.m_Session = session;
    v.m_Up = v.m_HaveReadings = true;
    v.m_Config = sim::MakeDemoConfig();
    v.m_Config.m_Panels[0].m_PanelName = "RACK \"A\" \\ left\nrow";
    v.m_Schema = 3;
    v.m_FirmwareBuild = 1207;
    for (int ct = 0; ct < kCtCount; ++ct)
        v.m_Readings.m_Ct[ct].m_IRms = scale * static_cast<float>(ct) / 7.0f;
    v.m_Readings.m_Ct[5].m_IRms = std::numeric_limits<float>::quiet_NaN();
    v.m_Readings.m_Ct[6].m_IRms = -std::numeric_limits<float>::infinity();
    v.m_Readings.m_Panels[1].m_MainEnergy = 123456.7f;
    v.m_Readings.m_Panels[1].m_OverVoltage.latched = 1;
    v.m_Cycles.m_Counts = {0, 3, 1, 0, 0, 0, 0, 0, 0, 2};
    v.m_Cycles.m_Count = 6;
    v.m_Cycles.m_Sum = 0.1 + 0.2;
    v.m_Errors = 4;
    return v;
}

UnitView Same(const UnitView& v) {
    UnitView same;
    same.m_Name = v.m_Name;
    same.m_Stamp = v.m_Stamp;
    same.m_Same = true;
    return same;
}

TEST(MetricsText, IsTheLibrarysTextAndKeepsOnlyTheUnitsThatAreTheSame) {
    UnitView down;
    down.m_Name = "gone";
    down.m_Errors = 9;
    UnitView noReadings = Unit("starting", 2, 1);
    noReadings.m_HaveReadings = false;
    std::vector<UnitView> full{Unit("a", 1, 1), down, noReadings, Unit("b", 3, 2)};
    MetricsText text;
    const std::string first = *text.Build(full);
    EXPECT_EQ(first, LibraryText(full));
    EXPECT_NE(first.find("jvo_ct_current_amperes{unit=\"a\",ct=\"5\"} Nan"), std::string::npos);

    // "a" and "starting" are the same, "b" read a new cycle: only its part is made again.
    full[3] = Unit("b", 3, 5);
    full[3].m_Stamp.m_Cycles = 1;
    EXPECT_EQ(text.Kept(0, "a"), full[0].m_Stamp);
    EXPECT_FALSE(text.Kept(0, "b").m_Known);  // another unit at that place
    const std::string second = *text.Build({Same(full[0]), full[1], Same(full[2]), full[3]});
    EXPECT_EQ(second, LibraryText(full));
    EXPECT_NE(second, first);

    // A unit that says it is the same as a stamp no part was kept for shows as down.
    UnitView stranger = Same(full[3]);
    stranger.m_Stamp.m_Session = 77;
    const std::string third = *text.Build({Same(full[0]), stranger});
    UnitView shownDown;
    shownDown.m_Name = "b";
    EXPECT_EQ(third, LibraryText({full[0], shownDown}));
}

}  // namespace
}  // namespace jvo::exporter
