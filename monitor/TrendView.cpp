#include "monitor/TrendView.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "monitor/Dumps.h"
#include "monitor/ReadingsRecord.h"

namespace jvo {

namespace {

// 1, 2 or 5 times a power of ten, the smallest not below x (x > 0).
double NiceStep(double x) {
    const double p = std::pow(10.0, std::floor(std::log10(x)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * p >= x * (1 - 1e-9)) return m * p;
    return 10 * p;
}

AxisScale Aligned(double lo, double hi, double step, int decimals) {
    AxisScale a;
    a.step = step;
    a.lo = std::floor(lo / step + 1e-9) * step;
    a.hi = std::ceil(hi / step - 1e-9) * step;
    if (a.hi <= a.lo) a.hi = a.lo + step;
    a.ticks = static_cast<int>(std::lround((a.hi - a.lo) / step)) + 1;
    a.decimals = decimals;
    return a;
}

}  // namespace

AxisScale NiceScale(double lo, double hi, int maxTicks) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) lo = hi = 0;
    if (hi < lo) std::swap(lo, hi);
    if (hi - lo < 1e-6) hi = lo + std::max(1.0, std::fabs(lo) * 0.1);  // a flat line
    const int intervals = std::max(1, maxTicks - 1);
    double step = NiceStep((hi - lo) / intervals);
    AxisScale a = Aligned(lo, hi, step, 0);
    while (a.ticks > maxTicks) {  // the aligned ends took one interval more
        step = NiceStep(step * 1.01);
        a = Aligned(lo, hi, step, 0);
    }
    a.decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    return a;
}

AxisScale TimeScale(int64_t loMs, int64_t hiMs, int maxTicks) {
    static constexpr int64_t kSteps[] = {1,   2,   5,   10,   15,   30,   60,   120,
                                         300, 600, 900, 1800, 3600, 7200, 14400};
    if (hiMs < loMs) std::swap(loMs, hiMs);
    const double span = static_cast<double>(std::max<int64_t>(hiMs - loMs, 1000));
    AxisScale a;
    for (const int64_t s : kSteps) {
        a = Aligned(static_cast<double>(loMs), static_cast<double>(loMs) + span,
                    static_cast<double>(s * 1000), 0);
        if (a.ticks <= maxTicks) break;
    }
    return a;
}

std::vector<TrendLine> TrendLines(const TrendBuffer& trend, const UnitConfig& config, int panel,
                                  int breaker) {
    std::vector<TrendLine> lines;
    if (panel < 0 || panel >= kPanelCount) return lines;
    const PanelRecord& rec = config.m_Panels[panel];
    if (breaker >= 0 && breaker < rec.UsedBreakers()) {
        const BreakerRecord& b = rec.m_Breakers[breaker];
        for (int j = 0; j < b.m_Poles && j < 3; ++j)
            if (IsChannel(b.m_Ct[j]))
                lines.push_back(
                    {"I" + std::to_string(j + 1), false, trend.BreakerPole(panel, breaker, j)});
    }
    const std::string prefix = std::string("Panel ") + static_cast<char>('A' + panel) + ' ';
    for (int ph = 0; ph < 3; ++ph)
        lines.push_back({prefix + static_cast<char>('X' + ph), true, trend.PanelPhase(panel, ph)});
    return lines;
}

std::optional<double> AlarmAmps(const UnitConfig& config, int panel, int breaker) {
    if (panel < 0 || panel >= kPanelCount) return std::nullopt;
    const PanelRecord& rec = config.m_Panels[panel];
    if (breaker < 0 || breaker >= rec.UsedBreakers()) return std::nullopt;
    const BreakerRecord& b = rec.m_Breakers[breaker];
    if (b.m_OcAlarm == 0 || b.m_Rating == 0) return std::nullopt;
    return b.m_Rating * (b.m_OcAlarm / 100.0);
}

void TrendView::ZoomTo(int64_t loMs, int64_t hiMs) {
    if (hiMs < loMs) std::swap(loMs, hiMs);
    if (hiMs - loMs < kMinSpanMs) {
        const int64_t mid = loMs + (hiMs - loMs) / 2;
        loMs = mid - kMinSpanMs / 2;
        hiMs = loMs + kMinSpanMs;
    }
    m_Zoomed = true;
    m_Lo = loMs;
    m_Hi = hiMs;
}

