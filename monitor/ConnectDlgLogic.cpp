#include "monitor/ConnectDlgLogic.h"

#include "base/FormatStr.h"
#include "link/AdapterPin.h"
#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/UnitClient.h"

namespace jvo::monitor {

namespace {
constexpr int kStatusProbes = 3;
}

ConnectDlgLogic::ConnectDlgLogic(MonitorUi& ui, UnitLink& link, ProbeFn probe, RouteStore* routes)
    : m_Ui(ui), m_Link(link), m_Probe(std::move(probe)), m_Store(routes) {
    if (!m_Probe) m_Probe = [] { return ProbeComPorts(); };
}

void ConnectDlgLogic::Start() {
    m_State.m_UseProxy = false;
    const std::vector<PortEntry> probed = m_Probe();
    m_State.m_Ports = PortItems(probed);
    // The probe's entry of each listed port, for a pin.
    m_Entries.clear();
    for (const PortItem& item : m_State.m_Ports) {
        PortEntry entry{item.m_Port, {}, {}};
        for (const PortEntry& e : probed)
            if (e.number == item.m_Port) entry = e;
        m_Entries.push_back(entry);
    }
    m_State.m_Selected = m_State.m_Ports.empty() ? -1 : 0;
    m_State.m_Focus = ConnectFocus::Connect;
    m_State.m_CanPin = PortPinsSupported();
    m_State.m_Recent = m_Store ? RecentRoutes(m_Store->Load()).List() : std::vector<Route>{};
    // The last route first: its port when it is listed, or the proxy with its files.
    if (m_State.m_Recent.empty()) return;
    const Route& last = m_State.m_Recent.front();
    if (last.m_Kind == Route::PROXY) {
        m_State.m_UseProxy = true;
        m_State.m_Server = last.m_Host;
        m_State.m_Tls = last.m_Tls;
    }
    for (size_t i = 0; last.m_Kind == Route::COM && i < m_State.m_Ports.size(); ++i)
        if (m_State.m_Ports[i].m_Port == last.m_Port) m_State.m_Selected = static_cast<int>(i);
}

bool ConnectDlgLogic::OnPin(int selected, int comNumber) {
    if (selected < 0 || selected >= static_cast<int>(m_Entries.size())) {
        m_Ui.Message("You must select a COM port", MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    std::string said;
    const bool pinned = PinAdapter(m_Entries[selected], comNumber, m_Roots, said);
    m_Ui.Message(said, MsgButtons::Ok, pinned ? MsgIcon::Information : MsgIcon::Error);
    if (!pinned) return false;
    Start();
    for (size_t i = 0; i < m_State.m_Ports.size(); ++i)
        if (m_State.m_Ports[i].m_Port == comNumber) m_State.m_Selected = static_cast<int>(i);
    m_State.m_UseProxy = false;
    return true;
}

void ConnectDlgLogic::Remember(const Route& route) {
    if (!m_Store) return;
    RecentRoutes recent(m_Store->Load());
    recent.Use(route);
    m_Store->Save(recent.List());
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
        Remember(Route::Proxy(choice.m_Server, choice.m_Tls));
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
    for (int i = 0; i < kStatusProbes; ++i) {
        if (!client.GetStatus(state, value)) continue;
        Remember(choice.m_Device.empty() ? Route::Com(m_State.m_Ports[m_State.m_Selected].m_Port)
                                         : Route::Device(choice.m_Device));
        return true;
    }
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
        if (choice.m_Kind == ConnectChoice::PIN) {
            OnPin(choice.m_Selected, choice.m_PinNumber);
            continue;
        }
        if (OnConnect(choice)) return true;
    }
}

}  // namespace jvo::monitor
