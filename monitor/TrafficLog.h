#pragma once
// The monitor's view of the line, free of any window system. TrafficLog is the link's tap while
// the traffic window is open: it keeps the last transactions (a fixed ring) for the window to
// show. LineRates turns the link's two counters, sampled by the main window, into requests per
// second and failures per minute beside the data's age; it needs no tap.
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "link/LinkTap.h"

namespace jvo {

class TrafficLog final : public LinkTap {
public:
    static constexpr size_t kKept = 500;

    void OnTransaction(const TrafficEntry& entry) override;
    // Oldest first.
    std::vector<TrafficEntry> Entries() const;
    // Counts every entry taken in; a window redraws only when it moved.
    uint64_t Generation() const;
    void Clear();

private:
    mutable std::mutex m_Lock;
    std::deque<TrafficEntry> m_Entries;
    uint64_t m_Generation = 0;
};

// One row of the traffic window: every field as text.
struct TrafficRow {
    std::string m_Time;       // "07:45:12.345", local time
    std::string m_Command;    // "GetPanelReadings (133)"
    std::string m_Sequence;   // "17", or "-" through a proxy server
    std::string m_Request;    // payload bytes
    std::string m_Reply;      // payload bytes, "-" when none came
    std::string m_Code;       // "'d'", "0x15", "-"
    std::string m_Status;     // "done", "refused", "no reply", ... with the detail
    std::string m_RoundTrip;  // "12 ms"
    bool m_Failed = false;
};
TrafficRow MakeTrafficRow(const TrafficEntry& e);
// The rows as plain text, one line each, with a header (for "Save...").
std::string TrafficText(const std::vector<TrafficEntry>& entries);

class LineRates {
public:
    // The link's counters at `nowMs` (a steady clock).
    void Sample(int64_t nowMs, uint64_t transactions, uint64_t failures);
    // Over the last 5 s and the last minute of samples (or as long as there are samples).
    double RequestsPerSecond() const;
    double FailuresPerMinute() const;
    // "4.8 req/s, 0 failures/min"
    std::string Text() const;

private:
    struct Point {
        int64_t ms;
        uint64_t transactions, failures;
    };
    double Rate(int64_t windowMs, bool failures, double perMs) const;
    std::deque<Point> m_Points;  // the last minute
};

}  // namespace jvo