void TrendView::ZoomOut() {
    if (!m_Zoomed) return;
    const int64_t span = m_Hi - m_Lo;
    if (span * 2 >= TrendBuffer::kSpanMs) {
        Live();
        return;
    }
    const int64_t mid = m_Lo + span / 2;
    m_Lo = mid - span;
    m_Hi = mid + span;
}

TrendRanges TrendView::Fit(const std::vector<TrendLine>& lines, std::optional<double> alarmAmps,
                           int64_t nowMs) const {
    int64_t lo = INT64_MAX, hi = INT64_MIN;
    for (const TrendLine& l : lines)
        for (const TrendPoint& p : l.m_Points) {
            lo = std::min(lo, p.m_TimeMs);
            hi = std::max(hi, p.m_TimeMs);
        }
    if (m_Zoomed) {
        lo = m_Lo;
        hi = m_Hi;
    } else if (lo > hi) {  // nothing yet: the last minute
        hi = nowMs;
        lo = hi - kLiveSpanMs;
    } else if (hi - lo < kLiveSpanMs) {
        hi = lo + kLiveSpanMs;
    }
    // Each current axis over the values shown; it starts at 0 unless the values stay well above.
    double minOf[2] = {INFINITY, INFINITY}, maxOf[2] = {-INFINITY, -INFINITY};
    for (const TrendLine& l : lines) {
        const int side = l.m_Panel ? 1 : 0;
        for (const TrendPoint& p : l.m_Points) {
            if (p.m_TimeMs < lo || p.m_TimeMs > hi) continue;
            minOf[side] = std::min(minOf[side], static_cast<double>(p.m_Amps));
            maxOf[side] = std::max(maxOf[side], static_cast<double>(p.m_Amps));
        }
    }
    if (alarmAmps) {
        minOf[0] = std::min(minOf[0], *alarmAmps);
        maxOf[0] = std::max(maxOf[0], *alarmAmps);
    }
    AxisScale amps[2];
    for (int side = 0; side < 2; ++side) {
        double a = minOf[side], b = maxOf[side];
        if (a > b) a = b = 0;
        if (a > 0 && a < 0.5 * b) a = 0;
        if (b <= 0 && a >= 0) b = 1;
        amps[side] = NiceScale(a, b);
    }
    return {TimeScale(lo, hi), amps[0], amps[1]};
}

std::vector<std::optional<float>> ValuesAt(const std::vector<TrendLine>& lines, int64_t timeMs,
                                           int64_t withinMs) {
    std::vector<std::optional<float>> values;
    for (const TrendLine& l : lines) {
        std::optional<float> v;
        int64_t best = withinMs + 1;
        const auto it =
            std::lower_bound(l.m_Points.begin(), l.m_Points.end(), timeMs,
                             [](const TrendPoint& p, int64_t t) { return p.m_TimeMs < t; });
        for (auto c = it == l.m_Points.begin() ? it : it - 1; c != l.m_Points.end() && c <= it;
             ++c) {
            const int64_t d = std::llabs(c->m_TimeMs - timeMs);
            if (d < best) {
                best = d;
                v = c->m_Amps;
            }
        }
        values.push_back(v);
    }
    return values;
}

std::string ReadoutText(const std::vector<TrendLine>& lines,
                        const std::vector<std::optional<float>>& values) {
    std::string out;
    for (size_t k = 0; k < lines.size() && k < values.size(); ++k) {
        if (!values[k]) continue;
        if (!out.empty()) out += "   ";
        out += lines[k].m_Name + ' ' + CsvNumber(*values[k], *values[k] < 100 ? 1 : 0) + " A";
    }
    return out;
}

std::string TrendCsv(const std::vector<TrendLine>& lines) {
    std::map<int64_t, std::vector<std::string>> rows;
    for (size_t k = 0; k < lines.size(); ++k)
        for (const TrendPoint& p : lines[k].m_Points) {
            std::vector<std::string>& row = rows[p.m_TimeMs];
            row.resize(lines.size());
            row[k] = CsvNumber(p.m_Amps, 3);
        }
    std::string out = "time";
    for (const TrendLine& l : lines)
        out += ',' + CsvField(l.m_Name + " (A)");
    out += "\r\n";
    for (const auto& [t, row] : rows) {
        out += IsoTimeMs(t);
        for (const std::string& v : row)
            out += ',' + v;
        out += "\r\n";
    }
    return out;
}

}  // namespace jvo
