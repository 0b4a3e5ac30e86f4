#include "monitor/ConfigViews.h"

#include <cerrno>
#include <cstdlib>

#include "base/FormatStr.h"
#include "config/Codec.h"
#include "config/Slots.h"
#include "monitor/Formats.h"

namespace jvo {

namespace {

bool ValidPanel(int panel) {
    return panel >= 0 && panel < kPanelCount;
}

std::string Num(long value) {
    return FormatStr("%ld", value);
}

std::string CtText(CtRef ref) {
    return Num(static_cast<long>(ref) + 1);
}

struct Range {
    int id;
    long low;
    long high;
};

constexpr Range kBreakerRanges[] = {
    {BV_RATING, 10, 1000}, {BV_OC_ALARM, 0, 100},  {BV_OC_WARNING, 0, 100},
    {BV_UC_ALARM, 0, 100}, {BV_HYSTERESIS, 1, 60},
};

// The whole text as a decimal integer (blanks around it allowed), as an edit field reads back.
bool ParseInteger(const std::string& text, long& value) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE) return false;
    while (*end == ' ' || *end == '\t')
        ++end;
    return *end == '\0';
}

}  // namespace

bool BreakerRowOpens(const UnitConfig& config, int panel, int row) {
    return ValidPanel(panel) && row >= 0 && row < config.m_Panels[panel].UsedBreakers();
}

bool SubfeedRowOpens(const UnitConfig& config, int panel, int row) {
    return ValidPanel(panel) && row >= 0 && row < config.m_Panels[panel].UsedSubfeeds();
}

std::vector<ViewField> BreakerViewFields(const UnitConfig& config, int panel, int row) {
    if (!BreakerRowOpens(config, panel, row)) return {};
    const PanelRecord& p = config.m_Panels[panel];
    const BreakerRecord& b = p.m_Breakers[row];
    return {
        {BV_PANEL_NAME, p.m_PanelName},
        {BV_NAME, b.m_Name},
        {BV_POSITION, Num(SlotToDisplay(p, b.m_Position))},
        {BV_POLES, Num(b.m_Poles)},
        {BV_CT1, CtText(b.m_Ct[0])},
        {BV_CT2, CtText(b.m_Ct[1])},
        {BV_CT3, CtText(b.m_Ct[2])},
        {BV_RATING, Num(b.m_Rating)},
        {BV_OC_ALARM, Num(b.m_OcAlarm)},
        {BV_OC_WARNING, Num(b.m_OcWarning)},
        {BV_UC_ALARM, Num(b.m_UcAlarm)},
        {BV_HYSTERESIS, Num(b.m_Hysteresis)},
    };
}

std::vector<ViewField> SubfeedViewFields(const UnitConfig& config, int panel, int row) {
    if (!SubfeedRowOpens(config, panel, row)) return {};
    const SubfeedRecord& s = config.m_Panels[panel].m_Subfeeds[row];
    return {
        {SV_NAME, s.m_Name},
        {SV_CT1, CtText(s.m_Ct[0])},
        {SV_CT2, CtText(s.m_Ct[1])},
        {SV_CT3, CtText(s.m_Ct[2])},
        {SV_CT4, CtText(s.m_Ct[3])},
        {SV_CT5, CtText(s.m_Ct[4])},
        {SV_CT6, CtText(s.m_Ct[5])},
        {SV_RATING, Num(s.m_Rating)},
        {SV_OC_ALARM, Num(s.m_OcAlarm)},
        {SV_OC_WARNING, Num(s.m_OcWarning)},
        {SV_NEUTRAL_ALARM, Num(s.m_NeutralAlarm)},
        {SV_GROUND_ALARM, Num(s.m_GroundAlarm)},
    };
}

std::string CheckBreakerViewFields(const std::vector<ViewField>& fields, int* badField) {
    if (badField) *badField = 0;
    for (const Range& r : kBreakerRanges) {
        long value = 0;
        bool ok = false;
        for (const ViewField& f : fields)
            if (f.m_Id == r.id)
                ok = ParseInteger(f.m_Text, value) && value >= r.low && value <= r.high;
        if (!ok) {
            if (badField) *badField = r.id;
            return FormatStr("Please enter an integer between %ld and %ld.", r.low, r.high);
        }
    }
    return std::string();
}

AboutView MakeAboutView(const VersionInfo* version) {
    AboutView v;
    v.m_Title = "JVO/TKA Monitor";
    v.m_Version = MonitorBuildText();
    v.m_FirmwareBuild =
        version ? FormatStr("%d", static_cast<int>(version->m_FirmwareBuild)) : "Not Connected";
    v.m_HardwareVersion =
        version ? FormatStr("%d", static_cast<int>(version->m_HardwareVersion)) : "Not Connected";
    v.m_Schema = FormatStr("%d", kSchemaVersion);
    return v;
}

}  // namespace jvo
