#include "qtcommon/LastFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "qtcommon/ProgramSettings.h"

namespace jvo::qt {

namespace {

const QString kKey = QStringLiteral("files/lastFolder");

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
