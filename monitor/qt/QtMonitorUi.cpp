// The monitor's user-interface port.
#include "monitor/qt/QtMonitorUi.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QWidget>

#include "link/PortDirectory.h"
#include "qtcommon/MessageBoxQt.h"
#include "qtcommon/UiCall.h"
#include "qtcommon/WindowFit.h"

namespace jvo::monitor::qt {

using jvo::qt::ToQt;

void ShowMessage(QWidget* parent, const QString& text, MsgButtons buttons, MsgIcon icon,
                 std::function<void(MsgResult)> done) {
    const bool question = buttons == MsgButtons::YesNo;
    auto* box =
        new QMessageBox(ToQt(icon), QStringLiteral("JVO/TKA Monitor"), text, ToQt(buttons), parent);
    box->setObjectName(QStringLiteral("message"));
    box->setDefaultButton(question ? QMessageBox::No : QMessageBox::Ok);
    box->setEscapeButton(question ? QMessageBox::No : QMessageBox::Ok);
    box->setWindowModality(Qt::ApplicationModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    jvo::qt::ShowWholeTitle(box);
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, done] {
        done(jvo::qt::FromQt(box->standardButton(box->clickedButton()), buttons));
    });
    box->open();
}

template <class R>
R QtMonitorUi::Await(R fallback, std::function<void(std::function<void(R)>)> start) {
    auto completion = std::make_shared<jvo::qt::Completion<R>>();
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (m_Closing) return fallback;
        m_Cancels.push_back([completion, fallback] { completion->Set(fallback); });
    }
    auto done = [completion](R value) { completion->Set(std::move(value)); };
    QMetaObject::invokeMethod(
        &m_Window,
        [this, start, done] {
            {
                std::lock_guard<std::mutex> lock(m_Lock);
                if (m_Closing) return;  // answered by Shutdown() already: open nothing
            }
            start(done);
        },
        Qt::QueuedConnection);
    return completion->Wait();
}

MsgResult QtMonitorUi::Message(const std::string& text, MsgButtons buttons, MsgIcon icon) {
    const MsgResult fallback = buttons == MsgButtons::YesNo ? MsgResult::No : MsgResult::Ok;
    return Await<MsgResult>(fallback, [this, text, buttons, icon](auto done) {
        QWidget* parent =
            m_Dialog && m_Dialog->isVisible() ? static_cast<QWidget*>(m_Dialog) : &m_Window;
        ShowMessage(parent, QString::fromStdString(text), buttons, icon, done);
    });
}

ConnectChoice QtMonitorUi::RunConnectDialog(const ConnectDlgState& state) {
    if (m_Preset) {
        ConnectChoice c = *m_Preset;
        m_Preset.reset();
        if (m_PresetCom > 0) {
            c.m_Selected = -1;
            for (size_t i = 0; i < state.m_Ports.size(); ++i)
                if (state.m_Ports[i].m_Port == m_PresetCom) c.m_Selected = static_cast<int>(i);
            if (c.m_Selected < 0) {  // not free now: try its device, to say it cannot be opened
                c.m_Device = ResolveComPort(m_PresetCom);
                if (c.m_Device.empty()) c.m_Device = "COM" + std::to_string(m_PresetCom);
            }
        }
        return c;
    }
    return Await<ConnectChoice>(ConnectChoice{}, [this, state](auto done) {
        if (!m_Dialog) m_Dialog = new ConnectDlg(state, &m_Window);
        m_Dialog->NextAction(state, done);
    });
}

void QtMonitorUi::SetTitle(const std::string& title) {
    // Nothing to answer: queued without waiting, ahead of the connect's end notification.
    QPointer<QWidget> window(&m_Window);
    const QString t = QString::fromStdString(title);
    QMetaObject::invokeMethod(
        &m_Window,
        [window, t] {
            if (window) window->setWindowTitle(t);
        },
        Qt::QueuedConnection);
}

void QtMonitorUi::CloseConnectDialog() {
    if (m_Dialog) m_Dialog->deleteLater();
    m_Dialog = nullptr;
}

void QtMonitorUi::Shutdown() {
    std::vector<std::function<void()>> cancels;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Closing = true;
        cancels.swap(m_Cancels);
    }
    for (auto& c : cancels)
        c();
    CloseConnectDialog();
}

}  // namespace jvo::monitor::qt
