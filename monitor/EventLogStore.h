#pragma once
// One of the monitor's three event logs (0 Panel A, 1 Panel B, 2 Service) as copied from the unit:
// the count reported at connect, the index of the last event read, and the events in the order
// they were appended (oldest first). Everything is under the store's own lock; the poll worker
// appends, windows and dumps copy the list out.
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "link/Readings.h"

namespace jvo {

constexpr int kEventLogCount = 3;
constexpr uint16_t kEventLogFormatted = 1000;  // "Event Log Formatted": the unit emptied the log

class EventLogStore {
public:
    // At connect: the unit's count and newest index. The newest index becomes the last one read.
    void Start(uint16_t count, uint16_t newest);
    uint16_t Count() const;
    uint16_t LastIndex() const;
    // Moves the last-read index on by one (65535 is followed by 0) and returns the new index.
    uint16_t AdvanceIndex();
    // Sets the last-read index, so that reading goes on after `index` (resynchronising).
    void Resume(uint16_t index);
    // True when the unit's state cannot follow on from the last-read index: more events lie
    // between it and the unit's newest (modulo 65536) than the unit holds, as after a restart
    // whose newest index is lower, or a log that ran on by more than it keeps.
    bool OutOfStep(uint16_t count, uint16_t newest) const;
    // The event appended last, if any.
    std::optional<EventRecord> Newest() const;

    // An event of the first read at connect: appended as it is.
    void AppendInitial(const EventRecord& e);
    // An event read by the poll cycle: one with id 1000 empties the list before it is appended.
    void AppendPolled(const EventRecord& e);

    std::vector<EventRecord> Events() const;
    size_t Size() const;
    // Counts every change of the list.
    uint64_t Generation() const;

    // The indexes the first read at connect fetches, oldest first: the `count` indexes ending at
    // `newest`, in 16-bit arithmetic (so they may run across 65535 to 0). None for a count of 0.
    static std::vector<uint16_t> InitialIndexes(uint16_t count, uint16_t newest);
    // True when the unit holds `index`: it is one of the `count` indexes ending at `newest`.
    static bool Holds(uint16_t index, uint16_t count, uint16_t newest);

private:
    mutable std::mutex m_Lock;
    uint16_t m_Count = 0;
    uint16_t m_LastIndex = 0;
    std::vector<EventRecord> m_Events;
    uint64_t m_Generation = 0;
};

}  // namespace jvo
