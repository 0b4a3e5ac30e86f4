#pragma once
// RecordControl: the monitor's File > Record..., free of any window system. While it runs, every
// interval it appends the readings the session holds through the readings record's writer (the
// format of `jvoctl record`), to one file or a file per hour or day. As jvoctl does, it writes
// only fresh readings: nothing while the link is lost or the unit does not answer, and after
// such a gap (or the start) not before a whole poll cycle has come in; intervals missed in a gap
// are skipped. A run that wrote nothing leaves no file behind (an empty file given stays empty).
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "config/UnitConfig.h"
#include "monitor/ReadingsRecord.h"
#include "monitor/ReadingsStore.h"

namespace jvo {

struct RecordSettings {
    std::string m_Path;
    int m_IntervalS = 10;
    RecordSplit m_Split = RecordSplit::None;
};

class RecordControl {
public:
    static constexpr int kMaxIntervalS = 24 * 3600;

    // Opens the file (for `wall`); false when it cannot be written or the interval is not 1 s
    // to a day.
    bool Start(const RecordSettings& settings, std::time_t wall);
    void Stop();
    bool Running() const { return m_Writer != nullptr; }

    enum class Tick { Nothing, Written, Failed };
    // `nowMs` a steady clock; `fresh` the readings are current (no lost link, a unit that
    // answers); `cycles` the worker's completed poll cycles. Failed stops the recording.
    Tick OnTick(int64_t nowMs, std::time_t wall, bool fresh, uint64_t cycles,
                const UnitConfig& config, const ReadingsSnapshot& s);

    const RecordSettings& Settings() const { return m_Settings; }
    // The file written last, and how many intervals this run wrote.
    std::string File() const { return m_Writer ? m_Writer->File() : std::string(); }
    int64_t Intervals() const { return m_Writer ? m_Writer->Intervals() : 0; }

private:
    RecordSettings m_Settings;
    std::unique_ptr<RecordWriter> m_Writer;
    int64_t m_NextMs = 0;
    bool m_Started = false;  // m_NextMs holds the first tick's time
    uint64_t m_NeedCycles = 0;
    bool m_InGap = false;
};

}  // namespace jvo
