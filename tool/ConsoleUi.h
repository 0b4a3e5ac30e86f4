#pragma once
// ConsoleUi: the configuration tool's user-interface port on a terminal, for the command line.
// Messages go to the error stream with their texts. Questions are asked on the terminal; without
// one they are answered by the --yes / --no choice, and without either every question gets its
// negative answer, so that a script never waits and never loops. The reset question (it destroys
// the unit's configuration) is answered yes automatically only with allowReset. A question asked
// on the terminal is asked again until it gets an answer. Progress is a bar on a terminal, and
// otherwise (unless silenced) a plain line every 10 % with the time elapsed, so that a log shows a
// long transfer alive. The connect dialog gives the port, device or proxy server chosen on the
// command line, the file choosers the files named there.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/Clock.h"
#include "tool/ToolUi.h"

namespace jvo::tool {

struct ConsoleOptions {
    enum class Answer { ASK, YES, NO };
    ConnectResult::Kind m_Target = ConnectResult::CANCELLED;  // PORT, DEVICE or PROXY
    int m_Port = 0;
    std::string m_Device;
    std::string m_Host;      // PROXY: "[tls://]HOST[:PORT]"
    TlsFiles m_Tls;          // PROXY over TLS
    std::string m_OpenPath;  // what "choose a file to open" gives; empty: none
    std::string m_SavePath;  // what "choose a file to save" gives; empty: none
    Answer m_Answer = Answer::ASK;
    bool m_AllowReset = false;
    bool m_InputIsTerminal = false;  // questions may be asked on `m_In`
    bool m_ProgressBar = false;      // the error stream is a terminal
    bool m_ProgressLines = false;    // plain progress lines (the error stream is a log)
    const IClock* m_Clock = &SystemClock::Instance();  // for the elapsed time of progress lines
    FILE* m_In = stdin;
    FILE* m_Err = stderr;
};

class ConsoleUi final : public ToolUi {
public:
    // An automatic yes (or retry) is given to the same question at most this often; afterwards
    // it is answered no (or cancel), so that a script cannot loop.
    static constexpr int kMaxAutoAffirmative = 3;

    explicit ConsoleUi(ConsoleOptions options);

    using ToolUi::Message;
    MsgResult Message(const std::string& text, MsgButtons buttons, MsgIcon icon,
                      MsgResult defaultButton) override;
    FileChoice ChooseFileToOpen(const std::string& defaultExt, const std::string& filter) override;
    ConnectResult RunConnectDialog(BasicDlg& dlg) override;
    FileChoice ChooseFileToSave(const std::string& defaultExt, const std::string& filter) override;
    bool RunAddSubfeedDialog(uint16_t enableMask, int& candidate, int& size) override;
    int TrackContextMenu(int subMenu, int screenX, int screenY) override;

    void ProgressBegin(const std::string& caption) override;
    void ProgressCaption(const std::string& caption) override;
    void ProgressRange(int upper) override;
    void ProgressPos(int pos) override;
    void ProgressHide() override;
    void ProgressEnd() override;

    // Prints the about box's title and version line.
    void ShowAbout() override;
    void SetTitle(const std::string& title) override;
    void RepaintWindow() override {}
    void CloseMainWindow() override { m_Closed = true; }

    void EnableItem(int, bool) override {}
    void ProtectItem(int, bool) override {}
    void GotoItem(int) override {}
    void SetDefaultButton(int, bool) override {}
    void SetItemText(int, const std::string&) override {}
    void SetCheck(int, bool) override {}
    void TransferToControls(const ToolFields& fields) override { m_Fields = fields; }
    bool TransferFromControls(ToolFields& fields) override {
        fields = m_Fields;
        return true;
    }
    void Beep(int, int) override {}
    // jvoctl says what a workflow achieved in its own words; the window's status line and
    // comparison view are not the console's.
    void ShowStatus(const std::string&) override {}
    bool ShowDifferences(const std::string&, const std::vector<std::string>&, bool) override {
        return false;
    }

    // How many messages and questions were shown so far.
    int MessageCount() const { return m_MessageCount; }
    // True when a message or question that begins with `text` was shown.
    bool Showed(std::string_view text) const;
    bool Closed() const { return m_Closed; }
    // Called at the start of each workflow's progress, which comes right before its first
    // request (for jvoctl: from there an install or reset changes the unit).
    void OnProgressBegin(std::function<void()> f) { m_OnProgressBegin = std::move(f); }

private:
    MsgResult Ask(const std::string& text, MsgButtons buttons);
    void Print(const std::string& text);
    void DrawBar();
    void ClearBar();
    void ProgressLine();

    ConsoleOptions m_Options;
    std::function<void()> m_OnProgressBegin;
    bool m_ConnectGiven = false;
    bool m_Closed = false;
    int m_MessageCount = 0;
    std::vector<std::string> m_Shown;           // every message and question, in order
    std::map<std::string, int> m_AutoAffirmed;  // automatic yes/retry answers per question
    ToolFields m_Fields;
    std::string m_Title;
    // Progress bar state.
    bool m_BarShown = false;
    bool m_BarHidden = false;
    std::string m_Caption;
    int m_Upper = 0;
    int m_Pos = 0;
    // Progress line state: the start of the operation and the last tenth reported.
    uint64_t m_StartMs = 0;
    int m_LastTenth = -1;
};

}  // namespace jvo::tool
