// QtToolUi: the connect dialog, or the choice the command line made instead. The dialog's logic
// (ConnectDlgLogic) runs on the worker; the dialog stays open and reports each button.
#include <QFileInfo>

#include "qtcommon/UiCall.h"
#include "tool/BasicDlg.h"
#include "tool/ConnectDlgLogic.h"
#include "tool/qt/ConnectDlg.h"
#include "tool/qt/QtToolUi.h"
#include "tool/qt/ToolWindow.h"

namespace jvo::tool::qt {

using jvo::qt::AwaitOnUi;
using jvo::qt::CallOnUi;

namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// The connect dialog's file chooser when the command line named the file already.
class PresetFilePort final : public DialogPort {
public:
    PresetFilePort(DialogPort& ui, std::string path) : m_Ui(ui), m_Path(std::move(path)) {}
    using DialogPort::Message;
    MsgResult Message(const std::string& text, MsgButtons b, MsgIcon i, MsgResult d) override {
        return m_Ui.Message(text, b, i, d);
    }
    FileChoice ChooseFileToOpen(const std::string&, const std::string&) override {
        const QFileInfo info(Q(m_Path));
        return {true, info.absoluteFilePath().toStdString(), info.fileName().toStdString()};
    }

private:
    DialogPort& m_Ui;
    std::string m_Path;
};

}  // namespace

void QtToolUi::PresetConnect(ConnectResult choice, std::string offlineFile) {
    m_Preset = std::move(choice);
    m_PresetFile = std::move(offlineFile);
    m_PresetUsed = false;
}

ConnectResult QtToolUi::RunConnectDialog(BasicDlg& dlg) {
    if (!m_PresetUsed) {
        m_PresetUsed = true;
        if (m_PresetFile.empty()) return m_Preset;
        PresetFilePort port(*this, m_PresetFile);
        ConnectDlgLogic logic(port, [] { return std::vector<PortEntry>(); });
        const auto outcome = logic.OnWorkOffline();
        if (outcome != ConnectDlgLogic::Outcome::STAY) return logic.Result(outcome);
    }
    if (m_Unattended) return {};  // nobody to choose
    std::vector<PortEntry> entries;
    ConnectDlgLogic logic(
        *this, [&entries] { return entries = ProbeComPorts(); }, dlg.Routes());
    logic.Start();
    // The list's entries in the logic's order (its index is the selection), each with its device.
    const auto ports = [&logic, &entries] {
        std::pair<std::vector<QString>, std::vector<PortEntry>> list;
        for (const auto& item : logic.Ports()) {
            list.first.push_back(Q(item.m_Label));
            PortEntry device{item.m_Port, {}, {}};
            for (const PortEntry& e : entries)
                if (e.number == item.m_Port) device = e;
            list.second.push_back(device);
        }
        return list;
    };
    std::vector<QString> recent;
    for (const Route& r : logic.Recent())
        recent.push_back(Q(RouteLabel(r)));
    ConnectDlg* dialog = CallOnUi(&m_Window, [&] {
        const auto list = ports();
        return new ConnectDlg(list.first, list.second, logic.Selected(), recent, &m_Window);
    });
    ConnectResult result;
    for (;;) {
        const int action =
            AwaitOnUi<int>(&m_Window, [dialog](auto done) { dialog->NextAction(done); });
        if (action == ConnectDlg::CANCEL) break;
        logic.Select(CallOnUi(&m_Window, [dialog] { return dialog->SelectedIndex(); }));
        if (action == ConnectDlg::PIN) {
            const int number = CallOnUi(&m_Window, [dialog] { return dialog->PinNumber(); });
            if (logic.OnPin(number))
                CallOnUi(&m_Window, [&] {
                    const auto list = ports();
                    dialog->SetPorts(list.first, list.second, logic.Selected());
                });
            continue;
        }
        ConnectDlgLogic::Outcome outcome;
        if (action == ConnectDlg::RECENT)
            outcome = logic.OnConnectRecent(
                CallOnUi(&m_Window, [dialog] { return dialog->RecentIndex(); }));
        else if (action == ConnectDlg::CONNECT)
            outcome = logic.OnConnect();
        else
            outcome = logic.OnWorkOffline();
        if (outcome != ConnectDlgLogic::Outcome::STAY) {
            result = logic.Result(outcome);
            break;
        }
    }
    CallOnUi(&m_Window, [dialog] { delete dialog; });
    return result;
}

}  // namespace jvo::tool::qt
