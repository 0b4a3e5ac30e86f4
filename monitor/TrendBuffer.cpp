#include "monitor/TrendBuffer.h"

#include <cmath>
#include <limits>

#include "monitor/DisplayModel.h"

namespace jvo {

namespace {
constexpr float kNoCt = std::numeric_limits<float>::quiet_NaN();
}

TrendBuffer::TrendBuffer(int64_t spanMs, int64_t stepMs)
    : m_SpanMs(spanMs), m_StepMs(stepMs > 0 ? stepMs : 1) {
    const size_t capacity = static_cast<size_t>(m_SpanMs / m_StepMs) + 1;
    for (Ring& r : m_Rings)
        r.m_Frames.resize(capacity);
}

bool TrendBuffer::OnPanelReadings(int panel, int64_t nowMs, const UnitConfig& config,
                                  const ReadingsSnapshot& s) {
    if (panel < 0 || panel >= kPanelCount) return false;
    Ring& ring = m_Rings[panel];
    if (ring.m_Count > 0) {
        const int64_t newest = ring.At(ring.m_Count - 1).m_TimeMs;
        if (nowMs < newest) {
            ring.m_Count = 0;
        } else if (nowMs - newest < m_StepMs) {
            return false;
        }
    }
    // Drop what falls out of the span, then make room.
    while (ring.m_Count > 0 && nowMs - ring.At(0).m_TimeMs > m_SpanMs) {
        ring.m_Head = (ring.m_Head + 1) % ring.m_Frames.size();
        --ring.m_Count;
    }
    if (ring.m_Count == ring.m_Frames.size()) {
        ring.m_Head = (ring.m_Head + 1) % ring.m_Frames.size();
        --ring.m_Count;
    }
    Frame& f = ring.m_Frames[(ring.m_Head + ring.m_Count) % ring.m_Frames.size()];
    ++ring.m_Count;
    f.m_TimeMs = nowMs;
    f.m_Break = m_GapPending[panel];
    m_GapPending[panel] = false;
    const PanelRecord& rec = config.m_Panels[panel];
    f.m_Poles.fill(kNoCt);
    for (int i = 0; i < rec.UsedBreakers(); ++i)
        for (int j = 0; j < rec.m_Breakers[i].m_Poles && j < 3; ++j)
            if (const CtReading* ct = CtFor(s, rec.m_Breakers[i].m_Ct[j]))
                f.m_Poles[i * 3 + j] = ct->m_IRms;
    for (int ph = 0; ph < 3; ++ph) {
        const CtReading* ct = CtFor(s, rec.m_MainFeed.m_Ct[ph]);
        f.m_Phases[ph] = ct ? ct->m_IRms : kNoCt;
    }
    ++m_Generation;
    return true;
}

template <class Fn>
std::vector<TrendPoint> TrendBuffer::Series(int panel, Fn&& value) const {
    std::vector<TrendPoint> points;
    if (panel < 0 || panel >= kPanelCount) return points;
    const Ring& ring = m_Rings[panel];
    points.reserve(ring.m_Count);
    bool broken = false;  // a break on a frame without a value moves to the next point
    for (size_t i = 0; i < ring.m_Count; ++i) {
        const Frame& f = ring.At(i);
        const float v = value(f);
        broken = broken || f.m_Break;
        if (std::isnan(v)) continue;
        points.push_back({f.m_TimeMs, v, broken && !points.empty()});
        broken = false;
    }
    return points;
}

std::vector<TrendPoint> TrendBuffer::BreakerPole(int panel, int index, int pole) const {
    if (index < 0 || index >= kMaxBreakers || pole < 0 || pole >= 3) return {};
    return Series(panel, [&](const Frame& f) { return f.m_Poles[index * 3 + pole]; });
}

std::vector<TrendPoint> TrendBuffer::PanelPhase(int panel, int phase) const {
    if (phase < 0 || phase >= 3) return {};
    return Series(panel, [&](const Frame& f) { return f.m_Phases[phase]; });
}

size_t TrendBuffer::Frames(int panel) const {
    return panel >= 0 && panel < kPanelCount ? m_Rings[panel].m_Count : 0;
}

void TrendBuffer::MarkGap() {
    m_GapPending.fill(true);
}

void TrendBuffer::Clear() {
    m_GapPending.fill(false);
    for (Ring& r : m_Rings) {
        r.m_Head = 0;
        r.m_Count = 0;
    }
    ++m_Generation;
}

}  // namespace jvo
