// QtToolUi: the main window's controls, the title, the progress window and closing.
#include <array>

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "qtcommon/UiCall.h"
#include "tool/qt/PanelPicture.h"
#include "tool/qt/ProgressDlg.h"
#include "tool/qt/QtToolUi.h"
#include "tool/qt/ToolForm.h"
#include "tool/qt/ToolWindow.h"

namespace jvo::tool::qt {

using jvo::qt::CallOnUi;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The edits of the transferred fields, in the order of ToolFields.
constexpr int kTextFields[] = {IDC_UNIT_NAME, IDC_PANEL_NAME, IDC_PASSWORD, IDC_BREAKER_NAME};
constexpr int kIntFields[] = {IDC_SW_ADDRESS,   IDC_POSITION,   IDC_POLES,    IDC_RATING,
                              IDC_OC_ALARM,     IDC_OC_WARNING, IDC_UC_ALARM, IDC_NEUTRAL_ALARM,
                              IDC_GROUND_ALARM, IDC_HYSTERESIS};

std::array<std::string*, 4> TextMembers(ToolFields& f) {
    return {&f.m_strUnitName, &f.m_strPanelName, &f.m_strPassword, &f.m_strBreakerName};
}
std::array<int*, 10> IntMembers(ToolFields& f) {
    return {&f.m_nSoftwareAddress, &f.m_nPosition,  &f.m_nPoles,   &f.m_nRating,
            &f.m_nOcAlarm,         &f.m_nOcWarning, &f.m_nUcAlarm, &f.m_nNeutralAlarm,
            &f.m_nGroundAlarm,     &f.m_nHysteresis};
}

}  // namespace

QtToolUi::QtToolUi(ToolWindow& window, std::string logPath)
    : m_Window(window), m_LogPath(std::move(logPath)) {}

void QtToolUi::WithControl(int id, const std::function<void(QWidget*)>& f) {
    CallOnUi(&m_Window, [&] {
        if (QWidget* w = m_Window.Form()->Control(id)) f(w);
    });
}

void QtToolUi::EnableItem(int id, bool on) {
    WithControl(id, [on](QWidget* w) { w->setEnabled(on); });
}

void QtToolUi::ProtectItem(int id, bool on) {
    WithControl(id, [on](QWidget* w) {
        auto* e = qobject_cast<QLineEdit*>(w);
        if (!e) return;
        e->setReadOnly(on);
        e->setFocusPolicy(on ? Qt::NoFocus : Qt::StrongFocus);
        // A read-only field looks like the window behind it, as on the desktop's own dialogs.
        QPalette p = QApplication::palette(e);
        if (on) p.setBrush(QPalette::Base, p.brush(QPalette::Window));
        e->setPalette(p);
    });
}

void QtToolUi::GotoItem(int id) {
    WithControl(id, [](QWidget* w) {
        w->setFocus(Qt::TabFocusReason);
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->selectAll();
    });
}

void QtToolUi::SetDefaultButton(int id, bool on) {
    WithControl(id, [on](QWidget* w) {
        if (auto* b = qobject_cast<QPushButton*>(w)) b->setDefault(on);
    });
}

void QtToolUi::SetItemText(int id, const std::string& text) {
    WithControl(id, [&](QWidget* w) {
        if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(Q(text));
        if (auto* l = qobject_cast<QLabel*>(w)) l->setText(Q(text));
        if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(Q(text));
    });
}

void QtToolUi::SetCheck(int id, bool on) {
    WithControl(id, [on](QWidget* w) {
        auto* b = qobject_cast<QAbstractButton*>(w);
        if (!b) return;
        // An exclusive group would refuse to uncheck its checked button.
        QButtonGroup* group = b->group();
        if (group) group->setExclusive(false);
        b->setChecked(on);
        if (group) group->setExclusive(true);
    });
}

void QtToolUi::TransferToControls(const ToolFields& fields) {
    CallOnUi(&m_Window, [&] {
        ToolFields f = fields;
        const ToolForm* form = m_Window.Form();
        const auto texts = TextMembers(f);
        for (size_t i = 0; i < texts.size(); ++i)
            form->Edit(kTextFields[i])->setText(Q(*texts[i]));
        const auto ints = IntMembers(f);
        for (size_t i = 0; i < ints.size(); ++i)
            form->Edit(kIntFields[i])->setText(QString::number(*ints[i]));
    });
}

bool QtToolUi::TransferFromControls(ToolFields& fields) {
    const int bad = CallOnUi(&m_Window, [&] {
        const ToolForm* form = m_Window.Form();
        const auto texts = TextMembers(fields);
        for (size_t i = 0; i < texts.size(); ++i)
            *texts[i] = form->Edit(kTextFields[i])->text().toStdString();
        const auto ints = IntMembers(fields);
        for (size_t i = 0; i < ints.size(); ++i) {
            bool ok = false;
            *ints[i] = form->Edit(kIntFields[i])->text().trimmed().toInt(&ok);
            if (!ok) return kIntFields[i];
        }
        return 0;
    });
    if (bad == 0) return true;
    Message("Please enter an integer.", MsgButtons::Ok, MsgIcon::Exclamation);
    GotoItem(bad);
    return false;
}

void QtToolUi::Beep(int, int) {
    CallOnUi(&m_Window, [] { QApplication::beep(); });
}

void QtToolUi::SetTitle(const std::string& title) {
    CallOnUi(&m_Window, [&] { m_Window.setWindowTitle(Q(title)); });
}

void QtToolUi::ShowStatus(const std::string& text) {
    CallOnUi(&m_Window, [&] { m_Window.ShowStatus(Q(text)); });
}

void QtToolUi::RepaintWindow() {
    CallOnUi(&m_Window, [this] { m_Window.update(); });
}

void QtToolUi::CloseMainWindow() {
    if (jvo::qt::OnThreadOf(&m_Window)) {
        m_Window.AllowClose();
        m_Window.close();
        return;
    }
    m_CloseRequested = true;  // closed by the application once the workflow has ended
}

void QtToolUi::ProgressBegin(const std::string& caption) {
    CallOnUi(&m_Window, [&] {
        delete m_Progress;
        m_Progress = new ProgressDlg(Q(caption), &m_Window);
        m_Progress->show();
    });
}

void QtToolUi::ProgressCaption(const std::string& caption) {
    CallOnUi(&m_Window, [&] {
        if (m_Progress) m_Progress->SetCaption(Q(caption));
    });
}

void QtToolUi::ProgressRange(int upper) {
    CallOnUi(&m_Window, [&] {
        if (m_Progress) m_Progress->SetRange(upper);
    });
}

void QtToolUi::ProgressPos(int pos) {
    CallOnUi(&m_Window, [&] {
        if (m_Progress) m_Progress->SetPos(pos);
    });
}

void QtToolUi::ProgressHide() {
    CallOnUi(&m_Window, [&] {
        if (m_Progress) m_Progress->hide();
    });
}

void QtToolUi::ProgressEnd() {
    CallOnUi(&m_Window, [&] {
        delete m_Progress;
        m_Progress = nullptr;
    });
}

}  // namespace jvo::tool::qt
