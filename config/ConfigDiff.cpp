#include "config/ConfigDiff.h"

#include <bit>
#include <cstdint>

#include "base/FormatStr.h"
#include "config/Slots.h"

namespace jvo {

namespace {

// The changed fields of one entity, joined into its line.
class Changes {
public:
    void Number(const char* field, double before, double after) {
        if (before != after) Add(FormatStr("%s %g -> %g", field, before, after));
    }
    // Floats by their bits: a file read twice is the same, also where it holds a NaN.
    void Float(const char* field, float before, float after) {
        if (std::bit_cast<uint32_t>(before) != std::bit_cast<uint32_t>(after))
            Add(FormatStr("%s %g -> %g", field, before, after));
    }
    void Text(const char* field, const std::string& before, const std::string& after) {
        if (before != after) Add(FormatStr("%s \"%s\" -> \"%s\"", field, before, after));
    }
    void Secret(const char* field, const std::string& before, const std::string& after) {
        if (before != after) Add(FormatStr("%s differs", field));
    }
    void Add(const std::string& change) {
        if (!m_Text.empty()) m_Text += "; ";
        m_Text += change;
    }
    // Adds "<subject>: <changes>" to `out` when anything changed.
    void Emit(const std::string& subject, std::vector<std::string>& out) const {
        if (!m_Text.empty()) out.push_back(subject + ": " + m_Text);
    }

private:
    std::string m_Text;
};

template <size_t N>
std::string ChannelList(const UnitConfig& config, const std::array<CtRef, N>& refs, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        if (i) text += ", ";
        text += CtDisplayName(config, refs[i]);
    }
    return text;
}

// Where a breaker sits, as the user sees it.
std::string BreakerName(int p, const PanelRecord& panel, const BreakerRecord& b) {
    return FormatStr("Panel %c, breaker at position %d \"%s\"", PanelLetter(p),
                     SlotToDisplay(panel, b.m_Position), b.m_Name);
}

std::string SubfeedName(int p, const PanelRecord& panel, const SubfeedRecord& s) {
    if (s.m_Placement == PLACEMENT_PANEL)
        return FormatStr("Panel %c, subfeed at position %d \"%s\"", PanelLetter(p),
                         SlotToDisplay(panel, s.m_Position), s.m_Name);
    if (s.m_Placement == PLACEMENT_AUX)
        return FormatStr("Panel %c, auxiliary subfeed at position %u \"%s\"", PanelLetter(p),
                         s.m_Position, s.m_Name);
    return FormatStr("Panel %c, subfeed with placement %u at position %u \"%s\"", PanelLetter(p),
                     s.m_Placement, s.m_Position, s.m_Name);
}

void DiffSubfeed(const UnitConfig& ca, const UnitConfig& cb, const SubfeedRecord& a,
                 const SubfeedRecord& b, const std::string& subject,
                 std::vector<std::string>& out) {
    Changes c;
    c.Text("name", a.m_Name, b.m_Name);
    c.Number("rating", a.m_Rating, b.m_Rating);
    c.Number("poles", a.m_Poles, b.m_Poles);
    c.Number("over-current alarm", a.m_OcAlarm, b.m_OcAlarm);
    c.Number("over-current warning", a.m_OcWarning, b.m_OcWarning);
    c.Number("neutral alarm", a.m_NeutralAlarm, b.m_NeutralAlarm);
    c.Number("ground alarm", a.m_GroundAlarm, b.m_GroundAlarm);
    c.Number("hysteresis", a.m_Hysteresis, b.m_Hysteresis);
    const std::string ctA = ChannelList(ca, a.m_Ct, 6), ctB = ChannelList(cb, b.m_Ct, 6);
    if (ctA != ctB) c.Add(FormatStr("channels %s -> %s", ctA, ctB));
    c.Emit(subject, out);
}

void DiffBreaker(const UnitConfig& ca, const UnitConfig& cb, const BreakerRecord& a,
                 const BreakerRecord& b, const std::string& subject,
                 std::vector<std::string>& out) {
    Changes c;
    c.Text("name", a.m_Name, b.m_Name);
    c.Number("rating", a.m_Rating, b.m_Rating);
    c.Number("poles", a.m_Poles, b.m_Poles);
    const std::string ctA = ChannelList(ca, a.m_Ct, BreakerRefCount(a));
    const std::string ctB = ChannelList(cb, b.m_Ct, BreakerRefCount(b));
    if (ctA != ctB) c.Add(FormatStr("channels %s -> %s", ctA, ctB));
    c.Number("over-current alarm", a.m_OcAlarm, b.m_OcAlarm);
    c.Number("over-current warning", a.m_OcWarning, b.m_OcWarning);
    c.Number("under-current alarm", a.m_UcAlarm, b.m_UcAlarm);
    c.Number("hysteresis", a.m_Hysteresis, b.m_Hysteresis);
    c.Emit(subject, out);
}

// Matches the used entries of two tables by key (the k-th entry with a key on one side pairs
// with the k-th on the other) and reports changed, removed and added entries.
template <class Record, class KeyFn, class NameFn, class DiffFn>
void DiffTable(const Record* a, int countA, const Record* b, int countB, KeyFn key, NameFn name,
               DiffFn diff, std::vector<std::string>& out) {
    std::vector<bool> matched(static_cast<size_t>(countB), false);
    for (int i = 0; i < countA; ++i) {
        int found = -1;
        for (int j = 0; j < countB && found < 0; ++j)
            if (!matched[j] && key(b[j]) == key(a[i])) found = j;
        if (found < 0) {
            out.push_back(name(a[i], true) + ": removed");
            continue;
        }
        matched[found] = true;
        diff(a[i], b[found], name(b[found], false));
    }
    for (int j = 0; j < countB; ++j)
        if (!matched[j]) out.push_back(name(b[j], false) + ": added");
}

void DiffPanel(const UnitConfig& ca, const UnitConfig& cb, int p, std::vector<std::string>& out) {
    const PanelRecord& a = ca.m_Panels[p];
    const PanelRecord& b = cb.m_Panels[p];
    Changes c;
    c.Text("name", a.m_PanelName, b.m_PanelName);
    c.Secret("password 1", a.m_Password1, b.m_Password1);
    c.Secret("password 2", a.m_Password2, b.m_Password2);
    c.Text("installed", a.m_Installed ? "yes" : "no", b.m_Installed ? "yes" : "no");
    c.Number("layout", a.m_Layout, b.m_Layout);
    c.Number("panel size", a.m_PanelSize, b.m_PanelSize);
    c.Number("rated by", a.m_RatedBy, b.m_RatedBy);
    c.Number("kVA rating", a.m_KvaRating, b.m_KvaRating);
    for (int i = 0; i < 3; ++i)
        c.Number(FormatStr("interface board %d", i + 1).c_str(), a.m_Boards[i], b.m_Boards[i]);
    c.Number("reserved 2", a.m_Reserved2, b.m_Reserved2);
    c.Number("reserved 3", a.m_Reserved3, b.m_Reserved3);
    c.Number("reserved 4", a.m_Reserved4, b.m_Reserved4);
    c.Number("reserved 5", a.m_Reserved5, b.m_Reserved5);
    c.Number("main voltage rating", a.m_MainVoltageRating, b.m_MainVoltageRating);
    c.Number("over-voltage setpoint", a.m_OverVoltageSetpoint, b.m_OverVoltageSetpoint);
    c.Number("under-voltage setpoint", a.m_UnderVoltageSetpoint, b.m_UnderVoltageSetpoint);
    c.Number("nominal frequency", a.m_NominalFrequency, b.m_NominalFrequency);
    c.Number("over-frequency setpoint", a.m_OverFrequencySetpoint, b.m_OverFrequencySetpoint);
    c.Number("under-frequency setpoint", a.m_UnderFrequencySetpoint, b.m_UnderFrequencySetpoint);
    c.Number("hysteresis interval", a.m_HysteresisInterval, b.m_HysteresisInterval);
    c.Emit(FormatStr("Panel %c", PanelLetter(p)), out);

    DiffSubfeed(ca, cb, a.m_MainFeed, b.m_MainFeed,
                FormatStr("Panel %c, main feed", PanelLetter(p)), out);

    DiffTable(
        a.m_Breakers.data(), a.UsedBreakers(), b.m_Breakers.data(), b.UsedBreakers(),
        [](const BreakerRecord& r) { return r.m_Position; },
        [&](const BreakerRecord& r, bool before) { return BreakerName(p, before ? a : b, r); },
        [&](const BreakerRecord& x, const BreakerRecord& y, const std::string& subject) {
            DiffBreaker(ca, cb, x, y, subject, out);
        },
        out);
    DiffTable(
        a.m_Subfeeds.data(), a.UsedSubfeeds(), b.m_Subfeeds.data(), b.UsedSubfeeds(),
        [](const SubfeedRecord& r) { return (r.m_Placement << 16) | r.m_Position; },
        [&](const SubfeedRecord& r, bool before) { return SubfeedName(p, before ? a : b, r); },
        [&](const SubfeedRecord& x, const SubfeedRecord& y, const std::string& subject) {
            DiffSubfeed(ca, cb, x, y, subject, out);
        },
        out);
}

}  // namespace

