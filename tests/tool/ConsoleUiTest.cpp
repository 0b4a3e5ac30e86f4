// The console user interface: how questions are answered with and without a terminal, the
// progress bar, and the controller's workflows driven through it against the simulated unit.
#include <cstdio>

#include "tests/tool/ToolTestUtil.h"
#include "tool/ConsoleUi.h"
#include "tool/Texts.h"

namespace jvo::tool::test {
namespace {

namespace t = jvo::tool::text;

// Streams in memory for the console.
class Streams {
public:
    explicit Streams(const std::string& input = "") : m_In(std::tmpfile()), m_Err(std::tmpfile()) {
        std::fputs(input.c_str(), m_In);
        std::rewind(m_In);
    }
    ~Streams() {
        std::fclose(m_In);
        std::fclose(m_Err);
    }
    ConsoleOptions Options(ConsoleOptions::Answer answer) const {
        ConsoleOptions o;
        o.m_Answer = answer;
        o.m_In = m_In;
        o.m_Err = m_Err;
        return o;
    }
    std::string Err() const {
        std::fflush(m_Err);
        std::rewind(m_Err);
        std::string s;
        int c;
        while ((c = std::fgetc(m_Err)) != EOF)
            s += static_cast<char>(c);
        return s;
    }

private:
    FILE* m_In;
    FILE* m_Err;
};

TEST(ConsoleUiTest, WithoutATerminalOrAnswerEveryQuestionIsDeclined) {
    Streams s("y\n");
    ConsoleUi ui(s.Options(ConsoleOptions::Answer::ASK));
    EXPECT_EQ(ui.Message(t::kAskExit, MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(ui.Message(t::kExtractFailed, MsgButtons::RetryCancel), MsgResult::Cancel);
    EXPECT_EQ(ui.Message("Could not open COM3\n", MsgButtons::Ok, MsgIcon::Stop), MsgResult::Ok);
    const std::string err = s.Err();
    EXPECT_NE(err.find(std::string(t::kAskExit) + "\n  -> No (no --yes given)\n"),
              std::string::npos);
    EXPECT_NE(err.find("  -> Cancel (no --yes given)"), std::string::npos);
    EXPECT_NE(err.find("Error: Could not open COM3\n"), std::string::npos);
    EXPECT_EQ(ui.MessageCount(), 3);
}

TEST(ConsoleUiTest, YesAnswersButNotTheResetAndNotForever) {
    Streams s;
    ConsoleUi ui(s.Options(ConsoleOptions::Answer::YES));
    EXPECT_EQ(ui.Message(t::kAskReset, MsgButtons::YesNo, MsgIcon::Exclamation, MsgResult::No),
              MsgResult::No);
    EXPECT_NE(s.Err().find("a reset needs --allow-reset"), std::string::npos);
    for (int i = 0; i < ConsoleUi::kMaxAutoAffirmative; ++i)
        EXPECT_EQ(ui.Message(t::kExtractFailed, MsgButtons::RetryCancel), MsgResult::Retry);
    EXPECT_EQ(ui.Message(t::kExtractFailed, MsgButtons::RetryCancel), MsgResult::Cancel);
    EXPECT_EQ(ui.Message("another question", MsgButtons::YesNo), MsgResult::Yes);

    ConsoleOptions o = s.Options(ConsoleOptions::Answer::YES);
    o.m_AllowReset = true;
    ConsoleUi allowed(o);
    EXPECT_EQ(allowed.Message(t::kAskReset, MsgButtons::YesNo, MsgIcon::Exclamation, MsgResult::No),
              MsgResult::Yes);

    ConsoleOptions no = s.Options(ConsoleOptions::Answer::NO);
    no.m_AllowReset = true;
    ConsoleUi declining(no);
    EXPECT_EQ(declining.Message(t::kAskReset, MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(declining.Message(t::kExtractFailed, MsgButtons::RetryCancel), MsgResult::Cancel);
}

TEST(ConsoleUiTest, TerminalQuestionsReadTheAnswerAndAskAgainUntilThereIsOne) {
    Streams s("y\n\nmaybe\n No\nyes-ish\nRETRY\n");
    ConsoleOptions o = s.Options(ConsoleOptions::Answer::ASK);
    o.m_InputIsTerminal = true;
    ConsoleUi ui(o);
    EXPECT_EQ(ui.Message(t::kAskReset, MsgButtons::YesNo), MsgResult::Yes);
    EXPECT_EQ(ui.Message(t::kAskExit, MsgButtons::YesNo), MsgResult::No);  // after two retries
    EXPECT_EQ(ui.Message(t::kExtractFailed, MsgButtons::RetryCancel), MsgResult::Retry);
    EXPECT_EQ(ui.Message(t::kAskExit, MsgButtons::YesNo), MsgResult::No);  // end of input
    const std::string err = s.Err();
    EXPECT_NE(err.find("[yes/no] Please answer yes or no.\n[yes/no] Please answer yes or no.\n"
                       "[yes/no] "),
              std::string::npos);
    EXPECT_NE(err.find("[retry/cancel] Please answer retry or cancel.\n[retry/cancel] "),
              std::string::npos);
    EXPECT_NE(err.find("-> No (end of input)"), std::string::npos);
}

// In a log (the error stream is no terminal) a transfer prints a line per tenth with the time.
TEST(ConsoleUiTest, ProgressLinesInALog) {
    Streams s;
    ManualClock clock(5000);
    ConsoleOptions o = s.Options(ConsoleOptions::Answer::ASK);
    o.m_ProgressLines = true;
    o.m_Clock = &clock;
    ConsoleUi ui(o);
    ui.ProgressBegin(t::kCaptionInstall);
    ui.ProgressRange(300);
    for (int pos = 1; pos <= 300; ++pos) {
        clock.Advance(33);
        ui.ProgressPos(pos);
    }
    ui.ProgressCaption(t::kCaptionReboot);
    ui.ProgressRange(5);
    for (int poll = 1; poll <= 12; ++poll)
        ui.ProgressPos(poll % 6);  // the reboot's polls go round: no percentages
    ui.ProgressEnd();
    const std::string err = s.Err();
    EXPECT_EQ(err.substr(0, 40), "Installing Unit Configuration (0.0 s)\nIn");
    EXPECT_NE(err.find("Installing Unit Configuration: 10% (0.9 s)\n"), std::string::npos);
    EXPECT_NE(err.find("Installing Unit Configuration: 100% (9.9 s)\nRebooting... (9.9 s)\n"),
              std::string::npos);
    size_t lines = 0;
    for (char c : err)
        lines += c == '\n';
    EXPECT_EQ(lines, 12u);  // two captions and ten tenths
    EXPECT_EQ(err.find('\r'), std::string::npos);
}

TEST(ConsoleUiTest, ProgressBarOnlyOnATerminal) {
    {
        Streams s;
        ConsoleUi ui(s.Options(ConsoleOptions::Answer::ASK));
        ui.ProgressBegin(t::kCaptionExtract);
        ui.ProgressRange(200);
        ui.ProgressPos(100);
        ui.ProgressEnd();
        EXPECT_EQ(s.Err(), "");
    }
    Streams s;
    ConsoleOptions o = s.Options(ConsoleOptions::Answer::ASK);
    o.m_ProgressBar = true;
    ConsoleUi ui(o);
    ui.ProgressBegin(t::kCaptionExtract);
    ui.ProgressRange(200);
    ui.ProgressPos(100);
    ui.ProgressPos(500);  // beyond the range: drawn full, never past it
    const std::string err = s.Err();
    EXPECT_NE(err.find(std::string(t::kCaptionExtract)), std::string::npos);
    EXPECT_NE(err.find(" 50%"), std::string::npos);
    EXPECT_NE(err.find("100%"), std::string::npos);
    EXPECT_EQ(err.find("250%"), std::string::npos);
    ui.ProgressHide();
    ui.Message(t::kRestartFailed, MsgButtons::Ok, MsgIcon::Stop);
    ui.ProgressEnd();
    EXPECT_NE(s.Err().find("\r\033[KError: Failed to restart the unit\n"), std::string::npos);
}

TEST(ConsoleUiTest, ConnectDialogAndFileChoosersGiveTheCommandLine) {
    Streams s;
    ConsoleOptions o = s.Options(ConsoleOptions::Answer::ASK);
    o.m_Target = ConnectResult::PORT;
    o.m_Port = 5;
    o.m_OpenPath = "/some/where/unit.jvo.cfg";
    ConsoleUi ui(o);
    ScriptedUi unused;
    BasicDlg dlg(unused);
    const ConnectResult first = ui.RunConnectDialog(dlg);
    EXPECT_EQ(first.m_Kind, ConnectResult::PORT);
    EXPECT_EQ(first.m_Port, 5);
    EXPECT_EQ(ui.RunConnectDialog(dlg).m_Kind, ConnectResult::CANCELLED);
    const FileChoice open = ui.ChooseFileToOpen("jvo.cfg", "");
    EXPECT_TRUE(open.m_Chosen);
    EXPECT_EQ(open.m_Name, "unit.jvo.cfg");
    EXPECT_FALSE(ui.ChooseFileToSave("jvo.cfg", "").m_Chosen);
    int candidate = 0;
    int size = 0;
    EXPECT_FALSE(ui.RunAddSubfeedDialog(0xFFFF, candidate, size));
}

// The same workflows as in the window, through the console.
TEST(ConsoleWorkflowTest, ExtractDeclinesTheResetWithoutPermission) {
    SimUnitOnPty bad(SeriousConfig());
    ASSERT_TRUE(bad.started);
    TempDir dir;
    Streams s;
    ConsoleOptions o = s.Options(ConsoleOptions::Answer::YES);
    o.m_Target = ConnectResult::DEVICE;
    o.m_Device = bad.port.DevicePath();
    o.m_SavePath = dir.File("out.jvo.cfg");
    ConsoleUi ui(o);
    BasicDlg dlg(ui);
    dlg.InitDialog();
    dlg.Connect();
    EXPECT_FALSE(dlg.UnitConnected());
    EXPECT_EQ(bad.unit.Current(), SeriousConfig());
    const std::string err = s.Err();
    EXPECT_NE(err.find("Error: The configuration has the following serious errors:"),
              std::string::npos);
    EXPECT_NE(err.find("is used 2 times\n"), std::string::npos);
    EXPECT_EQ(err.find("\r\n"), std::string::npos);
    EXPECT_NE(err.find("Warning: Would you like to reset the JVO"), std::string::npos);
}

TEST(ConsoleWorkflowTest, ExtractWithCorrectionsAndSave) {
    SimUnitOnPty unit(MinorConfig());
    ASSERT_TRUE(unit.started);
    TempDir dir;
    Streams s;
    ConsoleOptions o = s.Options(ConsoleOptions::Answer::YES);
    o.m_Target = ConnectResult::DEVICE;
    o.m_Device = unit.port.DevicePath();
    o.m_SavePath = dir.File("out.jvo.cfg");
    ConsoleUi ui(o);
    BasicDlg dlg(ui);
    dlg.InitDialog();
    dlg.Connect();
    ASSERT_TRUE(dlg.UnitConnected());
    ASSERT_TRUE(dlg.SaveToFile());
    UnitConfig saved;
    ASSERT_TRUE(LoadConfigFile(saved, o.m_SavePath));
    EXPECT_EQ(saved, dlg.Config());
    EXPECT_EQ(ConfigCheck(saved, false, nullptr, nullptr), 0);
    EXPECT_NE(s.Err().find("JVO Config Tool [Firmware Build:412]\n"), std::string::npos);
    EXPECT_NE(s.Err().find("Successfully saved configuration to: " + o.m_SavePath),
              std::string::npos);
}

}  // namespace
}  // namespace jvo::tool::test
