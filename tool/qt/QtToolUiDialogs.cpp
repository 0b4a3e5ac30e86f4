// QtToolUi: message boxes, file choosers, the "Add Subfeed" dialog, the context menu and the
// about box. Each is opened on the UI thread without a nested loop; the calling worker
// waits for the answer.
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "qtcommon/LastFolder.h"
#include "qtcommon/MessageBoxQt.h"
#include "qtcommon/SaveFileDialog.h"
#include "qtcommon/UiCall.h"
#include "qtcommon/WindowFit.h"
#include "tool/FileFilter.h"
#include "tool/Menus.h"
#include "tool/Texts.h"
#include "tool/qt/AboutDlg.h"
#include "tool/qt/AddSubfeedDlg.h"
#include "tool/qt/CompareDlg.h"
#include "tool/qt/QtToolUi.h"
#include "tool/qt/ToolWindow.h"

namespace jvo::tool::qt {

using jvo::qt::AwaitOnUi;
using jvo::qt::CallOnUi;
using jvo::qt::FromQt;
using jvo::qt::ToQt;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

void AddItems(QMenu* menu, const std::vector<MenuItem>& items) {
    for (const MenuItem& item : items) {
        if (!item.sub.empty()) {
            AddItems(menu->addMenu(Q(item.text)), item.sub);
            continue;
        }
        QAction* a = menu->addAction(Q(item.text));
        a->setData(item.command);
    }
}

}  // namespace

MsgResult QtToolUi::Message(const std::string& text, MsgButtons buttons, MsgIcon icon,
                            MsgResult defaultButton) {
    if (m_Unattended) {
        // A question gets its default answer; a retry would only ask again.
        const MsgResult answer =
            buttons == MsgButtons::YesNo ? defaultButton : ClosedAnswer(buttons);
        const char* said = buttons == MsgButtons::Ok     ? ""
                           : answer == MsgResult::Yes    ? " -> Yes (nobody to ask)"
                           : answer == MsgResult::Cancel ? " -> Cancel (nobody to ask)"
                                                         : " -> No (nobody to ask)";
        std::fprintf(stderr, "jvo-config: %s%s\n", text.c_str(), said);
        return answer;
    }
    return AwaitOnUi<MsgResult>(&m_Window, [&, buttons, icon, defaultButton](auto done) {
        auto* box = new QMessageBox(ToQt(icon), QString::fromUtf8(text::kTitle), Q(text),
                                    ToQt(buttons), &m_Window);
        box->setDefaultButton(ToQt(defaultButton));
        box->setWindowModality(Qt::ApplicationModal);
        box->setAttribute(Qt::WA_DeleteOnClose);
        jvo::qt::ShowWholeTitle(box);
        QObject::connect(box, &QMessageBox::finished, box, [box, buttons, done] {
            done(FromQt(box->standardButton(box->clickedButton()), buttons));
        });
        box->open();
    });
}

FileChoice QtToolUi::ChooseFile(bool save, const std::string& defaultExt,
                                const std::string& filter) {
    if (m_Unattended) return {};
    return AwaitOnUi<FileChoice>(&m_Window, [&, save](auto done) {
        auto choice = [](const QString& path) {
            const QFileInfo info(path);
            return FileChoice{true, info.absoluteFilePath().toStdString(),
                              info.fileName().toStdString()};
        };
        if (save) {
            const jvo::qt::SaveFileRequest request{QString(), Q(ToQtFilter(filter)), Q(defaultExt),
                                                   QString(), QString::fromUtf8(text::kTitle)};
            jvo::qt::ChooseSaveFile(&m_Window, request, [done, choice](const QString& path) {
                done(path.isEmpty() ? FileChoice{} : choice(path));
            });
            return;
        }
        auto* d = new QFileDialog(&m_Window);
        d->setAcceptMode(QFileDialog::AcceptOpen);
        d->setFileMode(QFileDialog::ExistingFile);
        d->setNameFilter(Q(ToQtFilter(filter)));
        d->setDefaultSuffix(Q(defaultExt));
        d->setDirectory(jvo::qt::LastFolder());
        d->setWindowModality(Qt::ApplicationModal);
        d->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(d, &QFileDialog::finished, d, [d, done, defaultExt, choice](int result) {
            if (result != QDialog::Accepted || d->selectedFiles().isEmpty()) {
                done(FileChoice{});
                return;
            }
            // A name that does not exist as typed is tried with the default extension.
            std::string path = d->selectedFiles().front().toStdString();
            if (!QFileInfo::exists(QString::fromStdString(path)))
                path = WithDefaultExtension(path, defaultExt);
            jvo::qt::RememberFolderOf(Q(path));
            done(choice(Q(path)));
        });
        d->open();
    });
}

