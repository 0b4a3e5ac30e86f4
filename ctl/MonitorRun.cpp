#include "ctl/MonitorRun.h"

#include <cstdio>

#include "base/FormatStr.h"
#include "ctl/Commands.h"
#include "ctl/LinkFailure.h"
#include "link/UnitClient.h"
#include "monitor/Dumps.h"
#include "monitor/Notify.h"
#include "monitor/PolledIPC.h"

namespace jvo::ctl {

namespace {
constexpr int kStatusProbes = 3;
constexpr int kFailuresInRow = 10;
constexpr const char* kUsage =
    "(--com N | --device PATH | --proxy HOST[:PORT]) [--timeout MS] -o FILE";
constexpr const char* kExits =
    "Exit status 1 for a wrong schema or a configuration that cannot be loaded, 3 when FILE "
    "cannot be written, 4 when the unit does not answer. No file is written on failure.\n";

int NoAnswer(const LinkTarget& target) {
    std::fprintf(stderr, "The unit on %s does not answer.\n", target.Describe().c_str());
    return kExitNoUnit;
}
}  // namespace

int ParseMonitorRunArgs(int argc, char** argv, const char* command, const char* details,
                        MonitorRunArgs& out) {
    std::vector<std::string_view> valued = kLinkOptions;
    valued.push_back("-o");
    Args args = ParseArgs(argc, argv, valued);
    if (args.help)
        return PrintCommandHelp(command, kUsage, (std::string(details) + kExits).c_str());
    if (!args.error.empty()) return UsageError(command, kUsage, args.error);
    if (!args.positional.empty()) return UsageError(command, kUsage, "unexpected argument");
    const std::string* output = args.Find("-o");
    if (!output || output->empty()) return UsageError(command, kUsage, "-o FILE is required");
    out.output = *output;
    out.command = command;
    std::string error;
    if (!ParseLinkTarget(args, out.target, error)) return UsageError(command, kUsage, error);
    // A file that cannot be written is found out before the unit is read, not after.
    if (const std::string why = WhyNotSavable(out.output); !why.empty()) {
        std::fprintf(stderr, "%s\n", CreateFileFailedText(out.output).c_str());
        Explain(command, why);
        return kExitFile;
    }
    return -1;
}

int RunMonitorOnce(const MonitorRunArgs& args, int cycles, MonitorRunResult& result) {
    UnitLink link;
    if (!OpenLinkTarget(link, args.target, args.command)) return kExitNoUnit;
    UnitClient client(&link, 0);
    client.SetReplyTimeoutMs(args.target.timeoutMs);
    if (args.target.proxyHost.empty()) {
        uint16_t state = 0;
        uint32_t value = 0;
        bool answered = false;
        for (int i = 0; i < kStatusProbes && !answered; ++i)
            answered = client.GetStatus(state, value);
        if (!answered) return ReportLinkFailure(args.command, client.Status(), args.target);
    }
    switch (monitor::PrepareUnit(client, false, result.setup)) {
        case monitor::PrepareResult::OK:
            break;
        case monitor::PrepareResult::WRONG_SCHEMA:
            if (result.setup.m_Schema == 0)
                return ReportLinkFailure(args.command, client.Status(), args.target);
            std::fprintf(stderr, "%s\n", monitor::SchemaMessage(result.setup.m_Schema).c_str());
            return kExitMinor;
        case monitor::PrepareResult::LOAD_FAILED: {
            // A unit that fell silent (or a route that went away) during the load is reported as
            // such, not as a configuration that could not be read.
            if (!client.Status().Answered())
                return ReportLinkFailure(args.command, client.Status(), args.target);
            std::fprintf(stderr, "Could not load configuration\n");
            ReportLinkFailure(args.command, client.Status(), args.target);
            return kExitMinor;
        }
    }
    monitor::CPolledIPC mailbox;
    monitor::NotifyQueue notify;
    monitor::PollLimits limits;
    limits.cycles = cycles;
    limits.giveUpAfterFails = kFailuresInRow;
    monitor::PollTimings timings;
    timings.replyTimeoutMs = client.ReplyTimeoutMs();
    monitor::PollWorker worker(mailbox, link, result.setup.m_Config, result.readings, result.logs,
                               notify, SystemClock::Instance(), timings, limits);
    worker.Launch();
    mailbox.Post(monitor::PollCmdStart, 0);
    const monitor::PollEnd end = worker.Join();
    link.Disconnect();
    if (end != monitor::PollEnd::FINISHED) return NoAnswer(args.target);
    return kExitOk;
}

int WriteResultFile(const char* command, const std::string& path, const std::string& text) {
    if (WriteDumpFile(path, text)) return kExitOk;
    std::fprintf(stderr, "%s\n", CreateFileFailedText(path).c_str());
    const std::string why = WhyNotSavable(path);
    Explain(command, why.empty() ? "the file could not be written (is the disk full?)" : why);
    return kExitFile;
}

}  // namespace jvo::ctl
