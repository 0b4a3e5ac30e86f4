#include "monitor/ConnectDlgLogic.h"

#include "base/FormatStr.h"
#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/UnitClient.h"

namespace jvo::monitor {

namespace {
constexpr int kStatusProbes = 3;
}

ConnectDlgLogic::ConnectDlgLogic(MonitorUi& ui, UnitLink& link, ProbeFn probe)
    : m_Ui(ui), m_Link(link), m_Probe(std::move(probe)) {
    if (!m_Probe) m_Probe = [] { return ProbeComPorts(); };
}

void ConnectDlgLogic::Start() {
    m_State.m_UseProxy = false;
    m_State.m_Ports = PortItems(m_Probe());
    m_State.m_Selected = m_State.m_Ports.empty() ? -1 : 0;
    m_State.m_Focus = ConnectFocus::Connect;
}

bool ConnectDlgLogic::OnConnect(const ConnectChoice& choice) {
    m_State.m_UseProxy = choice.m_UseProxy;
    m_State.m_Server = choice.m_Server;
    m_State.m_Tls = choice.m_Tls;
    if (choice.m_UseProxy) {
        LinkStatus status;
        ProxyOptions options;
        options.tls = choice.m_Tls;
        if (!m_Link.OpenProxy(choice.m_Server, options, &status)) {
            JVO_LOG1("ConnectDlg: %s: %s", choice.m_Server, DescribeStatus(status));
            // A TLS failure says why: a missing or refused certificate is the user's to mend.
            const std::string why =
                status.result == LinkResult::TlsFailed ? "\n\n" + status.detail : std::string();
            m_Ui.Message("Could not connect to the specified server" + why, MsgButtons::Ok,
                         MsgIcon::Error);
            m_State.m_Focus = ConnectFocus::ServerName;
            return false;
        }
        return true;
    }
    bool opened;
    LinkStatus status;
    if (!choice.m_Device.empty()) {
        opened = m_Link.OpenSerialDevice(choice.m_Device, kDefaultBaud, &status);
    } else {
        const int n = static_cast<int>(m_State.m_Ports.size());
        if (choice.m_Selected < 0 || choice.m_Selected >= n) {
            m_Ui.Message("You must select a COM port", MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        m_State.m_Selected = choice.m_Selected;
        opened =
            m_Link.OpenSerial(m_State.m_Ports[choice.m_Selected].m_Port, kDefaultBaud, &status);
    }
    if (!opened) {
        JVO_LOG1("ConnectDlg: %s", DescribeStatus(status));
        m_Ui.Message("Could not open the specified COM port", MsgButtons::Ok, MsgIcon::Error);
        m_State.m_Focus = ConnectFocus::PortList;
        return false;
    }
    UnitClient client(&m_Link, 0);
    uint16_t state = 0;
    uint32_t value = 0;
    for (int i = 0; i < kStatusProbes; ++i)
        if (client.GetStatus(state, value)) return true;
    JVO_LOG1("ConnectDlg: %s", DescribeStatus(client.Status()));
    m_Ui.Message(
        "Could not communicate to JVO on selected COM port.\n\nVerify that JVO is powered and "
        "cable is properly connected.",
        MsgButtons::Ok, MsgIcon::Error);
    m_Link.Disconnect();
    m_State.m_Focus = ConnectFocus::PortList;
    return false;
}

bool ConnectDlgLogic::Run() {
    Start();
    for (;;) {
        const ConnectChoice choice = m_Ui.RunConnectDialog(m_State);
        if (choice.m_Kind == ConnectChoice::CANCELLED) return false;
        if (OnConnect(choice)) return true;
    }
}

}  // namespace jvo::monitor
