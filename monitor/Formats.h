#pragma once
// Number and time texts shared by the monitor's readings display and its dumps.
#include <cstdint>
#include <string>

namespace jvo {

constexpr int kMonitorBuild = 25;

// A pole or phase current in the lists: four significant places at most, no unit.
// x < 10 "%.4lf", < 100 "%.3lf", < 1000 "%.2lf", < 10000 "%.1lf", otherwise "%.0lf".
std::string FormatCurrent(double amps);

// The unit clock as the main window shows it, in local time: "%02d-%s-%02d %02d:%02d:%02d" (day,
// month abbreviation, year modulo 100, hours, minutes, seconds), or "Invalid [%08X]" with the low
// 32 bits when the time cannot be converted.
std::string ClockText(int64_t seconds);

// Local calendar fields of a time; false when the time cannot be converted.
struct LocalFields {
    int m_Year = 0;   // e.g. 2026
    int m_Month = 0;  // 1..12
    int m_Day = 0;
    int m_Hour = 0;
    int m_Minute = 0;
    int m_Second = 0;
};
bool ToLocalFields(int64_t seconds, LocalFields& out);
// The year modulo 100, never negative.
inline int YearOfCentury(const LocalFields& f) {
    return (f.m_Year % 100 + 100) % 100;
}

// "Build %d" with the monitor's build number.
std::string MonitorBuildText();

}  // namespace jvo
