#pragma once
// BasicDlg: the configuration tool's controller. Owns the configuration being edited, the serial
// link to an attached unit and the connection and editing state, and runs every workflow (connect
// and extract, reset to default, install, load and save, disconnect, exit), the editing of the
// property groups and the breaker and subfeed operations. It talks to the user only through
// ToolUi and draws the panel picture through UserMap.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <utility>

#include "config/UnitConfig.h"
#include "link/LinkRecovery.h"
#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "tool/ItemKind.h"
#include "tool/ToolUi.h"
#include "tool/UserMap.h"
#include "tool/WindowLayout.h"

namespace jvo::tool {

// Edit groups.
enum EditGroup : int { EDIT_NONE = 0, EDIT_UNIT = 1, EDIT_PANEL = 2, EDIT_BREAKER = 3 };
enum EndEditMode : int { END_APPLY = 1, END_CANCEL = 2 };

struct Selection {
    ItemKind m_Kind = ITEM_NONE;
    int m_Index = -1;
    bool operator==(const Selection&) const = default;
};

class WorkflowRunner;

// Every public operation that acts on the user's behalf (the workflows, the commands, selection,
// editing, the breaker and subfeed operations, the keys and the picture's mouse entry points)
// refuses and does nothing while a workflow runs on a WorkflowRunner's worker thread, unless it
// is called from that thread: the workflow's own calls go through. A refused operation returns
// false, or -1 where it returns an index.
class BasicDlg final : public MapOwner {
public:
    // Unit transactions retry each record this often, and the version request this often.
    static constexpr int kRecordAttempts = 10;
    static constexpr int kVersionAttempts = 10;
    static constexpr int kStatusPolls = 100;
    // Longest text the editor stores: every record must fit one request to the unit.
    static constexpr size_t kMaxTextLength = 255;
    // The one-shot start-up timer the window starts at the end of its initialisation; its tick
    // runs OnStartupTimer.
    static constexpr int kStartupTimerId = 100;
    static constexpr int kStartupDelayMs = 10;
    // The command that opens the about box (ToolUi::ShowAbout).
    static constexpr int kAboutCommand = 16;

    explicit BasicDlg(ToolUi& ui, WindowLayout layout = WindowLayout::LARGE,
                      MapCanvas* canvas = nullptr);
    ~BasicDlg() override;
    BasicDlg(const BasicDlg&) = delete;
    BasicDlg& operator=(const BasicDlg&) = delete;

    // ---- window and workflows ----
    // Window initialisation: version line, picture, panel A and the panel-breaker view.
    void InitDialog();
    // The start-up timer's tick: connect until connected, offline, or the user exits.
    void OnStartupTimer();
    // Connect dialog, then extract from the unit or take over the offline configuration.
    void Connect();
    // Opens the link for a port, device or proxy choice; shows the failure message.
    bool OpenUnit(const ConnectResult& choice);
    // Where the routes connected to are kept (the connect dialog offers them again); none: not
    // kept. Set before the first workflow.
    void SetRouteStore(RouteStore* store) { m_Routes = store; }
    RouteStore* Routes() const { return m_Routes; }
    // The reply time-out of every request the workflows send (the command line's --timeout);
    // commands with a longer time-out of their own keep it. Negative: the link's default.
    void SetReplyTimeoutMs(int32_t ms) { m_ReplyTimeoutMs = ms; }
    // Why the last workflow that failed on the link failed (the open, the extract, the install,
    // the commit or the restart), for callers that say more than the message box does.
    const LinkStatus& LinkFailure() const { return m_LinkStatus; }
    // Resets the attached unit to its defaults (after asking), commits and reboots it.
    bool ResetToDefault();
    // Writes m_Config to the unit, commits and reboots it.
    bool Install();
    bool LoadFromFile();
    bool SaveToFile();
    void Disconnect();
    void OnExit();
    // The File menu: Connect... for a user working offline or without a unit, who may keep the
    // configuration being edited (asked when there is one); Disconnect, after which the work
    // goes on offline with the same configuration; Compare with Unit..., which reads the unit's
    // configuration, shows what installing would change and offers to install.
    void ConnectFromMenu();
    void DisconnectFromMenu();
    bool CompareWithUnit();
    // The status line's mark while the configuration differs from the one last loaded,
    // extracted or saved: "Unsaved changes: NAME", or an empty text.
    std::string UnsavedMark() const;
    // The cancel key or the close box, and the enter key.
    void OnCancelKey() { EndEdit(END_CANCEL); }
    void OnOkKey() { EndEdit(END_APPLY); }
    // Buttons and radio buttons of the main window, and kAboutCommand.
    void OnCommand(int id);

    // ---- editing ----
    void SelectPanel(bool force, int panel);
    void SelectView(int view);
    bool SelectItem(int index, ItemKind kind) override;
    bool BeginEdit(int group) override;
    bool EndEdit(int mode) override;
    bool IsEditOpen() const override { return m_EditGroup != EDIT_NONE; }

