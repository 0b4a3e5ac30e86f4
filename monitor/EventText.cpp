#include "monitor/EventText.h"

#include "base/FormatStr.h"
#include "monitor/Formats.h"

namespace jvo {

namespace {

const char* PlainText(uint16_t id) {
    switch (id) {
        case 1000:
            return "Event Log Formatted";
        case 2000:
            return "JVO System Startup";
        case 2001:
            return "JVO BIT Mode Startup";
        case 2002:
            return "JVO Power Loss";
        case 2004:
            return "JVO System Meter Flush";
        case 2005:
            return "Spurious Power Loss Detect";
        case 2006:
            return "User-Initiated Reboot";
        case 2007:
            return "User-Initiated Restart JVO Mode";
        case 2008:
            return "User-Initiated Restart BOOT Mode";
        case 2009:
            return "Invalid Power-up (Hardware ID Missing)";
        case 6001:
            return "Panel Metering Reset";
        default:
            return nullptr;
    }
}

// Texts with a trigger value (param2 / 10) and, for breakers and subfeeds, a number (param1 + 1).
const char* TriggerText(uint16_t id) {
    switch (id) {
        case 3000:
            return "Main Over Voltage Alarm (Triggered at %.1lfV)";
        case 3001:
            return "Main Under Voltage Alarm (Triggered at %.1lfV)";
        case 3002:
            return "Main Phase Over Current Alarm (Triggered at %.1lfA)";
        case 3003:
            return "Main Phase Over Current Warning (Triggered at %.1lfA)";
        case 3004:
            return "Main Neutral Over Current Alarm (Triggered at %.1lfA)";
        case 3005:
            return "Main Ground Over Current Alarm (Triggered at %.1lfA)";
        default:
            return nullptr;
    }
}

const char* NumberedText(uint16_t id) {
    switch (id) {
        case 4000:
            return "Breaker [%d] Over Current Alarm (Triggered at %.1lfA)";
        case 4001:
            return "Breaker [%d] Over Current Warning (Triggered at %.1lfA)";
        case 4002:
            return "Breaker [%d] Under Current Alarm (Triggered at %.1lfA)";
        case 5000:
            return "Subfeed [%d] Phase Over Current Alarm (Triggered at %.1lfA)";
        case 5001:
            return "Subfeed [%d] Phase Over Current Warning (Triggered at %.1lfA)";
        case 5002:
            return "Subfeed [%d] Neutral Over Current Alarm (Triggered at %.1lfA)";
        case 5003:
            return "Subfeed [%d] Ground Over Current Alarm (Triggered at %.1lfA)";
        default:
            return nullptr;
    }
}

}  // namespace

std::string FormatEventText(const EventRecord& e) {
    if (const char* text = PlainText(e.m_Id)) return text;
    const double tenths = e.m_Param2 / 10.0;
    if (const char* text = TriggerText(e.m_Id)) return FormatStrRt(text, tenths);
    if (const char* text = NumberedText(e.m_Id))
        return FormatStrRt(text, static_cast<int>(e.m_Param1) + 1, tenths);
    switch (e.m_Id) {
        case 2003: {
            const uint32_t raw = (static_cast<uint32_t>(e.m_Param1) << 16) | e.m_Param2;
            return FormatStr("JVO System Clock Set (%+d seconds)", static_cast<int32_t>(raw));
        }
        case 3006:
            return FormatStr("Main Over Frequency Alarm (Triggered at %.2lf Hz)",
                             e.m_Param2 / 100.0);
        case 3007:
            return FormatStr("Main Under Frequency Alarm (Triggered at %.2lf Hz)",
                             e.m_Param2 / 100.0);
        default:
            return FormatStr("Unknown (ID=%d, Param1=%d, Param2=%d)", static_cast<int>(e.m_Id),
                             static_cast<int>(e.m_Param1), static_cast<int>(e.m_Param2));
    }
}

std::string EventTimestampText(int64_t seconds) {
    LocalFields f;
    if (!ToLocalFields(seconds, f))
        return FormatStr("Invalid [%08x]", static_cast<uint32_t>(seconds & 0xFFFFFFFF));
    return FormatStr("%02d-%02d-%02d %02d:%02d:%02d", f.m_Month, f.m_Day, YearOfCentury(f),
                     f.m_Hour, f.m_Minute, f.m_Second);
}

std::string EventIndexText(uint16_t index) {
    return FormatStr("[%05d]", static_cast<int>(index));
}

std::string EventSubjectName(const UnitConfig& config, int log, const EventRecord& e) {
    if (log < 0 || log >= kPanelCount) return {};
    const PanelRecord& panel = config.m_Panels[log];
    if (e.m_Id >= 3000 && e.m_Id <= 3007) return panel.m_MainFeed.m_Name;
    if (e.m_Id >= 4000 && e.m_Id <= 4002)
        return e.m_Param1 < panel.UsedBreakers() ? panel.m_Breakers[e.m_Param1].m_Name : "";
    if (e.m_Id >= 5000 && e.m_Id <= 5003)
        return e.m_Param1 < panel.UsedSubfeeds() ? panel.m_Subfeeds[e.m_Param1].m_Name : "";
    return {};
}

EventRowView MakeEventRow(const EventRecord& e) {
    return EventRowView{EventIndexText(e.m_Index), EventTimestampText(e.m_Time),
                        FormatEventText(e)};
}

}  // namespace jvo
