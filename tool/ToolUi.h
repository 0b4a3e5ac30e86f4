#pragma once
// ToolUi: the configuration tool's user-interface port. The controller (BasicDlg) talks to the
// user only through it: message boxes, the connect dialog, file choosers, the progress window,
// the window title and the controls of the main window, addressed by their identifiers. The port
// knows nothing of any windowing library; a desktop front end, a console and the tests implement
// it.
#include <cstdint>
#include <string>
#include <vector>

#include "base/MessageBox.h"
#include "config/UnitConfig.h"
#include "link/RecentRoutes.h"
#include "link/Tls.h"

namespace jvo::tool {

// The controls of the main window (both window layouts share them).
enum ControlId : int {
    IDC_PLACEHOLDER = 1000,     // hidden; the panel picture's area
    IDC_PICTURE = 1001,         // the panel picture
    IDC_PANEL_A = 1002,         // radio "A Panel"
    IDC_PANEL_B = 1003,         // radio "B Panel"
    IDC_VIEW_PANEL = 1004,      // radio "Panel Breakers"
    IDC_VIEW_AUX = 1005,        // radio "Auxiliary Breakers"
    IDC_UNIT_NAME = 1010,       // edit "JVO Unit Name:"
    IDC_SW_ADDRESS = 1013,      // edit "Software Address:"
    IDC_INSTALL = 1014,         // button "Install to Unit"
    IDC_EXIT = 1015,            // button "Exit"
    IDC_BREAKER_NAME = 1017,    // edit "Breaker Name:"
    IDC_LOAD = 1018,            // button "Load from File"
    IDC_SAVE = 1019,            // button "Save to File"
    IDC_POSITION = 1020,        // edit "Position:", always read-only
    IDC_DIP_ADDRESS = 1021,     // edit "DIP Switch Address:", always read-only
    IDC_POLES = 1023,           // edit "Number of Poles:", always read-only
    IDC_UNIT_EDIT = 1029,       // unit group "Edit"
    IDC_UC_LABEL = 1032,        // label "Phase Under Current Alarm:"
    IDC_PANEL_EDIT = 1033,      // panel group "Edit"
    IDC_BREAKER_EDIT = 1034,    // breaker group "Edit"
    IDC_UNIT_CANCEL = 1035,     // unit group "Cancel"
    IDC_UNIT_APPLY = 1036,      // unit group "Apply"
    IDC_PANEL_CANCEL = 1037,    // panel group "Cancel"
    IDC_PANEL_APPLY = 1038,     // panel group "Apply"
    IDC_BREAKER_CANCEL = 1039,  // breaker group "Cancel"
    IDC_BREAKER_APPLY = 1040,   // breaker group "Apply"
    IDC_PANEL_NAME = 1041,      // edit "Panel Name:"
    IDC_NEUTRAL_LABEL = 1042,   // label "Neutral Current Alarm:"
    IDC_PASSWORD = 1043,        // password edit "Password:"
    IDC_RATING = 1044,          // edit "Breaker Rating:"
    IDC_GROUND_LABEL = 1045,    // label "Ground Current Alarm:"
    IDC_OC_ALARM = 1046,        // edit "Phase Over Current Alarm:"
    IDC_UC_UNIT = 1047,         // "%" after the under-current alarm
    IDC_NEUTRAL_UNIT = 1048,    // "%" after the neutral alarm
    IDC_OC_WARNING = 1049,      // edit "Phase Over Current Warning:"
    IDC_GROUND_UNIT = 1050,     // "Amps" after the ground alarm
    IDC_POSITION_LABEL = 1051,  // label "Position:"
    IDC_DIP_NOTE = 1052,        // multi-line note under the DIP switch address, always read-only
    IDC_UC_ALARM = 1055,        // edit "Phase Under Current Alarm:"
    IDC_NEUTRAL_ALARM = 1056,   // edit "Neutral Current Alarm:"
    IDC_HYSTERESIS = 1057,      // edit "Hysteresis Interval:"
    IDC_VERSION = 1058,         // version line
    IDC_GROUND_ALARM = 1059,    // edit "Ground Current Alarm:"
};

// True for every identifier of the enumeration above.
bool IsControlId(int id);

using jvo::MsgButtons;
using jvo::MsgIcon;
using jvo::MsgResult;

// The values shown in the property groups, transferred to and from the controls as a whole.
struct ToolFields {
    std::string m_strUnitName;
    int m_nSoftwareAddress = 0;
    std::string m_strPanelName;
    std::string m_strPassword;
    std::string m_strBreakerName;
    int m_nPosition = 0;
    int m_nPoles = 0;
    int m_nRating = 0;
    int m_nOcAlarm = 0;
    int m_nOcWarning = 0;
    int m_nUcAlarm = 0;
    int m_nNeutralAlarm = 0;
    int m_nGroundAlarm = 0;
    int m_nHysteresis = 0;
    bool operator==(const ToolFields&) const = default;
};

// What the connect dialog gave: nothing, a COM port, a serial device named by its path (the
// command line's --device), or a configuration loaded and checked for offline work. PROXY (a
// proxy server, the command line's --proxy) comes only from the command line.
struct ConnectResult {
    enum Kind { CANCELLED, PORT, DEVICE, OFFLINE, PROXY };
    Kind m_Kind = CANCELLED;
    int m_Port = 0;          // PORT: 1..32
    std::string m_Device;    // DEVICE: path of the serial device
    UnitConfig m_Config;     // OFFLINE: the loaded configuration
    std::string m_Host;      // PROXY: "[tls://]HOST[:PORT]" of the proxy server
    TlsFiles m_Tls;          // PROXY over TLS: the CA, the client's certificate and key
    std::string m_FileName;  // OFFLINE: the bare name of the file loaded
};

// The route of a unit choice (PORT, DEVICE or PROXY), and the choice of a route.
Route RouteOf(const ConnectResult& choice);
ConnectResult ChoiceOf(const Route& route);

struct FileChoice {
    bool m_Chosen = false;
    std::string m_Path;  // full path
    std::string m_Name;  // bare file name
};

// Message boxes and the file-open chooser: what the connect dialog's logic needs of a user
// interface.
class DialogPort {
public:
    virtual ~DialogPort() = default;
    virtual MsgResult Message(const std::string& text, MsgButtons buttons, MsgIcon icon,
                              MsgResult defaultButton) = 0;
    virtual FileChoice ChooseFileToOpen(const std::string& defaultExt,
                                        const std::string& filter) = 0;

