#include "qtcommon/SaveFileDialog.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "base/SaveName.h"
#include "qtcommon/LastFolder.h"

namespace jvo::qt {

namespace {

// Asks whether `path` may be replaced; Yes gives it to `chosen`, No opens the dialog again with
// `next`, offering the same name.
void AskReplace(QWidget* parent, SaveFileRequest next, const QString& path,
                std::function<void(const QString&)> chosen) {
    const QString text = QCoreApplication::translate(
                             "SaveFileDialog", "%1 already exists.\nDo you want to replace it?")
                             .arg(QFileInfo(path).fileName());
    auto* box = new QMessageBox(QMessageBox::Warning, next.title, text,
                                QMessageBox::Yes | QMessageBox::No, parent);
    box->setObjectName(QStringLiteral("replaceFile"));
    box->setDefaultButton(QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, parent, [=, next = std::move(next)]() mutable {
        if (box->standardButton(box->clickedButton()) == QMessageBox::Yes) {
            chosen(path);
            return;
        }
        next.proposed = path;
        ChooseSaveFile(parent, next, chosen);
    });
    box->open();
}

}  // namespace

void ChooseSaveFile(QWidget* parent, const SaveFileRequest& request,
                    std::function<void(const QString&)> chosen) {
    auto* d = new QFileDialog(parent);
    d->setObjectName(request.objectName);
    d->setAcceptMode(QFileDialog::AcceptSave);
    d->setFileMode(QFileDialog::AnyFile);
    d->setNameFilter(request.filter);
    // The dialog neither adds the extension nor asks about replacing: both are done below, on
    // the name that is written.
    d->setOption(QFileDialog::DontConfirmOverwrite);
    // It starts in the folder last used, unless the name offered has a folder of its own.
    if (!QFileInfo(request.proposed).isAbsolute()) d->setDirectory(LastFolder());
    if (!request.proposed.isEmpty()) d->selectFile(request.proposed);
    d->setWindowModality(Qt::ApplicationModal);
    d->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(d, &QFileDialog::finished, parent, [=](int result) {
        if (result != QDialog::Accepted || d->selectedFiles().isEmpty()) {
            chosen(QString());
            return;
        }
        const std::string name =
            SaveAsName(d->selectedFiles().front().toStdString(), request.ext.toStdString());
        const QString path = QFileInfo(QString::fromStdString(name)).absoluteFilePath();
        RememberFolderOf(path);
        if (request.askReplace && QFileInfo::exists(path))
            AskReplace(parent, request, path, chosen);
        else
            chosen(path);
    });
    d->open();
}

}  // namespace jvo::qt
