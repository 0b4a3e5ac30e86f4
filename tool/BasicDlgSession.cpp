// BasicDlg: the File menu's connect, disconnect and compare, and the unsaved-changes mark.
#include "base/FormatStr.h"
#include "config/ConfigDiff.h"
#include "link/ConfigTransfer.h"
#include "tool/BasicDlg.h"
#include "tool/Texts.h"
#include "tool/UiProgress.h"

namespace jvo::tool {

void BasicDlg::MarkSaved(const std::string& fileName) {
    m_Saved = m_Config;
    m_FileName = fileName;
}

std::string BasicDlg::UnsavedMark() const {
    if (DiffConfigs(m_Saved, m_Config).empty()) return {};
    if (m_FileName.empty()) return text::kUnsavedNoFile;
    return FormatStr("Unsaved changes: %s", m_FileName);
}

void BasicDlg::RememberRoute(const ConnectResult& choice) {
    if (!m_Routes) return;
    RecentRoutes recent(m_Routes->Load());
    recent.Use(RouteOf(choice));
    m_Routes->Save(recent.List());
}

void BasicDlg::ConnectFromMenu() {
    if (InputRefused() || m_UnitConnected) return;
    const ConnectResult choice = m_Ui.RunConnectDialog(*this);
    if (choice.m_Kind == ConnectResult::CANCELLED) return;
    // Work done offline is the reason to connect from the menu: it is kept unless the user
    // wants the unit's configuration instead.
    if (m_Offline && choice.m_Kind != ConnectResult::OFFLINE &&
        m_Ui.Message(text::kAskKeepConfig, MsgButtons::YesNo, MsgIcon::None) == MsgResult::Yes) {
        ConnectKeeping(choice);
        return;
    }
    ConnectTo(choice);
}

bool BasicDlg::ConnectKeeping(const ConnectResult& choice) {
    m_Ui.RepaintWindow();
    if (!OpenUnit(choice)) return false;
    UnitClient client(&m_Link, 0);
    client.SetReplyTimeoutMs(m_ReplyTimeoutMs);
    if (!ReadVersion(client)) {
        NoteFailure("ConnectKeeping", client.Status());
        m_Link.Disconnect();
        Stop(text::kUnitSilent);
        return false;
    }
    MarkConnected(choice, client);
    ShowDipSwitch();
    return true;
}

void BasicDlg::DisconnectFromMenu() {
    if (InputRefused() || !m_UnitConnected) return;
    Disconnect();
    // The configuration stays in the editor: the work goes on offline.
    m_Offline = true;
    EnableItem(IDC_INSTALL, false);
    m_Ui.SetTitle(text::kTitle);
    ShowDipSwitch();
}

bool BasicDlg::CompareWithUnit() {
    if (InputRefused()) return false;
    if (!m_UnitConnected) {
        Stop(text::kCompareNeedsUnit);
        return false;
    }
    // The comparison is with what Install would write: an open edit is applied first, as the
    // Install button does.
    if (IsEditOpen() && !EndEdit(END_APPLY)) return false;
    ReopenLostTransport();
    UnitClient client(&m_Link, 0);
    client.SetReplyTimeoutMs(m_ReplyTimeoutMs);
    UiProgress progress(m_Ui);
    UnitConfig unit;
    m_Ui.ProgressBegin(text::kCaptionCompare);
    m_Map.RedrawMap();
    const bool read = ReadConfig(client, unit, 0, kRecordAttempts, &progress);
    m_Ui.ProgressEnd();
    if (!read) {
        NoteFailure("CompareWithUnit", client.Status());
        Stop(text::kCompareFailed);
        return false;
    }
    const std::vector<std::string> lines = DiffConfigs(unit, m_Config);
    const std::string heading =
        lines.empty()
            ? std::string(text::kCompareSame)
            : FormatStr(
                  "Installing would change %d things on the unit (the unit's value -> the "
                  "value to be installed):",
                  static_cast<int>(lines.size()));
    if (!m_Ui.ShowDifferences(heading, lines, true)) return true;
    return Install();
}

}  // namespace jvo::tool