    // The usual forms: OK with an icon, and questions whose default is the affirmative button.
    MsgResult Message(const std::string& text, MsgButtons buttons = MsgButtons::Ok,
                      MsgIcon icon = MsgIcon::None) {
        return Message(text, buttons, icon,
                       buttons == MsgButtons::YesNo         ? MsgResult::Yes
                       : buttons == MsgButtons::RetryCancel ? MsgResult::Retry
                                                            : MsgResult::Ok);
    }
};

class BasicDlg;

// The whole port. Every operation blocks until the user has answered.
//
// What a window front end must keep to:
// - Threads. The workflows run on a WorkflowRunner's worker thread, so these operations (and
//   the MapCanvas calls of the panel picture) arrive on that thread while a workflow runs, and
//   on the window's thread otherwise (the editing commands, the connect dialog's own messages).
//   An implementation carries a call from another thread to the window's thread and waits for
//   its answer (a blocking queued call); a call already on the window's thread is answered
//   directly, never queued to itself. No implementation pumps a nested event loop for the
//   controller. While BasicDlg::Busy() the window reads nothing of the controller's state
//   (Config(), Fields(), Map()); it paints from what these calls gave it.
// - The progress window is application-modal while it is shown, so that nothing but it takes
//   input during a workflow; the controller refuses every command meanwhile anyway.
// - Radio buttons are wired to their "clicked" signal, never to "toggled": the controller sets
//   their checks itself through SetCheck (to put a refused panel or view choice back), and such
//   a change must not come back as a command.
// - CloseMainWindow closes the window without going through the window's close handling again:
//   the close box is OnCancelKey, which may itself have asked and called CloseMainWindow.
// - The Enter key reaches BasicDlg::OnOkKey and Escape OnCancelKey. Push buttons have their
//   auto-default turned off, so that Enter does not also press a focused button;
//   SetDefaultButton only marks the group's Apply button as the default.
// - File choosers get the filter in the form "Name (*.jvo.cfg)|*.jvo.cfg||" and convert it with
//   ToQtFilter (tool/FileFilter.h). When saving, a name the user typed without any extension
//   gets ".jvo.cfg" through SaveAsName (base/SaveName.h), and replacing a file is asked about on
//   that final name; when opening, a name that does not exist as typed is tried with
//   WithDefaultExtension.
// - Beep(frequency, duration) maps onto the one sound the library has (QApplication::beep());
//   frequency and duration are hints it cannot honour.
// - The about box (ShowAbout) has no system menu to live in on Linux desktops: the window offers
//   AboutBoxTexts().menuItem in its Help menu or context menu and sends command 16.
class ToolUi : public DialogPort {
public:
    using DialogPort::Message;