std::vector<std::string> DiffConfigs(const UnitConfig& before, const UnitConfig& after) {
    std::vector<std::string> out;
    const UnitRecord& a = before.m_Unit;
    const UnitRecord& b = after.m_Unit;
    Changes unit;
    unit.Text("name", a.m_UnitName, b.m_UnitName);
    unit.Number("address", a.m_UnitAddr, b.m_UnitAddr);
    unit.Text("cross configuration", a.m_CrossConfig ? "yes" : "no",
              b.m_CrossConfig ? "yes" : "no");
    unit.Float("ADC factor", a.m_AdcFactor, b.m_AdcFactor);
    unit.Float("voltage scale factor", a.m_VScaleFactor, b.m_VScaleFactor);
    for (int i = 0; i < kIScaleFactorCount; ++i)
        unit.Float(FormatStr("current scale factor %d", i + 1).c_str(), a.m_IScaleFactor[i],
                   b.m_IScaleFactor[i]);
    unit.Float("current gain factor", a.m_IGainFactor, b.m_IGainFactor);
    unit.Emit("Unit", out);

    for (int p = 0; p < kPanelCount; ++p)
        DiffPanel(before, after, p, out);

    for (int i = 0; i < kCtCount; ++i) {
        const CtRecord& x = before.m_Ct[i];
        const CtRecord& y = after.m_Ct[i];
        Changes c;
        c.Number("primary", x.m_Primary, y.m_Primary);
        c.Number("secondary", x.m_Secondary, y.m_Secondary);
        c.Number("voltage index", x.m_VoltageIndex, y.m_VoltageIndex);
        c.Number("signal path", x.m_SignalPath, y.m_SignalPath);
        c.Number("option", x.m_Option, y.m_Option);
        c.Float("channel amps", x.m_ChannelAmps, y.m_ChannelAmps);
        c.Emit(FormatStr("Channel %d (%s)", i + 1, CtDisplayName(after, static_cast<uint32_t>(i))),
               out);
    }
    return out;
}

}  // namespace jvo
