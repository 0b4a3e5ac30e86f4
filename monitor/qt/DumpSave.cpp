// Saving a dump.
#include "monitor/qt/DumpSave.h"

#include <QFileDialog>
#include <QFileInfo>

#include "monitor/Dumps.h"
#include "monitor/qt/QtMonitorUi.h"
#include "qtcommon/LastFolder.h"

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

// A name typed without the dump's whole extension ("jvo.txt") gets it.
std::string WithExtension(std::string path, const std::string& ext) {
    const std::string tail = "." + ext;
    if (path.size() < tail.size() || path.compare(path.size() - tail.size(), tail.size(), tail))
        path += tail;
    return path;
}

}  // namespace

void SaveDump(QWidget* parent, DumpKind kind, std::function<std::string()> text,
              std::function<void(const std::string&, bool)> written) {
    const DumpFile f = FileOf(kind);
    auto* d = new QFileDialog(parent);
    d->setObjectName(QStringLiteral("saveDump"));
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    d->setNameFilter(DialogFilter(f.filter));
    d->setDefaultSuffix(QString::fromLatin1(f.ext));
    d->setDirectory(jvo::qt::LastFolder());
    d->selectFile(QString::fromLatin1(f.name));
    d->setWindowModality(Qt::ApplicationModal);
    d->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(d, &QFileDialog::finished, parent, [d, parent, kind, f, text, written](int r) {
        if (r != QDialog::Accepted || d->selectedFiles().isEmpty()) return;
        const std::string path = QFileInfo(QString::fromStdString(WithExtension(
                                               d->selectedFiles().front().toStdString(), f.ext)))
                                     .absoluteFilePath()
                                     .toStdString();
        jvo::qt::RememberFolderOf(QString::fromStdString(path));
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
    d->open();
}

}  // namespace jvo::monitor::qt
