#pragma once
// The readings as one table for a spreadsheet ("Export table..."), beside the described readings
// dump: a single header line with the units in it, then one row per main feed, breaker and
// subfeed of both panels, each starting with the unit's name and the time. Fields are numbers
// without units (a period as the decimal mark), names quoted only when they must be, nothing with
// leading or trailing blanks; a current with no CT behind it is an empty field. CR LF line ends.
#include <string>

#include "config/UnitConfig.h"
#include "monitor/ReadingsStore.h"

namespace jvo {

constexpr const char* kReadingsTableHeader =
    "Unit,Time,Panel,Kind,Number,Name,Poles,Rating (A),Load (%),I1 (A),I2 (A),I3 (A),In (A),"
    "Ig (A),VLN X (V),VLN Y (V),VLN Z (V),VLL X (V),VLL Y (V),VLL Z (V),Power (W),VA,PF,"
    "Energy (kWh)\r\n";

// `time` as the rows should show it ("2026-12-09 07:45:12").
std::string ReadingsTable(const UnitConfig& config, const ReadingsSnapshot& s,
                          const std::string& time);

}  // namespace jvo
