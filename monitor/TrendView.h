#pragma once
// TrendView: what the trend window shows of the kept hour, free of any window system: the lines
// of a breaker (its poles, solid, on the left axis) and of its panel's phases (dashed, on the
// right), the breaker's over-current alarm threshold, axes scaled to the data with round ticks,
// a zoomed time window or the live one, the values at a time for the cursor readout, and the
// lines as CSV.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "monitor/TrendBuffer.h"

namespace jvo {

// An axis from lo to hi with a tick every step (ticks marks in all, both ends included), each
// label with `decimals` decimals.
struct AxisScale {
    double lo = 0;
    double hi = 1;
    double step = 1;
    int ticks = 2;
    int decimals = 0;
};

// Round ticks (1, 2 or 5 times a power of ten) over at least [lo, hi], at most maxTicks of them.
AxisScale NiceScale(double lo, double hi, int maxTicks = 7);
// Round times (1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1 h) over at least [loMs, hiMs].
AxisScale TimeScale(int64_t loMs, int64_t hiMs, int maxTicks = 7);

struct TrendLine {
    std::string m_Name;    // "I1", "Panel A X"
    bool m_Panel = false;  // a panel phase: dashed, on the right axis
    std::vector<TrendPoint> m_Points;
};

// The breaker's poles with a CT, then the panel's phases X, Y, Z, from the buffer.
std::vector<TrendLine> TrendLines(const TrendBuffer& trend, const UnitConfig& config, int panel,
                                  int breaker);
// The breaker's over-current alarm level in amperes (its rating times its alarm percentage), or
// nothing when it has none.
std::optional<double> AlarmAmps(const UnitConfig& config, int panel, int breaker);

struct TrendRanges {
    AxisScale m_Time;   // milliseconds since 1970
    AxisScale m_Left;   // the breaker's amperes (the threshold included)
    AxisScale m_Right;  // the panel phases' amperes
};

class TrendView {
public:
    static constexpr int64_t kMinSpanMs = 10'000;   // the narrowest zoom
    static constexpr int64_t kLiveSpanMs = 60'000;  // the narrowest live window

    // Shows [loMs, hiMs] (widened to kMinSpanMs) until Live().
    void ZoomTo(int64_t loMs, int64_t hiMs);
    // Twice as wide around the middle; back to live once it would cover the whole hour.
    void ZoomOut();
    void Live() { m_Zoomed = false; }
    bool Zoomed() const { return m_Zoomed; }

    // The axes for these lines: the zoomed window or all the data (at least the last minute
    // before nowMs when there is none), each current axis fitted to the values inside it.
    TrendRanges Fit(const std::vector<TrendLine>& lines, std::optional<double> alarmAmps,
                    int64_t nowMs) const;

private:
    bool m_Zoomed = false;
    int64_t m_Lo = 0;
    int64_t m_Hi = 0;
};

// The value of each line at the point nearest `timeMs` within `withinMs`, if any.
std::vector<std::optional<float>> ValuesAt(const std::vector<TrendLine>& lines, int64_t timeMs,
                                           int64_t withinMs);
// "I1 12.3 A   Panel A X 148 A ...": the readout of ValuesAt(), lines without a value left out.
std::string ReadoutText(const std::vector<TrendLine>& lines,
                        const std::vector<std::optional<float>>& values);

// One row per time any line has a point: "time,<names...>" with the time in UTC (ISO 8601) and
// amperes with three decimals, empty where a line has no point; CR LF line ends.
std::string TrendCsv(const std::vector<TrendLine>& lines);

}  // namespace jvo
