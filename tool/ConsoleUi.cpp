#include "tool/ConsoleUi.h"

#include <cstring>

#include "base/CmdLine.h"
#include "base/FormatStr.h"
#include "base/Printable.h"
#include "tool/ConfigLoad.h"
#include "tool/Menus.h"
#include "tool/Texts.h"

namespace jvo::tool {

namespace {

constexpr int kBarWidth = 30;
// A transfer shorter than this many steps (the reboot's status polls) shows only its caption.
constexpr int kMinStepsForLines = 10;

bool Affirmative(MsgResult r) {
    return r == MsgResult::Yes || r == MsgResult::Retry;
}

std::string TrimEnd(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r' || text[end - 1] == ' '))
        --end;
    return text.substr(0, end);
}

// Lines of the configuration check end in CR LF; a terminal wants LF.
std::string PlainNewlines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

}  // namespace

ConsoleUi::ConsoleUi(ConsoleOptions options) : m_Options(std::move(options)) {}

void ConsoleUi::Print(const std::string& text) {
    ClearBar();
    std::fputs(text.c_str(), m_Options.m_Err);
    std::fflush(m_Options.m_Err);
}

MsgResult ConsoleUi::Message(const std::string& text, MsgButtons buttons, MsgIcon icon,
                             MsgResult defaultButton) {
    (void)defaultButton;  // a console answer never defaults to the affirmative
    ++m_MessageCount;
    m_Shown.push_back(text);
    const char* prefix = icon == MsgIcon::Stop          ? "Error: "
                         : icon == MsgIcon::Exclamation ? "Warning: "
                                                        : "";
    // Messages carry names from files and units: their control characters are shown escaped.
    Print(prefix + PrintableLines(TrimEnd(PlainNewlines(text))) + "\n");
    if (buttons == MsgButtons::Ok) return MsgResult::Ok;
    return Ask(text, buttons);
}

MsgResult ConsoleUi::Ask(const std::string& text, MsgButtons buttons) {
    const bool retry = buttons == MsgButtons::RetryCancel;
    const MsgResult yes = retry ? MsgResult::Retry : MsgResult::Yes;
    const MsgResult no = retry ? MsgResult::Cancel : MsgResult::No;
    const char* yesWord = retry ? "Retry" : "Yes";
    const char* noWord = retry ? "Cancel" : "No";
    const bool isReset = text == text::kAskReset;

    if (m_Options.m_Answer == ConsoleOptions::Answer::ASK && m_Options.m_InputIsTerminal) {
        ClearBar();
        const cmdline::Reply reply =
            retry ? cmdline::AskYesNo(m_Options.m_In, m_Options.m_Err, "[retry/cancel] ", "retry",
                                      "cancel")
                  : cmdline::AskYesNo(m_Options.m_In, m_Options.m_Err, "[yes/no] ");
        if (reply == cmdline::Reply::END) {
            Print(FormatStr("\n  -> %s (end of input)\n", noWord));
            return no;
        }
        return reply == cmdline::Reply::YES ? yes : no;
    }

    MsgResult answer = no;
    const char* why = "no --yes given";
    if (m_Options.m_Answer == ConsoleOptions::Answer::NO) {
        why = "--no";
    } else if (m_Options.m_Answer == ConsoleOptions::Answer::YES) {
        int& count = m_AutoAffirmed[text];
        if (isReset && !m_Options.m_AllowReset) {
            why = "a reset needs --allow-reset";
        } else if (count >= kMaxAutoAffirmative) {
            why = "asked too often";
        } else {
            ++count;
            answer = yes;
            why = "--yes";
        }
    }
    Print(FormatStr("  -> %s (%s)\n", Affirmative(answer) ? yesWord : noWord, why));
    return answer;
}

bool ConsoleUi::Showed(std::string_view text) const {
    for (const std::string& shown : m_Shown)
        if (std::string_view(shown).substr(0, text.size()) == text) return true;
    return false;
}

FileChoice ConsoleUi::ChooseFileToOpen(const std::string&, const std::string&) {
    FileChoice choice;
    if (m_Options.m_OpenPath.empty()) return choice;
    choice.m_Chosen = true;
    choice.m_Path = m_Options.m_OpenPath;
    choice.m_Name = BareFileName(choice.m_Path);
    return choice;
}

FileChoice ConsoleUi::ChooseFileToSave(const std::string&, const std::string&) {
    FileChoice choice;
    if (m_Options.m_SavePath.empty()) return choice;
    choice.m_Chosen = true;
    choice.m_Path = m_Options.m_SavePath;
    choice.m_Name = BareFileName(choice.m_Path);
    return choice;
}

ConnectResult ConsoleUi::RunConnectDialog(BasicDlg&) {
    ConnectResult result;
    if (m_ConnectGiven) return result;  // the command line names one unit, once
    m_ConnectGiven = true;
    result.m_Kind = m_Options.m_Target;
    result.m_Port = m_Options.m_Port;
    result.m_Device = m_Options.m_Device;
    result.m_Host = m_Options.m_Host;
    return result;
}

bool ConsoleUi::RunAddSubfeedDialog(uint16_t, int&, int&) {
    return false;
}

int ConsoleUi::TrackContextMenu(int, int, int) {
    return 0;
}

void ConsoleUi::ShowAbout() {
    const AboutTexts& about = AboutBoxTexts();
    Print(about.title + "\n" + about.version + "\n");
}

void ConsoleUi::SetTitle(const std::string& title) {
    if (title == m_Title) return;
    m_Title = title;
    if (title != text::kTitle) Print(title + "\n");
}

void ConsoleUi::ProgressBegin(const std::string& caption) {
    if (m_OnProgressBegin) m_OnProgressBegin();
    m_Caption = caption;
    m_Upper = 0;
    m_Pos = 0;
    m_BarHidden = false;
    m_StartMs = m_Options.m_Clock->NowMs();
    m_LastTenth = -1;
    DrawBar();
    ProgressLine();
}

void ConsoleUi::ProgressCaption(const std::string& caption) {
    const bool changed = caption != m_Caption;
    m_Caption = caption;
    if (changed) m_LastTenth = -1;
    DrawBar();
    if (changed) ProgressLine();
}

void ConsoleUi::ProgressRange(int upper) {
    m_Upper = upper;
    DrawBar();
}

void ConsoleUi::ProgressPos(int pos) {
    m_Pos = pos;
    DrawBar();
    ProgressLine();
}

void ConsoleUi::ProgressLine() {
    if (!m_Options.m_ProgressLines || m_Caption.empty()) return;
    const uint64_t elapsedMs = m_Options.m_Clock->NowMs() - m_StartMs;
    const std::string elapsed =
        FormatStr("%llu.%llu s", static_cast<unsigned long long>(elapsedMs / 1000),
                  static_cast<unsigned long long>(elapsedMs % 1000 / 100));
    if (m_LastTenth < 0) {  // a new stage: its caption
        m_LastTenth = 0;
        Print(FormatStr("%s (%s)\n", m_Caption, elapsed));
        return;
    }
    if (m_Upper < kMinStepsForLines) return;
    const int pos = m_Pos < 0 ? 0 : m_Pos > m_Upper ? m_Upper : m_Pos;
    const int tenth = static_cast<int>(static_cast<long long>(pos) * 10 / m_Upper);
    if (tenth <= m_LastTenth) return;
    m_LastTenth = tenth;
    Print(FormatStr("%s: %d%% (%s)\n", m_Caption, tenth * 10, elapsed));
}

void ConsoleUi::ProgressHide() {
    ClearBar();
    m_BarHidden = true;
}

void ConsoleUi::ProgressEnd() {
    ClearBar();
    m_BarHidden = false;
    m_Caption.clear();
}

void ConsoleUi::DrawBar() {
    if (!m_Options.m_ProgressBar || m_BarHidden || m_Caption.empty()) return;
    const int upper = m_Upper > 0 ? m_Upper : 1;
    const int pos = m_Pos < 0 ? 0 : m_Pos > upper ? upper : m_Pos;
    const int filled = pos * kBarWidth / upper;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    std::fputs(FormatStr("\r%-30s [%s] %3d%%", m_Caption, bar, pos * 100 / upper).c_str(),
               m_Options.m_Err);
    std::fflush(m_Options.m_Err);
    m_BarShown = true;
}

void ConsoleUi::ClearBar() {
    if (!m_BarShown) return;
    std::fputs("\r\033[K", m_Options.m_Err);
    std::fflush(m_Options.m_Err);
    m_BarShown = false;
}

}  // namespace jvo::tool
