#include "monitor/DisplayModel.h"

#include "base/FormatStr.h"
#include "monitor/Formats.h"

namespace jvo {

namespace {

bool On(const FlagTriple& t, AlarmMode mode) {
    return t.ByMode(static_cast<int>(mode)) != 0;
}

bool ValidPanel(int panel) {
    return panel >= 0 && panel < kPanelCount;
}

const char* const kNoValue = "----";

}  // namespace

const CtReading* CtFor(const ReadingsSnapshot& s, uint32_t ref) {
    return IsChannel(ref) ? &s.m_Ct[ref] : nullptr;
}

double GroundCurrent(const ReadingsSnapshot& s, const SubfeedRecord& feed) {
    double ground = 0;
    for (int k = 4; k < 6; ++k)
        if (const CtReading* ct = CtFor(s, feed.m_Ct[k])) ground += ct->m_IRms;
    return ground;
}

std::string PercentOfRating(double amps, unsigned rating) {
    if (rating == 0) return kNoValue;
    return FormatStr("%.1lf %%", amps * 100 / rating);
}

std::string BreakerTypeRatingText(const BreakerRecord& b) {
    return FormatStr(" %d-Pole %d A", static_cast<int>(b.m_Poles), static_cast<int>(b.m_Rating));
}

std::string SubfeedRatingText(const SubfeedRecord& s) {
    return FormatStr("%d A", static_cast<int>(s.m_Rating));
}

int BreakerIcon(const BreakerReading& r, AlarmMode mode) {
    if (On(r.m_OcAlarm, mode) || On(r.m_UcAlarm, mode)) return ICON_ALARM;
    if (On(r.m_OcWarning, mode)) return ICON_WARNING;
    return r.m_Load > 0.04 ? ICON_LOAD : ICON_IDLE;
}

int SubfeedIcon(const SubfeedReading& r, AlarmMode mode) {
    if (On(r.m_OcAlarm, mode) || On(r.m_NeutralAlarm, mode) || On(r.m_GroundAlarm, mode))
        return ICON_ALARM;
    if (On(r.m_OcWarning, mode)) return ICON_WARNING;
    return r.m_Load > 0 ? ICON_LOAD : ICON_IDLE;
}

MainBreakerView MakeMainBreakerView(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                                    AlarmMode mode) {
    MainBreakerView v;
    if (!ValidPanel(panel)) return v;
    const PanelRecord& rec = config.m_Panels[panel];
    const SubfeedRecord& feed = rec.m_MainFeed;
    const PanelReadings& p = s.m_Panels[panel];
    const SubfeedReading& main = p.m_MainFeed;

    v.m_PanelName = " " + rec.m_PanelName;
    v.m_PanelNameColour = p.m_PanelFlag.raw ? ColourRole::Alarm : ColourRole::Plain;

    const ColourRole current = On(main.m_OcAlarm, mode)     ? ColourRole::Alarm
                               : On(main.m_OcWarning, mode) ? ColourRole::Warning
                                                            : ColourRole::Normal;
    const ColourRole voltage = On(p.m_OverVoltage, mode) || On(p.m_UnderVoltage, mode)
                                   ? ColourRole::Alarm
                                   : ColourRole::Normal;
    for (int ph = 0; ph < 3; ++ph) {
        PhaseRowView& row = v.m_Phases[ph];
        if (const CtReading* ct = CtFor(s, feed.m_Ct[ph])) {
            row.m_IRms = FormatStr("%.1lf A", static_cast<double>(ct->m_IRms));
            row.m_IPct = PercentOfRating(ct->m_IRms, feed.m_Rating);
            row.m_IThd = FormatStr("%.1lf %%", ct->m_IThd * 100.0);
            row.m_ICf = FormatStr("%.2lf", static_cast<double>(ct->m_ICrest));
            row.m_Power = FormatStr("%.1lf kW", ct->m_Power / 1000.0);
            row.m_Va = FormatStr("%.1lf kVA", ct->m_Va / 1000.0);
            row.m_Pf = FormatStr("%.2lf", static_cast<double>(ct->m_Pf));
        } else {
            row.m_IRms = "0.0 A";
            row.m_IPct = "0.0 %";
            row.m_IThd = row.m_ICf = row.m_Power = row.m_Va = row.m_Pf = kNoValue;
        }
        row.m_Vll = FormatStr("%.1lf V", static_cast<double>(p.m_Vll[ph]));
        row.m_Vln = FormatStr("%.1lf V", static_cast<double>(p.m_Vln[ph]));
        if (p.m_Vln[ph] < 10) {
            row.m_VThd = row.m_VCf = kNoValue;
        } else {
            row.m_VThd = FormatStr("%.1lf %%", p.m_VThd[ph] * 100.0);
            row.m_VCf = FormatStr("%.2lf", static_cast<double>(p.m_VCrest[ph]));
        }
        row.m_IRmsColour = current;
        row.m_VllColour = voltage;
    }

    const CtReading* neutral = CtFor(s, feed.m_Ct[3]);
    v.m_Neutral = FormatStr("%.1lf A", neutral ? static_cast<double>(neutral->m_IRms) : 0.0);
    const double ground = GroundCurrent(s, feed);
    v.m_Ground = FormatStr("%.1lf A", ground);
    v.m_GroundColour = On(main.m_GroundAlarm, mode) ? ColourRole::Alarm : ColourRole::Normal;
    v.m_NeutralColour = On(main.m_NeutralAlarm, mode) ? ColourRole::Alarm : ColourRole::Normal;

    v.m_Energy = FormatStr("%.3lf kWH", static_cast<double>(p.m_MainEnergy));
    v.m_TotalPower = FormatStr("%.1lf kW", main.m_Power / 1000.0);
    v.m_TotalVa = FormatStr("%.1lf kVA", main.m_Va / 1000.0);
    v.m_TotalPf = FormatStr("%.2lf", static_cast<double>(main.m_Pf));
    return v;
}

BreakerRowView MakeBreakerRow(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                              int index, AlarmMode mode) {
    BreakerRowView v;
    if (!ValidPanel(panel) || index < 0 || index >= kMaxBreakers) return v;
    const BreakerRecord& rec = config.m_Panels[panel].m_Breakers[index];
    const BreakerSlot& slot = s.m_Panels[panel].m_Breakers[index];
    const BreakerReading& r = slot.m_Reading;
    v.m_Name = rec.m_Name;
    v.m_TypeRating = BreakerTypeRatingText(rec);
    v.m_Load = FormatStr("%.1lf %%", static_cast<double>(r.m_Load));
    for (int j = 0; j < 3; ++j) {
        const CtReading* ct = j < rec.m_Poles ? CtFor(s, rec.m_Ct[j]) : nullptr;
        v.m_I[j] = ct ? FormatCurrent(ct->m_IRms) : "---";
    }
    v.m_Power = FormatStr("%.0lf W", static_cast<double>(r.m_Power));
    v.m_Va = FormatStr("%.0lf VA", static_cast<double>(r.m_Va));
    v.m_Pf = FormatStr("%.2lf", static_cast<double>(r.m_Pf));
    v.m_Kwh = FormatStr("%.3lf", static_cast<double>(slot.m_Energy));
    v.m_Icon = BreakerIcon(r, mode);
    return v;
}

SubfeedRowView MakeSubfeedRow(const UnitConfig& config, const ReadingsSnapshot& s, int panel,
                              int index, AlarmMode mode) {
    SubfeedRowView v;
    if (!ValidPanel(panel) || index < 0 || index >= kMaxSubfeeds) return v;
    const SubfeedRecord& rec = config.m_Panels[panel].m_Subfeeds[index];
    const SubfeedSlot& slot = s.m_Panels[panel].m_Subfeeds[index];
    const SubfeedReading& r = slot.m_Reading;
    v.m_Name = rec.m_Name;
    v.m_Rating = SubfeedRatingText(rec);
    v.m_Load = FormatStr("%.1lf %%", static_cast<double>(r.m_Load));
    for (int k = 0; k < 5; ++k) {
        const CtReading* ct = CtFor(s, rec.m_Ct[k]);
        v.m_I[k] = ct ? FormatCurrent(ct->m_IRms) : FormatStr("%.4lf", 0.0);
    }
    v.m_Power = FormatStr("%.0lf W", static_cast<double>(r.m_Power));
    v.m_Va = FormatStr("%.0lf VA", static_cast<double>(r.m_Va));
    v.m_Pf = FormatStr("%.2lf", static_cast<double>(r.m_Pf));
    v.m_Kwh = FormatStr("%.3lf", static_cast<double>(slot.m_Energy));
    v.m_Icon = SubfeedIcon(r, mode);
    return v;
}

std::vector<BreakerRowView> MakeBreakerRows(const UnitConfig& config, const ReadingsSnapshot& s,
                                            int panel, AlarmMode mode) {
    std::vector<BreakerRowView> rows;
    if (!ValidPanel(panel)) return rows;
    for (int i = 0; i < config.m_Panels[panel].UsedBreakers(); ++i)
        rows.push_back(MakeBreakerRow(config, s, panel, i, mode));
    return rows;
}

std::vector<SubfeedRowView> MakeSubfeedRows(const UnitConfig& config, const ReadingsSnapshot& s,
                                            int panel, AlarmMode mode) {
    std::vector<SubfeedRowView> rows;
    if (!ValidPanel(panel)) return rows;
    for (int i = 0; i < config.m_Panels[panel].UsedSubfeeds(); ++i)
        rows.push_back(MakeSubfeedRow(config, s, panel, i, mode));
    return rows;
}

}  // namespace jvo
