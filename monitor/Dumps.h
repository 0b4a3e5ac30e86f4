#pragma once
// The monitor's three files, as text whose every line ends in CR LF: the readings CSV of both
// panels, the configuration listing and the event log CSV. The windows and jvoctl both write them
// with WriteDumpFile.
#include <array>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "monitor/EventLogStore.h"
#include "monitor/ReadingsStore.h"

namespace jvo {

// Panel A then panel B, whichever panel a window shows. A name holding a comma, a double quote,
// a CR or an LF is written in double quotes with its double quotes doubled; names the format puts
// in quotes anyway get their double quotes doubled.
std::string ReadingsDump(const UnitConfig& config, const ReadingsSnapshot& s);

// The configuration listing with the names cleaned as at load.
std::string MonitorConfigDump(const UnitConfig& config);

// Panel A and Panel B, then the Service log for a service user only.
std::string EventLogDump(const std::array<std::vector<EventRecord>, kEventLogCount>& logs,
                         bool serviceUser);
// The same from the stores, each copied under its own lock.
std::string EventLogDump(const std::array<EventLogStore, kEventLogCount>& logs, bool serviceUser);

// "\n" becomes "\r\n".
std::string WithCrLf(const std::string& text);

// A name as one CSV field: quoted (RFC 4180) only when it holds a comma, a double quote, a CR or
// an LF. QuotedCsvField always quotes.
std::string CsvField(const std::string& name);
std::string QuotedCsvField(const std::string& name);

// Writes `text` as it is to `path`, through a new file beside it that replaces `path` only once
// complete: a failure leaves no file, or the earlier one untouched, and anything but a regular
// file (a device, a FIFO) is refused (base/ReplaceFile.h).
bool WriteDumpFile(const std::string& path, const std::string& text);

// The save dialogs' proposals and the messages around a dump.
constexpr const char* kReadingsDumpName = "readings.csv";
constexpr const char* kReadingsDumpFilter = "JVO Readings Dump (*.csv)|*.csv||";
constexpr const char* kConfigDumpName = "config.jvo.txt";
constexpr const char* kConfigDumpFilter = "JVO Config Dump (*.jvo.txt)|*.jvo.txt||";
constexpr const char* kEventLogDumpName = "eventlog.csv";
constexpr const char* kEventLogDumpFilter = "JVO Event Log Dump (*.csv)|*.csv||";
std::string CreateFileFailedText(const std::string& path);  // "Could not create output file: %s"
std::string ConfigDumpedText(
    const std::string& path);  // "Successfully dumped configuration to: %s"

}  // namespace jvo
