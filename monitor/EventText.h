#pragma once
// The texts of an event: its description, its timestamp and its index, as the event log window
// and the event log dump show them.
#include <string>

#include "config/UnitConfig.h"
#include "link/Readings.h"

namespace jvo {

// The description of an event by its id; unknown ids give "Unknown (ID=%d, Param1=%d, Param2=%d)".
std::string FormatEventText(const EventRecord& e);

// "%02d-%02d-%02d %02d:%02d:%02d" (month, day, year modulo 100, hours, minutes, seconds) in local
// time, or "Invalid [%08x]" with the low 32 bits when the time cannot be converted.
std::string EventTimestampText(int64_t seconds);

// "[%05d]" with the event index.
std::string EventIndexText(uint16_t index);

// One row of the event log list: index, timestamp and description.
struct EventRowView {
    std::string m_Index, m_Timestamp, m_Description;
    bool operator==(const EventRowView&) const = default;
};
EventRowView MakeEventRow(const EventRecord& e);

// The name of what a panel log's event is about: the breaker's (ids 4000..4002) or the
// subfeed's (5000..5003) numbered by param1 from 0, the main feed's for the main's alarms
// (3000..3007); "" for other events, for the Service log (which names no panel) and for a number
// the panel does not have.
std::string EventSubjectName(const UnitConfig& config, int log, const EventRecord& e);

}  // namespace jvo
