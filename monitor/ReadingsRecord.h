#pragma once
// The readings record: the CSV that `jvoctl record` and the monitor's File > Record... both
// append to, one set of rows per interval (per panel the main feed's phases, each breaker's poles
// and each subfeed's phases), in one format written by this one writer:
//   time,panel,kind,number,name,pole,current_a,power_w,va,pf,kwh
// time is UTC (ISO 8601); numbers have a period as the decimal mark whatever the locale.
#include <cstdint>
#include <ctime>
#include <string>

#include "config/UnitConfig.h"
#include "monitor/ReadingsStore.h"

namespace jvo {

constexpr const char* kRecordHeader =
    "time,panel,kind,number,name,pole,current_a,power_w,va,pf,kwh\r\n";

// One interval's rows, each ending in CR LF.
std::string RecordRows(const UnitConfig& config, const ReadingsSnapshot& s,
                       const std::string& time);

// "2026-12-09T07:45:12Z"; IsoTimeMs takes milliseconds since 1970 (and drops them).
std::string IsoTime(std::time_t t);
std::string IsoTimeMs(int64_t ms);
// A number with `decimals` decimals and a period as the decimal mark.
std::string CsvNumber(double value, int decimals);

}  // namespace jvo
