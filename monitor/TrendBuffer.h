#pragma once
// TrendBuffer: the last hour of currents for the trend window, free of any window system. The
// window side calls OnPanelReadings for each WM_APP_PANEL_READINGS it takes; at most one frame per
// step (1 s) is kept per panel: the current of every breaker pole and of the three main-feed
// phases, from the CT readings the snapshot holds. Frames older than the span (1 h) before the
// newest are dropped; the store is a fixed ring, so an hour costs the same however long the
// session runs. A gap (the readings went stale) breaks the lines: the first frame after it is
// marked, so that nothing is drawn across the time without data. Used on one thread (the UI
// thread); it has no lock.
#include <array>
#include <cstdint>
#include <vector>

#include "config/UnitConfig.h"
#include "monitor/ReadingsStore.h"

namespace jvo {

struct TrendPoint {
    int64_t m_TimeMs = 0;  // the caller's clock (the window passes milliseconds since 1970)
    float m_Amps = 0;
    bool m_Break = false;  // no data between the point before and this one: the line breaks
    bool operator==(const TrendPoint&) const = default;
};

class TrendBuffer {
public:
    static constexpr int64_t kSpanMs = 3600 * 1000;
    static constexpr int64_t kStepMs = 1000;

    explicit TrendBuffer(int64_t spanMs = kSpanMs, int64_t stepMs = kStepMs);

    // Keeps a frame of `panel` taken at `nowMs` unless one was kept less than a step before.
    // True when a frame was kept. A clock that went back starts the panel's history afresh.
    bool OnPanelReadings(int panel, int64_t nowMs, const UnitConfig& config,
                         const ReadingsSnapshot& s);

    // The readings stopped: the next frame of each panel starts a new piece of its lines.
    void MarkGap();

    // Oldest first. A pole without a CT (or beyond the breaker's poles) has no points.
    std::vector<TrendPoint> BreakerPole(int panel, int index, int pole) const;
    std::vector<TrendPoint> PanelPhase(int panel, int phase) const;
    size_t Frames(int panel) const;
    // Counts every kept frame; a window redraws only when it moved.
    uint64_t Generation() const { return m_Generation; }
    void Clear();

private:
    struct Frame {
        int64_t m_TimeMs = 0;
        std::array<float, kMaxBreakers * 3> m_Poles{};  // NaN where there is no CT
        std::array<float, 3> m_Phases{};
        bool m_Break = false;
    };
    struct Ring {
        std::vector<Frame> m_Frames;  // capacity frames, m_Count of them in use from m_Head
        size_t m_Head = 0;            // the oldest
        size_t m_Count = 0;
        const Frame& At(size_t i) const { return m_Frames[(m_Head + i) % m_Frames.size()]; }
    };
    template <class Fn>
    std::vector<TrendPoint> Series(int panel, Fn&& value) const;

    const int64_t m_SpanMs;
    const int64_t m_StepMs;
    std::array<Ring, kPanelCount> m_Rings;
    std::array<bool, kPanelCount> m_GapPending{};
    uint64_t m_Generation = 0;
};

}  // namespace jvo
