#include "monitor/Formats.h"

#include <ctime>
#include <limits>

#include "base/Clock.h"
#include "base/FormatStr.h"

namespace jvo {

std::string FormatCurrent(double x) {
    if (x < 10) return FormatStr("%.4lf", x);
    if (x < 100) return FormatStr("%.3lf", x);
    if (x < 1000) return FormatStr("%.2lf", x);
    if (x < 10000) return FormatStr("%.1lf", x);
    return FormatStr("%.0lf", x);
}

bool ToLocalFields(int64_t seconds, LocalFields& out) {
    if (seconds < std::numeric_limits<time_t>::min() ||
        seconds > std::numeric_limits<time_t>::max())
        return false;
    const time_t t = static_cast<time_t>(seconds);
    struct tm tm {};
    if (!ToLocalTime(t, tm)) return false;
    out.m_Year = tm.tm_year + 1900;
    out.m_Month = tm.tm_mon + 1;
    out.m_Day = tm.tm_mday;
    out.m_Hour = tm.tm_hour;
    out.m_Minute = tm.tm_min;
    out.m_Second = tm.tm_sec;
    return true;
}

std::string ClockText(int64_t seconds) {
    static const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    LocalFields f;
    if (!ToLocalFields(seconds, f))
        return FormatStr("Invalid [%08X]", static_cast<uint32_t>(seconds & 0xFFFFFFFF));
    return FormatStr("%02d-%s-%02d %02d:%02d:%02d", f.m_Day, kMonths[f.m_Month - 1],
                     YearOfCentury(f), f.m_Hour, f.m_Minute, f.m_Second);
}

std::string MonitorBuildText() {
    return FormatStr("Build %d", kMonitorBuild);
}

}  // namespace jvo
