// The main window.
#include "tool/qt/ToolWindow.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QScrollArea>
#include <QShortcut>
#include <algorithm>

#include "qtcommon/WindowFit.h"
#include "tool/Menus.h"
#include "tool/Texts.h"
#include "tool/qt/ToolForm.h"

namespace jvo::tool::qt {

ToolWindow::ToolWindow(WindowLayout layout) : m_Form(new ToolForm(layout, this)) {
    // The form scrolls only in a window smaller than it can shrink (its picture shrinks first).
    setCentralWidget(jvo::qt::ScrollingArea(m_Form, this));
    setWindowTitle(QString::fromUtf8(text::kTitle));
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    QAction* about = help->addAction(QString::fromStdString(AboutBoxTexts().menuItem));
    connect(about, &QAction::triggered, this, &ToolWindow::AboutRequested);
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* ok = new QShortcut(QKeySequence(key), this);
        connect(ok, &QShortcut::activated, this, &ToolWindow::OkKey);
    }
    auto* cancel = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(cancel, &QShortcut::activated, this, &ToolWindow::CancelKey);
    // The form's natural size when the screen's work area has room for it, else what it has.
    const QSize form = m_Form->sizeHint();
    const QSize menu = menuBar()->sizeHint();
    resize(jvo::qt::FitSize(
        this, QSize(std::max(form.width(), menu.width()), form.height() + menu.height())));
}

void ToolWindow::closeEvent(QCloseEvent* e) {
    if (m_CloseAllowed) {
        e->accept();
        return;
    }
    // The close box is the cancel key: the core asks before it closes the window itself.
    e->ignore();
    emit CancelKey();
}

}  // namespace jvo::tool::qt
