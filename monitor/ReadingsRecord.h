#pragma once
// The readings record: the CSV that `jvoctl record` and the monitor's File > Record... both
// append to, one set of rows per interval (per panel the main feed's phases, each breaker's poles
// and each subfeed's phases), in one format written by this one writer:
//   time,panel,kind,number,name,pole,current_a,power_w,va,pf,kwh
// time is UTC (ISO 8601); numbers have a period as the decimal mark whatever the locale.
// RecordWriter appends each interval in one write flushed to the disk, to one file or to a file
// per hour or per day.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

#include "config/UnitConfig.h"
#include "monitor/ReadingsStore.h"

namespace jvo {
class AppendFile;
}

namespace jvo {

constexpr const char* kRecordHeader =
    "time,panel,kind,number,name,pole,current_a,power_w,va,pf,kwh\r\n";

// One interval's rows, each ending in CR LF.
std::string RecordRows(const UnitConfig& config, const ReadingsSnapshot& s,
                       const std::string& time);

// "2026-12-09T07:45:12Z"; IsoTimeMs takes milliseconds since 1970 (and drops them).
std::string IsoTime(std::time_t t);
std::string IsoTimeMs(int64_t ms);
// A number with `decimals` decimals and a period as the decimal mark.
std::string CsvNumber(double value, int decimals);

enum class RecordSplit { None, Hourly, Daily };

// The file an interval at `t` goes to: `path` itself, or with the UTC hour or day before its
// extension ("rec.csv" -> "rec-2026-12-09T07.csv", "rec-2026-12-09.csv").
std::string RecordFileFor(const std::string& path, RecordSplit split, std::time_t t);

class RecordWriter {
public:
    RecordWriter(std::string path, RecordSplit split);
    ~RecordWriter();
    RecordWriter(const RecordWriter&) = delete;
    RecordWriter& operator=(const RecordWriter&) = delete;

    // Opens the file for `t` now (so that a file that cannot be written is told at the start).
    // The header goes only to a new or empty file; a file cut off in the middle of a row (a
    // power loss while it was written) gets that row ended first.
    bool Open(std::time_t t);
    // One interval's rows at `t`, to the file of its hour or day (opened when it changes).
    bool Write(const UnitConfig& config, const ReadingsSnapshot& s, std::time_t t);
    // Undoes Open() when nothing was recorded: a file it created is removed, an empty one is
    // left empty.
    void Discard();
    // The file written last (or opened).
    const std::string& File() const { return m_File; }
    int64_t Intervals() const { return m_Intervals; }

private:
    bool OpenFile(const std::string& file);

    const std::string m_Path;
    const RecordSplit m_Split;
    std::unique_ptr<AppendFile> m_Out;
    std::string m_File;
    bool m_HeaderOnly = false;  // the file holds no more than the header Open() wrote
    int64_t m_Intervals = 0;
};

}  // namespace jvo