    // ---- breaker and subfeed operations ----
    int AddBreaker(int panel, int display, int poles, int slotIndex) override;
    int AddSubfeed(int panel, const Slot& slot) override;
    bool DeleteBreaker(int panel, int index) override;
    bool DeleteSubfeed(int panel, int index) override;
    bool CanAddSubfeed(int panel) const override;

    // ---- state ----
    // True while a workflow runs on a WorkflowRunner's worker thread.
    bool Busy() const { return m_Busy.load(); }
    // True when the calling thread's input is refused: busy, and not the workflow's thread.
    bool InputRefused() const override;
    const UnitConfig& Config() const { return m_Config; }
    UnitLink& Link() { return m_Link; }
    UserMap& Map() { return m_Map; }
    WindowLayout Layout() const { return m_Layout; }
    bool UnitConnected() const { return m_UnitConnected; }
    bool Offline() const { return m_Offline; }
    bool DipValid() const { return m_DipValid; }
    uint8_t DipAddress() const { return m_DipAddress; }
    int EditGroup() const { return m_EditGroup; }
    int Panel() const { return m_Panel; }
    int View() const { return m_View; }
    Selection RememberedSelection(int panel, int view) const;
    const ToolFields& Fields() const { return m_Fields; }

private:
    friend class WorkflowRunner;
    // The runner's side of the busy state. MarkBusy is false when a workflow runs already.
    bool MarkBusy();
    void SetWorkflowThread(std::thread::id id) { m_WorkflowThread.store(id); }
    void ClearBusy();

    // MapOwner
    void ShowMessage(const std::string& text, MsgIcon icon) override;
    int TrackContextMenu(int subMenu, int screenX, int screenY) override;

    // Control operations, with the messages for identifiers the window lacks.
    void EnableItem(int id, bool on);
    void ProtectItem(int id, bool on);
    void GotoItem(int id);
    void Stop(const std::string& text) { m_Ui.Message(text, MsgButtons::Ok, MsgIcon::Stop); }

    // Workflow steps.
    // After the connect dialog: extract from the unit, or take over the offline configuration.
    void ConnectTo(const ConnectResult& choice);
    // Opens the unit for `choice` and keeps the configuration being edited.
    bool ConnectKeeping(const ConnectResult& choice);
    // A unit answered on the route of `choice`: it goes first in the recent routes.
    void RememberRoute(const ConnectResult& choice);
    // The configuration now shown is the one last loaded, extracted or saved (from `fileName`).
    void MarkSaved(const std::string& fileName);
    bool CommitAndRestart(UnitClient& client, bool reset);
    void TakeOver(const UnitConfig& config);
    void ShowNewConfiguration();
    bool ReadVersion(UnitClient& client);
    // The route just opened reached the unit: remember it, and take the unit's DIP address.
    void MarkConnected(const ConnectResult& choice, UnitClient& client);
    // Opens the link's route again when its transport was lost (the serial device hung up: an
    // adapter pulled and put back, a unit that dropped off the line). Without it every later
    // exchange would fail at once although the unit is there again; when the route cannot be
    // opened yet, the exchange fails and the workflow says so as before.
    void ReopenLostTransport();
    // Keeps a failed workflow's link status and logs it with where it failed.
    void NoteFailure(const char* where, const LinkStatus& status);

    // Editing steps.
    Selection& Remembered() { return m_Selection[m_Panel][m_View]; }
    // The remembered item of the current panel and view when it names a used record, else none.
    Selection CurrentItem() const;
    void ShowDipSwitch();
    void LoadUnitFields();
    void LoadPanelFields();
    void ShowItem(const Selection& item);
    bool CheckBreakerFields(const Selection& item);
    void StoreItem(const Selection& item);
    bool CheckText(const std::string& value, const char* label, int id);
    // The Edit, Cancel and Apply buttons of an edit group as it opens and as it closes.
    void OpenGroupButtons(int group);
    void CloseGroupButtons(int group);
    void ShiftSelections(int panel, int kind, int index, int delta);

    ToolUi& m_Ui;
    WindowLayout m_Layout;
    UnitConfig m_Config;
    UnitConfig m_Saved;      // as last loaded, extracted or saved
    std::string m_FileName;  // of the file m_Saved came from or went to; empty for a unit's
    UnitLink m_Link;
    // A lost line is opened again (only onto its own device) before each command that talks to
    // the unit; the tool does not wait for it in the background.
    LinkRecovery m_Recovery{m_Link, "BasicDlg"};
    LinkStatus m_LinkStatus;
    bool m_UnitConnected = false;
    bool m_Offline = false;
    bool m_DipValid = false;
    uint8_t m_DipAddress = 0;
    int32_t m_ReplyTimeoutMs = -1;
    RouteStore* m_Routes = nullptr;

    ToolFields m_Fields;
    int m_EditGroup = EDIT_NONE;
    int m_Panel = 0;
    int m_View = 0;
    std::array<std::array<Selection, 2>, kPanelCount> m_Selection{};

    UserMap m_Map;

    std::atomic<bool> m_Busy{false};
    std::atomic<std::thread::id> m_WorkflowThread{};
};

}  // namespace jvo::tool
