#include "tool/ConsoleUi.h"

#include <cstring>

#include "base/FormatStr.h"
#include "tool/ConfigLoad.h"
#include "tool/Menus.h"
#include "tool/Texts.h"

namespace jvo::tool {

namespace {

constexpr int kBarWidth = 30;

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
    const char* prefix = icon == MsgIcon::Stop          ? "Error: "
                         : icon == MsgIcon::Exclamation ? "Warning: "
                                                        : "";
    Print(prefix + TrimEnd(PlainNewlines(text)) + "\n");
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
        Print(retry ? "[r/C] " : "[y/N] ");
        char line[64];
        if (!std::fgets(line, sizeof line, m_Options.m_In)) {
            Print(FormatStr("\n  -> %s\n", noWord));
            return no;
        }
        const char c = line[0];
        const bool affirmative = retry ? (c == 'r' || c == 'R') : (c == 'y' || c == 'Y');
        return affirmative ? yes : no;
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
    m_Caption = caption;
    m_Upper = 0;
    m_Pos = 0;
    m_BarHidden = false;
    DrawBar();
}

void ConsoleUi::ProgressCaption(const std::string& caption) {
    m_Caption = caption;
    DrawBar();
}

void ConsoleUi::ProgressRange(int upper) {
    m_Upper = upper;
    DrawBar();
}

void ConsoleUi::ProgressPos(int pos) {
    m_Pos = pos;
    DrawBar();
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