FileChoice QtToolUi::ChooseFileToOpen(const std::string& ext, const std::string& filter) {
    return ChooseFile(false, ext, filter);
}

FileChoice QtToolUi::ChooseFileToSave(const std::string& ext, const std::string& filter) {
    return ChooseFile(true, ext, filter);
}

bool QtToolUi::RunAddSubfeedDialog(uint16_t enableMask, int& candidate, int& size) {
    struct Answer {
        bool ok = false;
        int candidate = 0, size = 0;
    };
    const Answer a = AwaitOnUi<Answer>(&m_Window, [&, enableMask](auto done) {
        const SubfeedDialogTexts& c = AddSubfeedCaptions();
        SubfeedDlgTexts t;
        t.title = Q(c.title);
        t.selectGroup = Q(c.candidateGroup);
        t.sizeGroup = Q(c.sizeGroup);
        t.ok = Q(c.ok);
        t.cancel = Q(c.cancel);
        for (const std::string& s : c.candidates)
            t.candidates << Q(s);
        for (const std::string& s : c.sizes)
            t.sizes << Q(s);
        auto* d = new AddSubfeedDlg(t, enableMask, candidate, size, &m_Window);
        d->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(d, &QDialog::finished, d, [d, done](int r) {
            done({r == QDialog::Accepted, d->Candidate(), d->Size()});
        });
        d->open();
    });
    if (!a.ok) return false;
    candidate = a.candidate;
    size = a.size;
    return true;
}

int QtToolUi::TrackContextMenu(int subMenu, int screenX, int screenY) {
    return AwaitOnUi<int>(&m_Window, [&, subMenu, screenX, screenY](auto done) {
        auto* menu = new QMenu(&m_Window);
        menu->setObjectName(QStringLiteral("ContextMenu"));
        AddItems(menu, ContextMenuItems(subMenu));
        QObject::connect(menu, &QMenu::triggered, menu,
                         [done](QAction* a) { done(a->data().toInt()); });
        // Closed without a choice: the triggered signal, if any, comes first.
        QObject::connect(menu, &QMenu::aboutToHide, menu, [menu, done] {
            QTimer::singleShot(0, menu, [menu, done] {
                done(0);
                menu->deleteLater();
            });
        });
        menu->popup(QPoint(screenX, screenY));
    });
}

void QtToolUi::ShowAbout() {
    AwaitOnUi<bool>(&m_Window, [&](auto done) {
        auto* d = new CAboutDlg(m_LogPath, &m_Window);
        d->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(d, &QDialog::finished, d, [done] { done(true); });
        d->open();
    });
}

bool QtToolUi::ShowDifferences(const std::string& heading, const std::vector<std::string>& lines,
                               bool offerInstall) {
    if (m_Unattended) {
        std::fprintf(stderr, "%s\n", heading.c_str());
        for (const std::string& line : lines)
            std::fprintf(stderr, "  %s\n", line.c_str());
        return false;  // nobody to ask for the install
    }
    return AwaitOnUi<bool>(&m_Window, [&](auto done) {
        QStringList rows;
        for (const std::string& line : lines)
            rows << Q(line);
        auto* d = new CompareDlg(Q(text::kCompareTitle), Q(heading), rows, offerInstall, &m_Window);
        d->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(d, &QDialog::finished, d, [done](int r) { done(r == QDialog::Accepted); });
        d->open();
    });
}

}  // namespace jvo::tool::qt
