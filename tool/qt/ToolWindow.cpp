// The main window.
#include "tool/qt/ToolWindow.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QScrollArea>
#include <QShortcut>
#include <algorithm>

#include "qtcommon/WindowFit.h"
#include "tool/Menus.h"
#include "tool/Texts.h"
#include "tool/ToolUi.h"
#include "tool/qt/PanelPicture.h"
#include "tool/qt/ToolForm.h"

namespace jvo::tool::qt {

ToolWindow::ToolWindow(WindowLayout layout) : m_Form(new ToolForm(layout, this)) {
    // The form scrolls only in a window smaller than it can shrink (its picture shrinks first).
    setCentralWidget(jvo::qt::ScrollingArea(m_Form, this));
    // The picture takes the keyboard after the other controls, not first (once the form is in
    // its scroll area, which orders the focus chain anew).
    if (QWidget* exit = m_Form->Control(IDC_EXIT)) setTabOrder(exit, m_Form->Picture());
    setWindowTitle(QString::fromUtf8(text::kTitle));
    QMenu* file = menuBar()->addMenu(tr("&File"));
    m_Connect = file->addAction(tr("&Connect..."), this, &ToolWindow::ConnectRequested);
    m_Disconnect = file->addAction(tr("&Disconnect"), this, &ToolWindow::DisconnectRequested);
    file->addSeparator();
    m_Compare = file->addAction(QString::fromUtf8(text::kCompareTitle) + QStringLiteral("..."),
                                this, &ToolWindow::CompareRequested);
    m_Connect->setObjectName(QStringLiteral("connectAction"));
    m_Disconnect->setObjectName(QStringLiteral("disconnectAction"));
    m_Compare->setObjectName(QStringLiteral("compareAction"));
    SetConnected(false);
    // The status line sits in the menu bar's free room: no strip is added below the form, which
    // has to fit small screens as it is.
    auto* status = new QWidget(menuBar());
    auto* row = new QHBoxLayout(status);
    row->setContentsMargins(0, 0, 6, 0);
    m_Status = new QLabel(status);
    m_Status->setObjectName(QStringLiteral("status"));
    m_Unsaved = new QLabel(status);
    m_Unsaved->setObjectName(QStringLiteral("unsaved"));
    QFont bold = m_Unsaved->font();
    bold.setBold(true);
    m_Unsaved->setFont(bold);
    row->addWidget(m_Status);
    row->addSpacing(12);
    row->addWidget(m_Unsaved);
    menuBar()->setCornerWidget(status, Qt::TopRightCorner);
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

void ToolWindow::ShowStatus(const QString& text) {
    m_Status->setText(text);
}

void ToolWindow::SetUnsavedMark(const QString& mark) {
    m_Unsaved->setText(mark);
}

void ToolWindow::SetConnected(bool connected) {
    m_Connect->setEnabled(!connected);
    m_Disconnect->setEnabled(connected);
    m_Compare->setEnabled(connected);
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
