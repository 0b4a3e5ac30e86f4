#include "monitor/ReadingFreshness.h"

#include <algorithm>

#include "base/FormatStr.h"

namespace jvo::monitor {

void ReadingFreshness::Start() {
    const uint64_t now = m_Clock.NowMs();
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_CycleStartMs = now;
        m_CycleCount = 0;
    }
    m_EverRead = false;
    m_LastMs = now;
    m_Started = true;
}

void ReadingFreshness::OnReading() {
    m_LastMs = m_Clock.NowMs();
    m_EverRead = true;
}

void ReadingFreshness::OnCycleDone() {
    const uint64_t now = m_Clock.NowMs();
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Cycles[m_CycleCount % kCyclesKept] = now - m_CycleStartMs;
    ++m_CycleCount;
    m_CycleStartMs = now;
}

uint64_t ReadingFreshness::StaleAfterMs() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    const size_t n = std::min(m_CycleCount, kCyclesKept);
    if (n == 0) return kMinStaleMs;
    const uint64_t cycle = *std::min_element(m_Cycles.begin(), m_Cycles.begin() + n);
    return std::max(kMinStaleMs, kStaleCycles * cycle);
}

FreshnessView ReadingFreshness::View() const {
    FreshnessView v;
    if (!m_Started.load()) return v;
    const uint64_t now = m_Clock.NowMs();
    const uint64_t last = m_LastMs.load();
    v.m_EverRead = m_EverRead.load();
    v.m_AgeMs = now > last ? now - last : 0;
    v.m_Stale = v.m_AgeMs > StaleAfterMs();
    return v;
}

std::string DataAgeText(const FreshnessView& view) {
    if (!view.m_EverRead) return "no readings yet";
    const uint64_t s = view.m_AgeMs / 1000;
    if (s < 120) return FormatStr("data %u s old", static_cast<unsigned>(s));
    if (s < 7200) return FormatStr("data %u min old", static_cast<unsigned>(s / 60));
    return FormatStr("data %u h %u min old", static_cast<unsigned>(s / 3600),
                     static_cast<unsigned>(s / 60 % 60));
}

}  // namespace jvo::monitor
