#pragma once
// QtToolUi: the configuration tool's user-interface port in Qt widgets. The core calls it from
// the worker thread that runs a workflow; every call is carried to the UI thread:
// - control operations, the title and the progress window by a blocking queued call (CallOnUi);
// - message boxes, file choosers, the connect, "Add Subfeed" and about dialogs and the context
//   menu are opened with open()/popup() on the UI thread, and the worker waits for their answer
//   (AwaitOnUi), so the UI thread keeps running its own event loop and nothing is nested.
// Called on the UI thread itself (outside a workflow) the same operations still work.
#include <QPointer>
#include <atomic>
#include <functional>
#include <string>

#include "tool/ToolUi.h"

class QWidget;

namespace jvo::tool::qt {

class ToolWindow;
class ProgressDlg;

class QtToolUi final : public ToolUi {
public:
    using ToolUi::Message;

    QtToolUi(ToolWindow& window, std::string logPath);

    // A choice made on the command line, given by the first connect dialog instead of asking.
    void PresetConnect(ConnectResult choice, std::string offlineFile = {});
    // For scripts: nobody answers. Every message goes to standard error; a question gets its
    // default answer, Retry/Cancel is cancelled, and so are file dialogs and the connect dialog
    // (after a preset).
    void SetUnattended(bool on) { m_Unattended = on; }
    // True once the core asked to close the main window from a workflow; the window is closed
    // when the workflow has ended.
    bool CloseRequested() const { return m_CloseRequested; }

    MsgResult Message(const std::string& text, MsgButtons buttons, MsgIcon icon,
                      MsgResult defaultButton) override;
    FileChoice ChooseFileToOpen(const std::string& defaultExt, const std::string& filter) override;
    FileChoice ChooseFileToSave(const std::string& defaultExt, const std::string& filter) override;
    ConnectResult RunConnectDialog(BasicDlg& dlg) override;
    bool RunAddSubfeedDialog(uint16_t enableMask, int& candidate, int& size) override;
    int TrackContextMenu(int subMenu, int screenX, int screenY) override;
    void ShowAbout() override;

    void ProgressBegin(const std::string& caption) override;
    void ProgressCaption(const std::string& caption) override;
    void ProgressRange(int upper) override;
    void ProgressPos(int pos) override;
    void ProgressHide() override;
    void ProgressEnd() override;

    void SetTitle(const std::string& title) override;
    void RepaintWindow() override;
    void CloseMainWindow() override;

    void EnableItem(int id, bool on) override;
    void ProtectItem(int id, bool on) override;
    void GotoItem(int id) override;
    void SetDefaultButton(int id, bool on) override;
    void SetItemText(int id, const std::string& text) override;
    void SetCheck(int id, bool on) override;
    void TransferToControls(const ToolFields& fields) override;
    bool TransferFromControls(ToolFields& fields) override;
    void Beep(int frequencyHz, int durationMs) override;
    void ShowStatus(const std::string& text) override;
    bool ShowDifferences(const std::string& heading, const std::vector<std::string>& lines,
                         bool offerInstall) override;

private:
    FileChoice ChooseFile(bool save, const std::string& defaultExt, const std::string& filter);
    // Runs `f` on the UI thread with the control `id` (skipped when the window has none).
    void WithControl(int id, const std::function<void(QWidget*)>& f);

    ToolWindow& m_Window;
    std::string m_LogPath;
    QPointer<ProgressDlg> m_Progress;  // UI thread only
    ConnectResult m_Preset;
    std::string m_PresetFile;
    bool m_PresetUsed = true;
    std::atomic<bool> m_CloseRequested{false};
    std::atomic<bool> m_Unattended{false};
};

}  // namespace jvo::tool::qt
