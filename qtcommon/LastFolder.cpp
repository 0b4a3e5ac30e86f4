#include "qtcommon/LastFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace jvo::qt {

namespace {

const QString kKey = QStringLiteral("files/lastFolder");

QSettings ProgramSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("jvo"),
                     QCoreApplication::applicationName());
}

}  // namespace

QString LastFolder() {
    const QString last = ProgramSettings().value(kKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir()) return last;
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(docs).isDir() ? docs : QDir::homePath();
}

void RememberFolderOf(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (folder.isEmpty()) return;
    QSettings settings = ProgramSettings();
    if (settings.value(kKey).toString() == folder) return;
    settings.setValue(kKey, folder);
    settings.sync();
}

}  // namespace jvo::qt
