// jvoctl extract / install / reset: the configuration tool's workflows on the command line. The
// same controller (BasicDlg) runs them as in the windowed tool; a console user interface asks its
// questions on the terminal or answers them from --yes / --no.
#include <unistd.h>

#include "ctl/Commands.h"
#include "ctl/LinkOptions.h"
#include "base/FormatStr.h"
#include "tool/BasicDlg.h"
#include "tool/ConsoleUi.h"

namespace jvo::ctl {

namespace {

constexpr int kExitFailed = 1;  // the workflow did not complete; its message says why

constexpr const char* kExtractUsage =
    "(--com N | --device PATH) -o FILE [--yes | --no] [--allow-reset]";
constexpr const char* kInstallUsage =
    "(--com N | --device PATH) FILE [--yes | --no] [--allow-reset]";
constexpr const char* kResetUsage = "(--com N | --device PATH) [--yes | --no] [--allow-reset]";

constexpr const char* kAnswerHelp =
    "\n"
    "  --yes / --no     answer every Yes/No question Yes (Retry/Cancel: Retry) or No (Cancel)\n"
    "                   without asking; the same question is answered Yes at most 3 times\n"
    "  --allow-reset    let --yes answer the question whether to reset the unit to its\n"
    "                   defaults, which destroys the unit's configuration\n"
    "\n"
    "Without --yes or --no the questions are asked on the terminal; when standard input is not\n"
    "a terminal every Yes/No question is answered No and every Retry/Cancel question Cancel.\n"
    "Messages go to standard error; progress is a bar there when it is a terminal.\n"
    "\n"
    "Exit status: 0 success, 1 the workflow did not complete (its message says why), 3 the\n"
    "configuration file could not be read, loaded or written, 64 bad command line.\n";

struct ToolCommand {
    const char* name;
    const char* usage;
    Args args;
    tool::ConsoleOptions options;
};

// Parses the options shared by the three commands. Returns -1 to go on, else the exit status.
int Prepare(ToolCommand& cmd, int argc, char** argv, const std::vector<std::string_view>& valued,
            const char* details) {
    cmd.args = ParseArgs(argc, argv, valued, {"--yes", "--no", "--allow-reset"});
    const Args& args = cmd.args;
    if (args.help) {
        std::string text = std::string(details) + kAnswerHelp;
        return PrintCommandHelp(cmd.name, cmd.usage, text.c_str());
    }
    if (!args.error.empty()) return UsageError(cmd.name, cmd.usage, args.error);
    LinkTarget target;
    std::string error;
    if (!ParseLinkTarget(args, false, target, error)) return UsageError(cmd.name, cmd.usage, error);
    if (args.Find("--yes") && args.Find("--no"))
        return UsageError(cmd.name, cmd.usage, "give at most one of --yes and --no");

    tool::ConsoleOptions& o = cmd.options;
    if (!target.device.empty()) {
        o.m_Target = tool::ConnectResult::DEVICE;
        o.m_Device = target.device;
    } else {
        o.m_Target = tool::ConnectResult::PORT;
        o.m_Port = target.com;
    }
    o.m_Answer = args.Find("--yes")  ? tool::ConsoleOptions::Answer::YES
                 : args.Find("--no") ? tool::ConsoleOptions::Answer::NO
                                     : tool::ConsoleOptions::Answer::ASK;
    o.m_AllowReset = args.Find("--allow-reset") != nullptr;
    o.m_InputIsTerminal = ::isatty(STDIN_FILENO) == 1;
    o.m_ProgressBar = ::isatty(STDERR_FILENO) == 1;
    return -1;
}

// The workflow has shown its own message where it has one; this line says what did not happen.
int Failed(const char* command, const char* what) {
    WriteText(stderr, FormatStr("jvoctl %s: %s\n", command, what));
    return kExitFailed;
}

}  // namespace

int RunExtract(int argc, char** argv) {
    ToolCommand cmd{"extract", kExtractUsage, {}, {}};
    const int early = Prepare(
        cmd, argc, argv, {"--com", "--device", "-o"},
        "Extracts the configuration of the unit, checks it (minor errors are corrected when the\n"
        "question is answered Yes; serious errors lead to the offer to reset the unit), and saves\n"
        "it to FILE (*.jvo.cfg). An existing FILE is replaced only once the new one is "
        "complete.\n");
    if (early >= 0) return early;
    const std::string* out = cmd.args.Find("-o");
    if (!out || out->empty()) return UsageError(cmd.name, cmd.usage, "missing -o FILE");
    if (!cmd.args.positional.empty())
        return UsageError(cmd.name, cmd.usage, "unexpected argument " + cmd.args.positional[0]);
    cmd.options.m_SavePath = *out;

    tool::ConsoleUi ui(cmd.options);
    tool::BasicDlg dlg(ui);
    dlg.InitDialog();
    dlg.Connect();
    if (!dlg.UnitConnected()) return Failed(cmd.name, "no configuration was extracted");
    const bool saved = dlg.SaveToFile();
    dlg.Disconnect();
    return saved ? kExitOk : kExitFile;
}

int RunInstall(int argc, char** argv) {
    ToolCommand cmd{"install", kInstallUsage, {}, {}};
    const int early = Prepare(
        cmd, argc, argv, {"--com", "--device"},
        "Connects to the unit (extracting and checking its configuration first, as the tool "
        "does),\n"
        "loads the configuration file FILE with its checks, and installs it: writes it, commits\n"
        "it, reboots the unit and waits until the unit runs again.\n");
    if (early >= 0) return early;
    if (cmd.args.positional.size() != 1)
        return UsageError(cmd.name, cmd.usage, "give exactly one configuration FILE");
    cmd.options.m_OpenPath = cmd.args.positional[0];

    tool::ConsoleUi ui(cmd.options);
    tool::BasicDlg dlg(ui);
    dlg.InitDialog();
    dlg.Connect();
    if (!dlg.UnitConnected())
        return Failed(cmd.name, "the unit's configuration was not extracted; nothing installed");
    if (!dlg.LoadFromFile()) {
        dlg.Disconnect();
        WriteText(stderr,
                  FormatStr("jvoctl %s: the file was not loaded; nothing installed\n", cmd.name));
        return kExitFile;
    }
    const bool installed = dlg.Install();
    dlg.Disconnect();
    if (!installed) return Failed(cmd.name, "the configuration was not installed");
    WriteText(stderr, "Configuration installed; the unit is running.\n");
    return kExitOk;
}

int RunReset(int argc, char** argv) {
    ToolCommand cmd{"reset", kResetUsage, {}, {}};
    const int early = Prepare(
        cmd, argc, argv, {"--com", "--device"},
        "Resets the unit to its default configuration (after asking), commits it, reboots the\n"
        "unit and waits until it runs again. The unit's configuration is not read first.\n");
    if (early >= 0) return early;
    if (!cmd.args.positional.empty())
        return UsageError(cmd.name, cmd.usage, "unexpected argument " + cmd.args.positional[0]);

    tool::ConsoleUi ui(cmd.options);
    tool::BasicDlg dlg(ui);
    dlg.InitDialog();
    tool::ConnectResult target;
    target.m_Kind = cmd.options.m_Target;
    target.m_Port = cmd.options.m_Port;
    target.m_Device = cmd.options.m_Device;
    if (!dlg.OpenUnit(target)) return Failed(cmd.name, "the unit was not reset");
    const bool reset = dlg.ResetToDefault();
    dlg.Disconnect();
    if (!reset) return Failed(cmd.name, "the unit was not reset");
    WriteText(stderr, "The unit was reset to its default configuration and is running.\n");
    return kExitOk;
}

}  // namespace jvo::ctl
