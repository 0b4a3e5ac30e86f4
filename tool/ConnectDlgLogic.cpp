#include "tool/ConnectDlgLogic.h"

#include <algorithm>

#include "base/FormatStr.h"
#include "link/AdapterPin.h"
#include "tool/ConfigLoad.h"
#include "tool/Texts.h"

namespace jvo::tool {

ConnectDlgLogic::ConnectDlgLogic(DialogPort& ui, ProbeFn probe, RouteStore* routes)
    : m_Ui(ui), m_Probe(std::move(probe)), m_Store(routes) {
    if (!m_Probe) m_Probe = [] { return ProbeComPorts(); };
}

void ConnectDlgLogic::Start() {
    if (m_Store) m_Recent = RecentRoutes(m_Store->Load());
    const std::vector<PortEntry> probed = m_Probe();
    m_Ports = PortItems(probed);
    // The probe's entry of each listed port, for a pin.
    m_Entries.clear();
    for (const PortItem& item : m_Ports) {
        PortEntry entry{item.m_Port, {}, {}};
        for (const PortEntry& e : probed)
            if (e.number == item.m_Port) entry = e;
        m_Entries.push_back(entry);
    }
    m_Selected = m_Ports.empty() ? -1 : 0;
    // The last COM port used comes first when it is there.
    const Route* last = m_Recent.Last();
    for (size_t i = 0; last && last->m_Kind == Route::COM && i < m_Ports.size(); ++i)
        if (m_Ports[i].m_Port == last->m_Port) m_Selected = static_cast<int>(i);
}

PortEntry ConnectDlgLogic::SelectedEntry() const {
    if (m_Selected < 0 || m_Selected >= static_cast<int>(m_Entries.size())) return {};
    return m_Entries[m_Selected];
}

ConnectDlgLogic::Outcome ConnectDlgLogic::OnConnectRecent(int index) {
    if (index < 0 || index >= static_cast<int>(Recent().size())) return Outcome::STAY;
    m_Chosen = Recent()[index];
    return Outcome::CONNECT;
}

bool ConnectDlgLogic::OnPin(int comNumber) {
    const PortEntry entry = SelectedEntry();
    if (entry.number == 0) {
        m_Ui.Message(text::kSelectComPort, MsgButtons::Ok, MsgIcon::Stop);
        return false;
    }
    std::string said;
    const bool pinned = PinAdapter(entry, comNumber, m_Roots, said);
    m_Ui.Message(said, MsgButtons::Ok, pinned ? MsgIcon::Information : MsgIcon::Stop);
    if (!pinned) return false;
    Start();
    for (size_t i = 0; i < m_Ports.size(); ++i)
        if (m_Ports[i].m_Port == comNumber) m_Selected = static_cast<int>(i);
    return true;
}

ConnectDlgLogic::Outcome ConnectDlgLogic::OnConnect() {
    if (m_Selected < 0 || m_Selected >= static_cast<int>(m_Ports.size())) {
        m_Ui.Message(text::kSelectComPort, MsgButtons::Ok, MsgIcon::Stop);
        return Outcome::STAY;
    }
    m_ComPort = m_Ports[m_Selected].m_Port;
    m_Chosen.reset();
    return Outcome::CONNECT;
}

ConnectDlgLogic::Outcome ConnectDlgLogic::OnWorkOffline() {
    const FileChoice file = m_Ui.ChooseFileToOpen(text::kFileExt, text::kOpenFilter);
    if (!file.m_Chosen) return Outcome::STAY;
    if (!LoadCheckedConfigFile(m_Ui, file, m_OfflineConfig)) return Outcome::STAY;
    m_WorkOffline = true;
    m_OfflineFileName = file.m_Name;
    return Outcome::OFFLINE;
}

ConnectResult ConnectDlgLogic::Result(Outcome outcome) const {
    ConnectResult result;
    if (outcome == Outcome::CONNECT && m_Chosen) return ChoiceOf(*m_Chosen);
    if (outcome == Outcome::CONNECT) {
        result.m_Kind = ConnectResult::PORT;
        result.m_Port = m_ComPort;
    } else if (outcome == Outcome::OFFLINE) {
        result.m_Kind = ConnectResult::OFFLINE;
        result.m_Config = m_OfflineConfig;
        result.m_FileName = m_OfflineFileName;
    }
    return result;
}

}  // namespace jvo::tool
