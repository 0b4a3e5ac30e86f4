#include "config/ConfigDump.h"

#include "base/FormatStr.h"
#include "config/Codec.h"

namespace jvo {

namespace {

const char* YesNo(uint8_t flag) {
    return flag ? "YES" : "NO";
}

// Channel numbers are shown counted from 1.
unsigned CtNumber(CtRef ref) {
    return static_cast<unsigned>(ref) + 1;
}

// The subfeed line, shared by the main feed and the subfeeds.
std::string SubfeedLine(const SubfeedRecord& s) {
    return FormatStr("%32s %4u [%1u %2u:%1u] %3u %3u %3u %3u %2u [%3u %3u %3u %3u %3u %3u]\n",
                     s.m_Name, s.m_Rating, s.m_Placement, s.m_Position, s.m_Poles, s.m_OcAlarm,
                     s.m_OcWarning, s.m_NeutralAlarm, s.m_GroundAlarm, s.m_Hysteresis,
                     CtNumber(s.m_Ct[0]), CtNumber(s.m_Ct[1]), CtNumber(s.m_Ct[2]),
                     CtNumber(s.m_Ct[3]), CtNumber(s.m_Ct[4]), CtNumber(s.m_Ct[5]));
}

void DumpPanel(std::string& out, int p, const PanelRecord& panel) {
    out += FormatStr("\nPanel %c Configuration\n\n", PanelLetter(p));
    out += FormatStr("PanelName: %s\n", panel.m_PanelName);
    out += FormatStr("Password1: %s\n", panel.m_Password1);
    out += FormatStr("Password2: %s\n", panel.m_Password2);
    out += FormatStr("Installed: %s\n", YesNo(panel.m_Installed));
    out += FormatStr("Layout: %u\n", panel.m_Layout);
    out += FormatStr("Panel Size: %u\n", panel.m_PanelSize);
    out += FormatStr("Rated By: %u\n", panel.m_RatedBy);
    out += FormatStr("KVA Rating: %u\n", panel.m_KvaRating);
    out += FormatStr("Interface Boards: %u %u %u\n", panel.m_Boards[0], panel.m_Boards[1],
                     panel.m_Boards[2]);
    out += FormatStr("Reserved2: %u\n", panel.m_Reserved2);
    out += FormatStr("Reserved3: %u\n", panel.m_Reserved3);
    out += FormatStr("Reserved4: %u\n", panel.m_Reserved4);
    out += FormatStr("Reserved5: %u\n", panel.m_Reserved5);
    out += FormatStr("BreakerCnt: %u\n", panel.m_BreakerCnt);
    out += FormatStr("SubfeedCnt: %u\n", panel.m_SubfeedCnt);
    out += FormatStr("Main Voltage Rating: %u\n", panel.m_MainVoltageRating);
    out += FormatStr("Over-Voltage Setpoint: %u\n", panel.m_OverVoltageSetpoint);
    out += FormatStr("Under-Voltage Setpoint: %u\n", panel.m_UnderVoltageSetpoint);
    out += FormatStr("NominalFrequency: %u\n", panel.m_NominalFrequency);
    out += FormatStr("Over Frequency Setpoint: %u\n", panel.m_OverFrequencySetpoint);
    out += FormatStr("Under Frequncy Setpoint: %u\n", panel.m_UnderFrequencySetpoint);
    out += FormatStr("Hysteresis Interval: %u (seconds)\n", panel.m_HysteresisInterval);
    out += SubfeedLine(panel.m_MainFeed);

    out += "\n";
    for (int i = 0; i < panel.UsedBreakers(); ++i) {
        const BreakerRecord& b = panel.m_Breakers[i];
        out += FormatStr("Breaker #%2d: ", i + 1);
        out +=
            FormatStr("%32s %4u %2u %1u [%3u %3u %3u] %4u %4u %4u %2u\n", b.m_Name, b.m_Rating,
                      b.m_Position, b.m_Poles, CtNumber(b.m_Ct[0]), CtNumber(b.m_Ct[1]),
                      CtNumber(b.m_Ct[2]), b.m_OcAlarm, b.m_OcWarning, b.m_UcAlarm, b.m_Hysteresis);
    }
    out += "\n";
    for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
        out += FormatStr("Subfeed #%2d:", i + 1);
        out += SubfeedLine(panel.m_Subfeeds[i]);
    }
}

}  // namespace

std::string ConfigDump(const UnitConfig& config) {
    std::string out = FormatStr("Schema Version: %u\n", static_cast<unsigned>(kSchemaVersion));

    const UnitRecord& unit = config.m_Unit;
    out += "\nUnit Configuration\n\n";
    out += FormatStr("Unit Name: %s\n", unit.m_UnitName);
    out += FormatStr("Unit Addr: %u\n", unit.m_UnitAddr);
    out += FormatStr("Cross Config: %s\n", YesNo(unit.m_CrossConfig));
    out += FormatStr("AdcFactor: %lf\n", unit.m_AdcFactor);
    out += FormatStr("VScaleFactor: %lf\n", unit.m_VScaleFactor);
    for (int i = 0; i < kIScaleFactorCount; ++i)
        out += FormatStr("IScaleFactor[%d]: %lf\n", i, unit.m_IScaleFactor[i]);
    out += FormatStr("IGainFactor: %lf\n", unit.m_IGainFactor);

    for (int p = 0; p < kPanelCount; ++p)
        DumpPanel(out, p, config.m_Panels[p]);

    out += "\n";
    for (int i = 0; i < kCtCount; ++i) {
        const CtRecord& ct = config.m_Ct[i];
        out += FormatStr("CT #%3d: ", i + 1);
        out += FormatStr("%4u:%-3u %3u %2u %10.4lfA (%1u)\n", ct.m_Primary, ct.m_Secondary,
                         ct.m_VoltageIndex, ct.m_SignalPath, ct.m_ChannelAmps, ct.m_Option);
    }
    return out;
}

}  // namespace jvo
