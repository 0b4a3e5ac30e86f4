// BasicDlg: construction, window initialisation and the workflows that move a whole configuration
// between the unit, files and the editor.
#include "tool/BasicDlg.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/Files.h"
#include "base/FormatStr.h"
#include "base/SaveName.h"
#include "config/ConfigFile.h"
#include "config/Slots.h"
#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "link/UnitClient.h"
#include "tool/ConfigLoad.h"
#include "tool/Texts.h"
#include "tool/UiProgress.h"

namespace jvo::tool {

BasicDlg::BasicDlg(ToolUi& ui, WindowLayout layout, MapCanvas* canvas)
    : m_Ui(ui), m_Layout(layout), m_Map(*this, layout == WindowLayout::COMPACT, canvas) {}

BasicDlg::~BasicDlg() {
    m_Link.Disconnect();
}

bool BasicDlg::InputRefused() const {
    return m_Busy.load() && m_WorkflowThread.load() != std::this_thread::get_id();
}

bool BasicDlg::MarkBusy() {
    bool idle = false;
    return m_Busy.compare_exchange_strong(idle, true);
}

void BasicDlg::ClearBusy() {
    m_WorkflowThread.store(std::thread::id{});
    m_Busy.store(false);
}

void BasicDlg::ShowMessage(const std::string& text, MsgIcon icon) {
    m_Ui.Message(text, MsgButtons::Ok, icon);
}

int BasicDlg::TrackContextMenu(int subMenu, int screenX, int screenY) {
    return m_Ui.TrackContextMenu(subMenu, screenX, screenY);
}

void BasicDlg::InitDialog() {
    m_Ui.SetItemText(IDC_VERSION, FormatStr("JVO Configuration Tool: Build %d", text::kToolBuild));
    m_Ui.SetTitle(text::kTitle);
    // The controls' initial states.
    // The unit and panel groups have nothing to edit until a configuration is shown.
    for (int id : {IDC_UNIT_EDIT, IDC_UNIT_CANCEL, IDC_UNIT_APPLY, IDC_PANEL_EDIT, IDC_PANEL_CANCEL,
                   IDC_PANEL_APPLY, IDC_BREAKER_EDIT, IDC_BREAKER_CANCEL, IDC_BREAKER_APPLY,
                   IDC_INSTALL, IDC_UC_ALARM, IDC_NEUTRAL_ALARM, IDC_GROUND_ALARM})
        EnableItem(id, false);
    for (int id :
         {IDC_UNIT_NAME, IDC_DIP_ADDRESS, IDC_SW_ADDRESS, IDC_DIP_NOTE, IDC_PANEL_NAME,
          IDC_PASSWORD, IDC_BREAKER_NAME, IDC_POSITION, IDC_POLES, IDC_RATING, IDC_OC_ALARM,
          IDC_OC_WARNING, IDC_UC_ALARM, IDC_NEUTRAL_ALARM, IDC_GROUND_ALARM, IDC_HYSTERESIS})
        ProtectItem(id, true);
    m_Map.SetConfig(&m_Config);
    m_Map.ReloadSlots();
    m_Saved = m_Config;
    m_Ui.SetCheck(IDC_PANEL_A, true);
    SelectPanel(true, 0);
    m_Ui.SetCheck(IDC_VIEW_PANEL, true);
    SelectView(0);
    m_Ui.TransferToControls(m_Fields);
}

void BasicDlg::OnStartupTimer() {
    if (InputRefused()) return;
    for (;;) {
        Connect();
        if (m_UnitConnected || m_Offline) return;
        if (m_Ui.Message(text::kAskExitStartup, MsgButtons::YesNo, MsgIcon::None) ==
            MsgResult::Yes) {
            m_Ui.CloseMainWindow();
            return;
        }
    }
}

bool BasicDlg::OpenUnit(const ConnectResult& choice) {
    if (InputRefused()) return false;
    if (choice.m_Kind == ConnectResult::PORT) {
        if (m_Link.OpenSerial(choice.m_Port, kDefaultBaud, &m_LinkStatus)) return true;
        NoteFailure("OpenUnit", m_LinkStatus);
        Stop(FormatStr("Could not open COM%d\n", choice.m_Port));
        return false;
    }
    if (choice.m_Kind == ConnectResult::DEVICE) {
        if (m_Link.OpenSerialDevice(choice.m_Device, kDefaultBaud, &m_LinkStatus)) return true;
        NoteFailure("OpenUnit", m_LinkStatus);
        Stop(FormatStr("Could not open %s\n", choice.m_Device));
        return false;
    }
    if (choice.m_Kind == ConnectResult::PROXY) {
        ProxyOptions options;
        options.tls = choice.m_Tls;
        if (m_Link.OpenProxy(choice.m_Host, options, &m_LinkStatus)) return true;
        NoteFailure("OpenUnit", m_LinkStatus);
        Stop("Could not connect to the specified server");
        return false;
    }
    return false;
}

void BasicDlg::Connect() {
    if (InputRefused()) return;
    ConnectTo(m_Ui.RunConnectDialog(*this));
}

void BasicDlg::ConnectTo(const ConnectResult& choice) {
    if (choice.m_Kind == ConnectResult::CANCELLED) return;
    m_Ui.RepaintWindow();

    if (choice.m_Kind == ConnectResult::OFFLINE) {
        m_Offline = true;
        m_UnitConnected = false;
        TakeOver(choice.m_Config);
        MarkSaved(choice.m_FileName);
        EnableItem(IDC_INSTALL, false);
        ShowNewConfiguration();
        return;
    }
    if (!OpenUnit(choice)) return;

    UnitClient client(&m_Link, 0);
    client.SetReplyTimeoutMs(m_ReplyTimeoutMs);
    UiProgress progress(m_Ui);
    UnitConfig work;
    for (;;) {
        // Every read starts from a cleared configuration: entries beyond the counts must not
        // keep what an earlier, failed or refused read left in them.
        work.Clear();
        ReopenLostTransport();  // a Retry after the adapter was put back
        m_Ui.ProgressBegin(text::kCaptionExtract);
        m_Map.RedrawMap();
        const bool read = ReadConfig(client, work, 0, kRecordAttempts, &progress);
        m_Ui.RepaintWindow();
        m_Ui.ProgressEnd();
        if (!read) {
            NoteFailure("Connect", client.Status());
            if (m_Ui.Message(text::kExtractFailed, MsgButtons::RetryCancel, MsgIcon::None) ==
                MsgResult::Retry)
                continue;
            m_Link.Disconnect();
            return;
        }
        std::string serious;
        const CheckOutcome outcome = CheckConfigForTakeOver(m_Ui, work, serious);
        if (outcome == CheckOutcome::SERIOUS) {
            Stop(text::kSeriousExtractHead + serious + text::kSeriousExtractTail);
            if (ResetToDefault()) continue;
            m_Link.Disconnect();
            return;
        }
        if (outcome == CheckOutcome::DECLINED) {
            m_Ui.Message(text::kNotExtracted, MsgButtons::Ok, MsgIcon::Information);
            m_Link.Disconnect();
            return;
        }
        break;
    }

    TakeOver(work);
    MarkSaved({});
    ReadVersion(client);
    MarkConnected(choice, client);
    ShowNewConfiguration();
}

void BasicDlg::MarkConnected(const ConnectResult& choice, UnitClient& client) {
    RememberRoute(choice);
    m_UnitConnected = true;
    m_Offline = false;
    uint8_t dip = 0;
    m_DipValid = client.GetDipAddress(dip);
    m_DipAddress = m_DipValid ? dip : 0;
    EnableItem(IDC_INSTALL, true);
}

bool BasicDlg::ReadVersion(UnitClient& client) {
    for (int i = 0; i < kVersionAttempts; ++i) {
        VersionInfo version;
        if (client.GetVersion(version)) {
            m_Ui.SetTitle(FormatStr("JVO Config Tool [Firmware Build:%d]",
                                    static_cast<int>(version.m_FirmwareBuild)));
            return true;
        }
    }
    return false;
}

void BasicDlg::NoteFailure(const char* where, const LinkStatus& status) {
    m_LinkStatus = status;
    JVO_LOG1("BasicDlg::%s() %s", where, DescribeStatus(status));
}

void BasicDlg::ReopenLostTransport() {
    m_Recovery.ReopenNow();
}

void BasicDlg::TakeOver(const UnitConfig& config) {
    // An open edit belongs to the configuration being replaced: it is cancelled, never applied
    // to whatever item the new configuration has at the remembered index.
    if (IsEditOpen()) EndEdit(END_CANCEL);
    m_Config = config;
    m_DipValid = false;
    m_DipAddress = 0;
    for (PanelRecord& panel : m_Config.m_Panels) {
        SortBreakers(panel, false);
        SortSubfeeds(panel, false);
    }
    for (auto& panel : m_Selection)
        panel.fill(Selection{});
    m_Map.ClearSelections();
}

void BasicDlg::ShowNewConfiguration() {
    // Taking a configuration over cancels an open edit, so both groups are closed here; they
    // can be edited once the configuration is one of a unit or a file worked on offline.
    EnableItem(IDC_UNIT_EDIT, m_UnitConnected || m_Offline);
    EnableItem(IDC_PANEL_EDIT, m_UnitConnected || m_Offline);
    m_Map.SetConfig(&m_Config);
    m_Map.ReloadSlots();
    m_Ui.SetCheck(IDC_PANEL_A, true);
    m_Ui.SetCheck(IDC_PANEL_B, false);
    SelectPanel(true, 0);
    m_Ui.SetCheck(IDC_VIEW_PANEL, true);
    m_Ui.SetCheck(IDC_VIEW_AUX, false);
    SelectView(0);
}

bool BasicDlg::ResetToDefault() {
    if (InputRefused()) return false;
    ReopenLostTransport();
    UnitClient client(&m_Link, 0);
    client.SetReplyTimeoutMs(m_ReplyTimeoutMs);
    if (m_Ui.Message(text::kAskReset, MsgButtons::YesNo, MsgIcon::Exclamation, MsgResult::No) !=
        MsgResult::Yes)
        return false;
    m_Ui.RepaintWindow();
    m_Ui.ProgressBegin(text::kCaptionReset);
    m_Map.RedrawMap();
    client.ResetToDefaults();  // a lost reply is no failure: the commit tells
    return CommitAndRestart(client, true);
}

bool BasicDlg::Install() {
    if (InputRefused()) return false;
    ReopenLostTransport();
    UnitClient client(&m_Link, 0);
    client.SetReplyTimeoutMs(m_ReplyTimeoutMs);
    UiProgress progress(m_Ui);
    m_Ui.ProgressBegin(text::kCaptionInstall);
    m_Map.RedrawMap();
    if (!WriteConfig(client, m_Config, kRecordAttempts, &progress)) {
        NoteFailure("Install", client.Status());
        m_Ui.ProgressHide();
        m_Ui.Message(text::kInstallFailed, MsgButtons::Ok, MsgIcon::None);
        m_Ui.ProgressEnd();
        return false;
    }
    if (!CommitAndRestart(client, false)) return false;
    m_Ui.ShowStatus(text::kInstalledStatus);
    return true;
}

bool BasicDlg::CommitAndRestart(UnitClient& client, bool reset) {
    m_Ui.ProgressCaption(text::kCaptionCommit);
    m_Ui.ProgressPos(0);
    if (!client.CommitConfig()) {
        NoteFailure("CommitAndRestart", client.Status());
        m_Ui.ProgressHide();
        m_Ui.Message(text::kCommitFailed, MsgButtons::Ok, MsgIcon::None);
        m_Ui.ProgressEnd();
        return false;
    }
    m_Ui.ProgressCaption(text::kCaptionReboot);
    m_Ui.ProgressRange(5);
    client.RebootUnit();  // only the status polls below tell whether the unit came back
    for (int polls = 1; polls <= kStatusPolls; ++polls) {
        uint16_t state = 0;
        uint32_t value = 0;
        if (client.GetStatus(state, value) && state == kUnitRunning) {
            if (reset) m_Ui.RepaintWindow();
            m_Ui.ProgressEnd();
            return true;
        }
        m_Ui.ProgressPos(polls % 6);
        if (m_Link.TransportLost()) {
            // A unit whose own USB serial device drops out while it restarts: the lost line
            // fails each poll at once, so it is waited out as long as an unanswered poll would
            // be, and opened again once the device is back.
            ReopenLostTransport();
            if (m_Link.TransportLost())
                std::this_thread::sleep_for(
                    std::chrono::milliseconds(std::max<int32_t>(1, client.ReplyTimeoutMs())));
        }
    }
    NoteFailure("CommitAndRestart", client.Status());
    m_Ui.ProgressHide();
    if (reset) m_Ui.RepaintWindow();
    Stop(text::kRestartFailed);
    m_Ui.ProgressEnd();
    return false;
}

bool BasicDlg::LoadFromFile() {
    if (InputRefused()) return false;
    const FileChoice file = m_Ui.ChooseFileToOpen(text::kFileExt, text::kOpenFilter);
    if (!file.m_Chosen) return false;
    UnitConfig work;
    if (!LoadCheckedConfigFile(m_Ui, file, work)) return false;
    TakeOver(work);
    MarkSaved(file.m_Name);
    EnableItem(IDC_INSTALL, m_UnitConnected);
    ShowNewConfiguration();
    return true;
}

bool BasicDlg::SaveToFile() {
    if (InputRefused()) return false;
    const FileChoice file = m_Ui.ChooseFileToSave(text::kFileExt, text::kSaveFilter);
    if (!file.m_Chosen) return false;
    if (!WhyNotSavable(file.m_Path).empty()) {
        Stop(FormatStr("Could not open output file: %s", file.m_Path));
        return false;
    }
    // The safe save never leaves a damaged file behind: the old file stays until the new one is
    // complete on the disk.
    const bool saved = SaveConfigFile(m_Config, file.m_Path);
    if (saved) MarkSaved(file.m_Name);
    if (saved)
        m_Ui.Message(FormatStr("Successfully saved configuration to: %s", file.m_Path));
    else
        m_Ui.Message(FormatStr("Failed to save configuration to: %s", file.m_Path));
    return saved;
}

void BasicDlg::Disconnect() {
    if (InputRefused()) return;
    if (m_Link.IsConnected()) m_Link.Disconnect();
    m_UnitConnected = false;
    m_Offline = false;
    m_DipValid = false;
    m_DipAddress = 0;
}

void BasicDlg::OnExit() {
    if (InputRefused()) return;
    if (m_Ui.Message(text::kAskExitWithoutSaving, MsgButtons::YesNo, MsgIcon::None) !=
        MsgResult::Yes)
        return;
    if (IsEditOpen()) EndEdit(END_CANCEL);
    m_Ui.CloseMainWindow();
}

void BasicDlg::OnCommand(int id) {
    if (InputRefused()) return;
    switch (id) {
        case IDC_UNIT_EDIT:
            BeginEdit(EDIT_UNIT);
            break;
        case IDC_PANEL_EDIT:
            BeginEdit(EDIT_PANEL);
            break;
        case IDC_BREAKER_EDIT:
            BeginEdit(EDIT_BREAKER);  // applies an open edit first
            break;
        case IDC_UNIT_CANCEL:
        case IDC_PANEL_CANCEL:
        case IDC_BREAKER_CANCEL:
            EndEdit(END_CANCEL);
            break;
        case IDC_UNIT_APPLY:
        case IDC_PANEL_APPLY:
        case IDC_BREAKER_APPLY:
            EndEdit(END_APPLY);
            break;
        case IDC_PANEL_A:
        case IDC_PANEL_B:
            if (IsEditOpen()) EndEdit(END_CANCEL);
            SelectPanel(false, id == IDC_PANEL_B ? 1 : 0);
            break;
        case IDC_VIEW_PANEL:
        case IDC_VIEW_AUX:
            if (IsEditOpen()) EndEdit(END_CANCEL);
            SelectView(id == IDC_VIEW_AUX ? 1 : 0);
            break;
        case IDC_LOAD:
            LoadFromFile();
            break;
        case IDC_INSTALL:
            if (IsEditOpen()) EndEdit(END_APPLY);
            Install();
            break;
        case IDC_SAVE:
            SaveToFile();
            break;
        case IDC_EXIT:
            OnExit();
            break;
        case kAboutCommand:
            m_Ui.ShowAbout();
            break;
        default:
            break;
    }
}

}  // namespace jvo::tool
