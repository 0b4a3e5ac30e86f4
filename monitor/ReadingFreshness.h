#pragma once
// ReadingFreshness: how old the readings the window shows are, and whether they are too old to be
// shown as live. The poll worker tells it when polling starts, when a reading was stored and when
// a poll cycle ended; any thread asks for the view.
//
// The readings are stale while none has come for 5 s or for three poll cycles, whichever is
// longer: a slow route whose cycle takes 20 s is not stale after 5 s, since each value is only
// refreshed once a cycle. The cycle length is the shortest of the last few complete cycles, so
// one cycle that waited out a lost link does not make the next loss take minutes to show.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "base/Clock.h"

namespace jvo::monitor {

struct FreshnessView {
    bool m_Stale = false;
    bool m_EverRead = false;  // a reading came since polling started
    uint64_t m_AgeMs = 0;     // since the last reading (since polling started before the first)
    bool operator==(const FreshnessView&) const = default;
};

class ReadingFreshness {
public:
    static constexpr uint64_t kMinStaleMs = 5000;
    static constexpr int kStaleCycles = 3;
    static constexpr size_t kCyclesKept = 4;

    explicit ReadingFreshness(const IClock& clock) : m_Clock(clock) {}

    // Worker side.
    void Start();
    void OnReading();
    void OnCycleDone();

    // Any thread. Before Start() nothing is stale.
    FreshnessView View() const;
    uint64_t StaleAfterMs() const;

private:
    const IClock& m_Clock;
    std::atomic<bool> m_Started{false};
    std::atomic<bool> m_EverRead{false};
    std::atomic<uint64_t> m_LastMs{0};  // the last reading, or the start
    mutable std::mutex m_Lock;          // the cycle lengths
    uint64_t m_CycleStartMs = 0;
    std::array<uint64_t, kCyclesKept> m_Cycles{};
    size_t m_CycleCount = 0;
};

// The age as the status line shows it: "data 12 s old", "data 3 min old", "data 2 h 5 min old",
// or "no readings yet" before the first reading.
std::string DataAgeText(const FreshnessView& view);

}  // namespace jvo::monitor
