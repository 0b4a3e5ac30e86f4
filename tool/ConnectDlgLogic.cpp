#include "tool/ConnectDlgLogic.h"

#include <algorithm>

#include "base/FormatStr.h"
#include "tool/ConfigLoad.h"
#include "tool/Texts.h"

namespace jvo::tool {

ConnectDlgLogic::ConnectDlgLogic(DialogPort& ui, ProbeFn probe)
    : m_Ui(ui), m_Probe(std::move(probe)) {
    if (!m_Probe) m_Probe = [] { return ProbeComPorts(); };
}

void ConnectDlgLogic::Start() {
    m_Ports = PortItems(m_Probe());
    m_Selected = m_Ports.empty() ? -1 : 0;
}

ConnectDlgLogic::Outcome ConnectDlgLogic::OnConnect() {
    if (m_Selected < 0 || m_Selected >= static_cast<int>(m_Ports.size())) {
        m_Ui.Message(text::kSelectComPort, MsgButtons::Ok, MsgIcon::Stop);
        return Outcome::STAY;
    }
    m_ComPort = m_Ports[m_Selected].m_Port;
    return Outcome::CONNECT;
}

ConnectDlgLogic::Outcome ConnectDlgLogic::OnWorkOffline() {
    const FileChoice file = m_Ui.ChooseFileToOpen(text::kFileExt, text::kOpenFilter);
    if (!file.m_Chosen) return Outcome::STAY;
    if (!LoadCheckedConfigFile(m_Ui, file, m_OfflineConfig)) return Outcome::STAY;
    m_WorkOffline = true;
    return Outcome::OFFLINE;
}

ConnectResult ConnectDlgLogic::Result(Outcome outcome) const {
    ConnectResult result;
    if (outcome == Outcome::CONNECT) {
        result.m_Kind = ConnectResult::PORT;
        result.m_Port = m_ComPort;
    } else if (outcome == Outcome::OFFLINE) {
        result.m_Kind = ConnectResult::OFFLINE;
        result.m_Config = m_OfflineConfig;
    }
    return result;
}

}  // namespace jvo::tool
