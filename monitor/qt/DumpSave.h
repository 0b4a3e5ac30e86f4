#pragma once
// The save dialogs of the dumps and the other files the monitor writes on request (the readings
// table, the trend's values and picture): the proposed name, extension and filter of each,
// starting in the last folder used and asking before an existing file is replaced; then the file
// is written, or "Could not create output file: %s" is shown. The configuration dump reports its
// success; the others are silent.
#include <functional>
#include <string>

class QWidget;

namespace jvo::monitor::qt {

enum class DumpKind { Readings, EventLog, Config, ReadingsTable, TrendCsv, TrendPng, Traffic };

// Opens the save dialog (without a nested loop); `text` is asked for the contents (the bytes
// written as they are) once a file was chosen. `written` (optional) gets the path and whether the
// file was written.
void SaveDump(QWidget* parent, DumpKind kind, std::function<std::string()> text,
              std::function<void(const std::string&, bool)> written = {});

}  // namespace jvo::monitor::qt
