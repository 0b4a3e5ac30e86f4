// jvoctl extract / install / reset: the configuration tool's workflows on the command line. The
// same controller (BasicDlg) runs them as in the windowed tool; a console user interface asks its
// questions on the terminal or answers them from --yes / --no. After the workflow's own messages
// one line says what went wrong and what to do.
#include <optional>

#include "base/Files.h"
#include "base/FormatStr.h"
#include "config/ConfigCheck.h"
#include "config/ConfigFile.h"
#include "ctl/Commands.h"
#include "ctl/LinkFailure.h"
#include "ctl/LinkOptions.h"
#include "link/ConfigTransfer.h"
#include "link/StopRequest.h"
#include "link/UnitClient.h"
#include "tool/BasicDlg.h"
#include "tool/ConsoleUi.h"
#include "tool/Texts.h"

namespace jvo::ctl {

namespace {

constexpr const char* kExtractUsage =
    "(--com N | --device PATH | --proxy HOST[:PORT]) -o FILE [--as-is] [--yes | --no] "
    "[--allow-reset] [--timeout MS] [--quiet]";
constexpr const char* kInstallUsage =
    "(--com N | --device PATH | --proxy HOST[:PORT]) FILE [--yes | --no] [--timeout MS] "
    "[--quiet]";
constexpr const char* kResetUsage =
    "(--com N | --device PATH | --proxy HOST[:PORT]) [--yes | --no] [--allow-reset] "
    "[--timeout MS] [--quiet]";

constexpr const char* kAnswerHelp =
    "  --yes / --no      answer every Yes/No question Yes (Retry/Cancel: Retry) or No (Cancel)\n"
    "                    without asking; the same question is answered Yes at most 3 times\n"
    "  --allow-reset     let --yes answer the question whether to reset the unit to its\n"
    "                    defaults, which destroys the unit's configuration\n"
    "  --quiet           no progress output\n"
    "\n"
    "Without --yes or --no the questions are asked on the terminal (until answered yes or no);\n"
    "when standard input is not a terminal every Yes/No question is answered No and every\n"
    "Retry/Cancel question Cancel. Messages go to standard error; progress is a bar there when\n"
    "it is a terminal, and otherwise a line every 10 % with the time elapsed.\n"
    "\n"
    "Exit status: 0 success, 1 the work did not complete (the message says why), 3 a file\n"
    "problem, 4 the unit cannot be reached or does not answer, 64 bad command line.\n";

constexpr const char* kTimeoutHint = "give a slow route more time with --timeout MS";

struct ToolCommand {
    const char* name;
    const char* usage;
    Args args;
    LinkTarget target;
    tool::ConsoleOptions options;
};

// Parses the options shared by the three commands. Returns -1 to go on, else the exit status.
int Prepare(ToolCommand& cmd, int argc, char** argv, std::vector<std::string_view> valued,
            std::vector<std::string_view> flags, const char* details) {
    valued.insert(valued.end(), kLinkOptions.begin(), kLinkOptions.end());
    flags.insert(flags.end(), {"--yes", "--no", "--allow-reset", "--quiet"});
    cmd.args = ParseArgs(argc, argv, valued, flags);
    const Args& args = cmd.args;
    if (args.help) {
        const std::string text = std::string(details) + "\n" + LinkHelp() + kAnswerHelp;
        return PrintCommandHelp(cmd.name, cmd.usage, text.c_str());
    }
    if (!args.error.empty()) return UsageError(cmd.name, cmd.usage, args.error);
    std::string error;
    if (!ParseLinkTarget(args, cmd.target, error)) return UsageError(cmd.name, cmd.usage, error);
    if (args.Find("--yes") && args.Find("--no"))
        return UsageError(cmd.name, cmd.usage, "give at most one of --yes and --no");

    const LinkTarget& target = cmd.target;
    tool::ConsoleOptions& o = cmd.options;
    if (!target.proxyHost.empty()) {
        o.m_Target = tool::ConnectResult::PROXY;
        o.m_Host = target.ProxyAddress();
        o.m_Tls = target.tlsFiles;
    } else if (!target.device.empty()) {
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
    o.m_InputIsTerminal = IsTerminal(stdin);
    const bool quiet = args.Find("--quiet") != nullptr;
    const bool errIsTerminal = IsTerminal(stderr);
    o.m_ProgressBar = errIsTerminal && !quiet;
    o.m_ProgressLines = !errIsTerminal && !quiet;
    return -1;
}

tool::ConnectResult Choice(const tool::ConsoleOptions& o) {
    tool::ConnectResult choice;
    choice.m_Kind = o.m_Target;
    choice.m_Port = o.m_Port;
    choice.m_Device = o.m_Device;
    choice.m_Host = o.m_Host;
    choice.m_Tls = o.m_Tls;
    return choice;
}

// The whole-configuration transfers report into the console's progress output.
class ConsoleProgress final : public IProgress {
public:
    explicit ConsoleProgress(tool::ConsoleUi& ui) : m_Ui(ui) {}
    void ProgressRange(int upper) override { m_Ui.ProgressRange(upper); }
    void ProgressPos(int pos) override { m_Ui.ProgressPos(pos); }

private:
    tool::ConsoleUi& m_Ui;
};

// The message the controller shows when the link cannot be opened (BasicDlg::OpenUnit).
std::string OpenFailedText(const LinkTarget& target) {
    if (!target.proxyHost.empty()) return "Could not connect to the specified server";
    return FormatStr("Could not open %s\n", target.Describe());
}

// The line after a failed open or a failed read of the unit (the tool's own message was shown
// already), from what the link met; its exit status.
int NoUnit(const ToolCommand& cmd, const LinkStatus& status) {
    return ReportLinkFailure(cmd.name, status, cmd.target, false);
}

bool ReachedNoUnit(const ToolCommand& cmd, const tool::ConsoleUi& ui) {
    return ui.Showed(OpenFailedText(cmd.target)) || ui.Showed(tool::text::kExtractFailed);
}

// Reads the unit's configuration as it is, with the console's progress. False after showing the
// tool's extract failure message.
bool ReadAsItIs(const ToolCommand& cmd, tool::ConsoleUi& ui, UnitLink& link, UnitConfig& config,
                LinkStatus& status) {
    UnitClient client(&link, 0);
    client.SetReplyTimeoutMs(cmd.target.timeoutMs);
    ConsoleProgress progress(ui);
    config.Clear();
    ui.ProgressBegin(tool::text::kCaptionExtract);
    const bool read = ReadConfig(client, config, 0, tool::BasicDlg::kRecordAttempts, &progress);
    ui.ProgressEnd();
    if (!read) ui.Message(tool::text::kExtractFailed, tool::MsgButtons::Ok, tool::MsgIcon::Stop);
    status = client.Status();
    return read;
}

// extract --as-is: the unit's configuration saved exactly as it is, the check's report on stderr.
int ExtractAsIs(ToolCommand& cmd, const std::string& out) {
    tool::ConsoleUi ui(cmd.options);
    UnitLink link;
    if (!OpenLinkTarget(link, cmd.target, cmd.name)) return kExitNoUnit;
    UnitConfig config;
    LinkStatus status;
    if (!ReadAsItIs(cmd, ui, link, config, status)) return NoUnit(cmd, status);
    link.Disconnect();

    UnitConfig checked = PrintableConfig(config);  // the saved copy stays apart and as it is
    std::string minor;
    std::string serious;
    const int result = ConfigCheck(checked, false, &minor, &serious);
    WriteText(stderr, FormatStr("The unit's configuration, saved as it is without the check's "
                                "corrections:\nRESULT %d\nMINOR:\n",
                                result) +
                          minor + "SERIOUS:\n" + serious);
    if (!SaveConfigFile(config, out)) {
        WriteText(stderr, FormatStr("Failed to save configuration to: %s\n", out));
        const std::string why = WhyNotSavable(out);
        Explain(cmd.name, why.empty() ? "the file could not be written (is the disk full?)" : why);
        return kExitFile;
    }
    WriteText(stderr, FormatStr("Saved the unit's configuration as it is, without the check's "
                                "corrections, to: %s\n",
                                out));
    return kExitOk;
}

// A read-only client's change was refused: a proxy server refuses its first change, so the unit
// was not touched.
bool RefusedChanges(const LinkStatus& status) {
    return status.result == LinkResult::ProxyRefused && status.refusal == ProxyRefusal::ReadOnly;
}

// The line printed when Ctrl-C or SIGTERM comes while the unit is being changed; off the
// progress bar's line on a terminal.
std::string Held(const ToolCommand& cmd, const std::string& what) {
    return FormatStr("%sjvoctl %s: interrupted; %s\n", cmd.options.m_ProgressBar ? "\n" : "",
                     cmd.name, what);
}

constexpr const char* kHeldHelp =
    "Ctrl-C (or SIGTERM) while the unit is being changed, from the first write until it runs\n"
    "again, does not cut the work off halfway, which would leave the unit without a whole\n"
    "configuration: one line says so when it comes, and jvoctl ends when the unit is\n"
    "consistent again. Before that (reading the file and the unit, the questions) it ends\n"
    "jvoctl at once.\n";

}  // namespace

int RunExtract(int argc, char** argv) {
    ToolCommand cmd{"extract", kExtractUsage, {}, {}, {}};
    const int early = Prepare(
        cmd, argc, argv, {"-o"}, {"--as-is"},
        "Extracts the configuration of the unit, checks it (minor errors are corrected when the\n"
        "question is answered Yes; serious errors lead to the offer to reset the unit), and saves\n"
        "it to FILE (*.jvo.cfg). An existing FILE is replaced only once the new one is "
        "complete.\n"
        "\n"
        "  -o FILE           the file to save to (its folder is checked before the unit is read)\n"
        "  --as-is           save exactly what the unit holds, without the check's corrections,\n"
        "                    even with serious errors (the check's report goes to standard\n"
        "                    error): a backup before a repair, or a file for support\n");
    if (early >= 0) return early;
    const std::string* out = cmd.args.Find("-o");
    if (!out || out->empty()) return UsageError(cmd.name, cmd.usage, "missing -o FILE");
    if (!cmd.args.positional.empty())
        return UsageError(cmd.name, cmd.usage, "unexpected argument " + cmd.args.positional[0]);
    if (cmd.args.Find("--as-is") && cmd.args.Find("--allow-reset"))
        return UsageError(cmd.name, cmd.usage, "--as-is never resets the unit");
    // A file that cannot be saved is found out before the unit is read, not after.
    if (const std::string why = WhyNotSavable(*out); !why.empty()) {
        Explain(cmd.name, why);
        return kExitFile;
    }
    if (cmd.args.Find("--as-is")) return ExtractAsIs(cmd, *out);
    cmd.options.m_SavePath = *out;

    tool::ConsoleUi ui(cmd.options);
    tool::BasicDlg dlg(ui);
    dlg.InitDialog();
    dlg.SetReplyTimeoutMs(cmd.target.timeoutMs);
    dlg.Connect();
    if (!dlg.UnitConnected()) {
        if (ReachedNoUnit(cmd, ui)) return NoUnit(cmd, dlg.LinkFailure());
        if (ui.Showed(tool::text::kSeriousExtractHead))
            Explain(cmd.name,
                    "the unit's configuration has serious errors: back it up with `jvoctl extract "
                    "--as-is -o FILE`, then install a good file over it with `jvoctl install`");
        else
            Explain(cmd.name,
                    "nothing was extracted: answer yes (or give --yes) to have the minor errors "
                    "corrected, or save the configuration as it is with --as-is");
        return kExitFailed;
    }
    const bool saved = dlg.SaveToFile();
    dlg.Disconnect();
    if (!saved) {
        const std::string why = WhyNotSavable(*out);
        Explain(cmd.name, why.empty() ? "the file could not be written (is the disk full?)" : why);
    }
    return saved ? kExitOk : kExitFile;
}

int RunInstall(int argc, char** argv) {
    ToolCommand cmd{"install", kInstallUsage, {}, {}, {}};
    const int early = Prepare(
        cmd, argc, argv, {}, {},
        ("Loads the configuration file FILE and checks it (a file with serious errors is refused\n"
         "before the unit is opened), reads the unit's configuration, and installs FILE: writes\n"
         "it, commits it, reboots the unit and waits until the unit runs again. When the unit's\n"
         "own configuration has serious errors, asks once whether to install FILE over it.\n"
         "\n" +
         std::string(kHeldHelp))
            .c_str());
    if (early >= 0) return early;
    if (cmd.args.positional.size() != 1)
        return UsageError(cmd.name, cmd.usage, "give exactly one configuration FILE");
    const std::string path = cmd.args.positional[0];
    cmd.options.m_OpenPath = path;

    tool::ConsoleUi ui(cmd.options);
    tool::BasicDlg dlg(ui);
    dlg.InitDialog();
    dlg.SetReplyTimeoutMs(cmd.target.timeoutMs);
    // The file first: a mistyped name or a bad file must not cost a read of the unit.
    if (!dlg.LoadFromFile()) {
        if (ui.Showed("Could not open configuration file") ||
            ui.Showed("Failed to load configuration from")) {
            Explain(cmd.name, WhyNotLoadable(path));
            return kExitFile;
        }
        if (ui.Showed(tool::text::kSeriousFileHead)) {
            Explain(cmd.name, path + " has serious errors; nothing was sent to the unit");
            return kExitFile;
        }
        Explain(cmd.name, path +
                              " was not loaded: answer yes (or give --yes) to have its minor "
                              "errors corrected, or correct them with `jvoctl check FILE --fix "
                              "OUT`");
        return kExitFailed;
    }

    if (!dlg.OpenUnit(Choice(cmd.options))) return NoUnit(cmd, dlg.LinkFailure());
    // The unit's own configuration is read as the tool does before an install. Its minor errors
    // do not matter (the install replaces all of it); serious ones are worth a question.
    UnitConfig current;
    LinkStatus status;
    if (!ReadAsItIs(cmd, ui, dlg.Link(), current, status)) {
        dlg.Disconnect();
        return NoUnit(cmd, status);
    }
    std::string serious;
    UnitConfig shown = PrintableConfig(current);
    if (ConfigCheck(shown, false, nullptr, &serious) & CHECK_SERIOUS) {
        WriteText(stderr, "The unit's configuration has these serious errors:\n" + serious);
        if (ui.Message(
                FormatStr("The unit's configuration has serious errors; install %s over it?", path),
                tool::MsgButtons::YesNo, tool::MsgIcon::Exclamation,
                tool::MsgResult::No) != tool::MsgResult::Yes) {
            dlg.Disconnect();
            Explain(cmd.name, "nothing was installed");
            return kExitFailed;
        }
    }
    bool installed = false;
    {
        std::optional<HeldStopRequests> held;
        ui.OnProgressBegin([&] {
            if (!held)
                held.emplace(Held(cmd,
                                  "the install goes on until the unit runs the new configuration, "
                                  "then jvoctl ends"));
        });
        installed = dlg.Install();
        ui.OnProgressBegin({});
    }
    dlg.Disconnect();
    if (!installed) {
        ReportLinkFailure(cmd.name, dlg.LinkFailure(), cmd.target, false);
        Explain(cmd.name, RefusedChanges(dlg.LinkFailure())
                              ? "nothing was installed"
                              : "the configuration was not installed completely; check the unit "
                                "and " +
                                    std::string(kTimeoutHint) + ", then install again");
        return kExitFailed;
    }
    WriteText(stderr, "Configuration installed; the unit is running.\n");
    return kExitOk;
}

int RunReset(int argc, char** argv) {
    ToolCommand cmd{"reset", kResetUsage, {}, {}, {}};
    const int early = Prepare(
        cmd, argc, argv, {}, {},
        ("Resets the unit to its default configuration (after asking), commits it, reboots the\n"
         "unit and waits until it runs again. The unit's configuration is not read first.\n"
         "\n" +
         std::string(kHeldHelp))
            .c_str());
    if (early >= 0) return early;
    if (!cmd.args.positional.empty())
        return UsageError(cmd.name, cmd.usage, "unexpected argument " + cmd.args.positional[0]);

    tool::ConsoleUi ui(cmd.options);
    tool::BasicDlg dlg(ui);
    dlg.InitDialog();
    dlg.SetReplyTimeoutMs(cmd.target.timeoutMs);
    if (!dlg.OpenUnit(Choice(cmd.options))) return NoUnit(cmd, dlg.LinkFailure());
    bool reset = false;
    {
        // From its first request on, after the question.
        std::optional<HeldStopRequests> held;
        ui.OnProgressBegin([&] {
            if (!held)
                held.emplace(
                    Held(cmd,
                         "the reset goes on until the unit runs its default configuration, "
                         "then jvoctl ends"));
        });
        reset = dlg.ResetToDefault();
        ui.OnProgressBegin({});
    }
    dlg.Disconnect();
    if (!reset) {
        if (!dlg.LinkFailure().Ok())
            ReportLinkFailure(cmd.name, dlg.LinkFailure(), cmd.target, false);
        Explain(cmd.name, ui.Showed(tool::text::kAskReset) && ui.MessageCount() == 1
                              ? "the unit was not reset (answer yes, or give --yes --allow-reset)"
                          : RefusedChanges(dlg.LinkFailure())
                              ? "the unit was not reset"
                              : "the unit was not reset completely; check the unit and reset "
                                "again");
        return kExitFailed;
    }
    WriteText(stderr, "The unit was reset to its default configuration and is running.\n");
    return kExitOk;
}

}  // namespace jvo::ctl