    // The connect dialog (its logic is ConnectDlgLogic).
    virtual ConnectResult RunConnectDialog(BasicDlg& dlg) = 0;
    virtual FileChoice ChooseFileToSave(const std::string& defaultExt,
                                        const std::string& filter) = 0;
    // The "Add Subfeed" dialog: candidates whose bit is set in `enableMask` can be chosen; on
    // entry `candidate` is the first enabled one and `size` 0 ("100 Amp"). True for "Add
    // Subfeed", with the chosen candidate (0..15) and size index (0..2).
    virtual bool RunAddSubfeedDialog(uint16_t enableMask, int& candidate, int& size) = 0;
    // The panel picture's context menu: shows sub-menu `subMenu` (0..5) at a screen position
    // and returns the chosen command identifier, or 0 when none was chosen.
    virtual int TrackContextMenu(int subMenu, int screenX, int screenY) = 0;

    // The progress window.
    virtual void ProgressBegin(const std::string& caption) = 0;
    virtual void ProgressCaption(const std::string& caption) = 0;
    virtual void ProgressRange(int upper) = 0;
    virtual void ProgressPos(int pos) = 0;
    virtual void ProgressHide() = 0;
    virtual void ProgressEnd() = 0;

    // The about box (command 16 of the main window), closed with OK.
    virtual void ShowAbout() = 0;

    virtual void SetTitle(const std::string& title) = 0;
    virtual void RepaintWindow() = 0;
    virtual void CloseMainWindow() = 0;

    // Controls of the main window.
    virtual void EnableItem(int id, bool on) = 0;
    virtual void ProtectItem(int id, bool on) = 0;
    virtual void GotoItem(int id) = 0;
    virtual void SetDefaultButton(int id, bool on) = 0;
    virtual void SetItemText(int id, const std::string& text) = 0;
    virtual void SetCheck(int id, bool on) = 0;
    virtual void TransferToControls(const ToolFields& fields) = 0;
    // False when an integer field does not parse (the implementation has then told the user
    // "Please enter an integer."); `fields` is then unspecified.
    virtual bool TransferFromControls(ToolFields& fields) = 0;
    virtual void Beep(int frequencyHz, int durationMs) = 0;

    // The window's status area: one line that stays until the next ("Configuration installed;
    // the unit is running").
    virtual void ShowStatus(const std::string& text) = 0;
    // The "Compare with Unit" view: `heading`, then one line per difference (none when the
    // configurations are the same). With `offerInstall` the view offers to install; true when
    // the user chose that.
    virtual bool ShowDifferences(const std::string& heading, const std::vector<std::string>& lines,
                                 bool offerInstall) = 0;
};

}  // namespace jvo::tool
