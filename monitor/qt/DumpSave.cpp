// Saving a dump.
#include "monitor/qt/DumpSave.h"

#include "monitor/Dumps.h"
#include "monitor/qt/QtMonitorUi.h"
#include "qtcommon/SaveFileDialog.h"

namespace jvo::monitor::qt {

namespace {

struct DumpFile {
    const char* name;
    const char* ext;
    const char* filter;
};

DumpFile FileOf(DumpKind kind) {
    switch (kind) {
        case DumpKind::Readings:
            return {kReadingsDumpName, "csv", kReadingsDumpFilter};
        case DumpKind::EventLog:
            return {kEventLogDumpName, "csv", kEventLogDumpFilter};
        case DumpKind::ReadingsTable:
            return {"readings-table.csv", "csv", "Readings Table (*.csv)"};
        case DumpKind::TrendCsv:
            return {"trend.csv", "csv", "Trend Values (*.csv)"};
        case DumpKind::Traffic:
            return {"traffic.txt", "txt", "Text (*.txt)"};
        case DumpKind::TrendPng:
            return {"trend.png", "png", "PNG Image (*.png)"};
        case DumpKind::Config:
            break;
    }
    return {kConfigDumpName, "jvo.txt", kConfigDumpFilter};
}

// "JVO Readings Dump (*.csv)|*.csv||" -> "JVO Readings Dump (*.csv)": the shown name with its
// patterns, as the save dialog takes it.
QString DialogFilter(const std::string& filter) {
    return QString::fromStdString(filter.substr(0, filter.find('|')));
}

}  // namespace

void SaveDump(QWidget* parent, DumpKind kind, std::function<std::string()> text,
              std::function<void(const std::string&, bool)> written) {
    const DumpFile f = FileOf(kind);
    const jvo::qt::SaveFileRequest request{QStringLiteral("saveDump"), DialogFilter(f.filter),
                                           QString::fromLatin1(f.ext), QString::fromLatin1(f.name),
                                           QStringLiteral("JVO/TKA Monitor")};
    jvo::qt::ChooseSaveFile(parent, request, [parent, kind, text, written](const QString& chosen) {
        if (chosen.isEmpty()) return;
        const std::string path = chosen.toStdString();
        const bool ok = WriteDumpFile(path, text());
        if (!ok) {
            ShowMessage(parent, QString::fromStdString(CreateFileFailedText(path)), MsgButtons::Ok,
                        MsgIcon::Error, [](MsgResult) {});
        } else if (kind == DumpKind::Config) {
            ShowMessage(parent, QString::fromStdString(ConfigDumpedText(path)), MsgButtons::Ok,
                        MsgIcon::None, [](MsgResult) {});
        }
        if (written) written(path, ok);
    });
}

}  // namespace jvo::monitor::qt
