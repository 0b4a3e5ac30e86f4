#include "monitor/RecordControl.h"

namespace jvo {

bool RecordControl::Start(const RecordSettings& settings, std::time_t wall) {
    Stop();
    if (settings.m_Path.empty() || settings.m_IntervalS < 1 || settings.m_IntervalS > kMaxIntervalS)
        return false;
    auto writer = std::make_unique<RecordWriter>(settings.m_Path, settings.m_Split);
    if (!writer->Open(wall)) {
        writer->Discard();
        return false;
    }
    m_Settings = settings;
    m_Writer = std::move(writer);
    m_Started = false;
    m_NeedCycles = 0;  // the session's readings are current already
    m_InGap = false;
    return true;
}

void RecordControl::Stop() {
    if (m_Writer && m_Writer->Intervals() == 0) m_Writer->Discard();
    m_Writer.reset();
}

RecordControl::Tick RecordControl::OnTick(int64_t nowMs, std::time_t wall, bool fresh,
                                          uint64_t cycles, const UnitConfig& config,
                                          const ReadingsSnapshot& s) {
    if (!m_Writer) return Tick::Nothing;
    if (!m_Started) {
        m_Started = true;
        m_NextMs = nowMs;
    }
    if (!fresh) {
        m_InGap = true;
        return Tick::Nothing;
    }
    if (m_InGap) {
        // The cycle under way may hold readings from before the gap: the next one must end.
        m_InGap = false;
        m_NeedCycles = cycles + 2;
    }
    if (nowMs < m_NextMs || cycles < m_NeedCycles) return Tick::Nothing;
    if (!m_Writer->Write(config, s, wall)) {
        m_Writer.reset();
        return Tick::Failed;
    }
    const int64_t step = int64_t{m_Settings.m_IntervalS} * 1000;
    while (m_NextMs <= nowMs)
        m_NextMs += step;
    return Tick::Written;
}

}  // namespace jvo
