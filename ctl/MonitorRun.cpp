#include "ctl/MonitorRun.h"

#include <unistd.h>

#include <cstdio>

#include "base/FormatStr.h"
#include "ctl/Commands.h"
#include "link/UnitClient.h"
#include "monitor/Dumps.h"
#include "monitor/Notify.h"
#include "monitor/PolledIPC.h"

namespace jvo::ctl {

namespace {
constexpr int kStatusProbes = 3;
constexpr int kFailuresInRow = 10;

int NoAnswer(const LinkTarget& target) {
    std::fprintf(stderr, "The unit on %s does not answer.\n", target.Describe().c_str());
    return kExitNoUnit;
}
}  // namespace

int ParseMonitorRunArgs(int argc, char** argv, const char* command, const char* usage,
                        const char* details, MonitorRunArgs& out) {
    Args args = ParseArgs(argc, argv, {"--com", "--device", "--proxy", "-o"});
    if (args.help) return PrintCommandHelp(command, usage, details);
    if (!args.error.empty()) return UsageError(command, usage, args.error);
    if (!args.positional.empty()) return UsageError(command, usage, "unexpected argument");
    const std::string* output = args.Find("-o");
    if (!output || output->empty()) return UsageError(command, usage, "-o FILE is required");
    out.output = *output;
    std::string error;
    if (!ParseLinkTarget(args, true, out.target, error)) return UsageError(command, usage, error);
    return -1;
}

int RunMonitorOnce(const MonitorRunArgs& args, int cycles, MonitorRunResult& result) {
    UnitLink link;
    if (!OpenLinkTarget(link, args.target)) return kExitNoUnit;
    UnitClient client(&link, 0);
    if (args.target.proxy.empty()) {
        uint16_t state = 0;
        uint32_t value = 0;
        bool answered = false;
        for (int i = 0; i < kStatusProbes && !answered; ++i)
            answered = client.GetStatus(state, value);
        if (!answered) return NoAnswer(args.target);
    }
    switch (monitor::PrepareUnit(client, false, result.setup)) {
        case monitor::PrepareResult::OK:
            break;
        case monitor::PrepareResult::WRONG_SCHEMA:
            if (result.setup.m_Schema == 0) return NoAnswer(args.target);
            std::fprintf(stderr, "%s\n", monitor::SchemaMessage(result.setup.m_Schema).c_str());
            return kExitMinor;
        case monitor::PrepareResult::LOAD_FAILED:
            std::fprintf(stderr, "Could not load configuration\n");
            return kExitMinor;
    }
    monitor::CPolledIPC mailbox;
    monitor::NotifyQueue notify;
    monitor::PollLimits limits;
    limits.cycles = cycles;
    limits.giveUpAfterFails = kFailuresInRow;
    monitor::PollWorker worker(mailbox, link, result.setup.m_Config, result.readings, result.logs,
                               notify, SystemClock::Instance(), {}, limits);
    worker.Launch();
    mailbox.Post(monitor::PollCmdStart, 0);
    const monitor::PollEnd end = worker.Join();
    link.Disconnect();
    if (end != monitor::PollEnd::FINISHED) return NoAnswer(args.target);
    return kExitOk;
}

int WriteResultFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".part";
    if (!WriteDumpFile(temp, text) || std::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        std::fprintf(stderr, "%s\n", CreateFileFailedText(path).c_str());
        return kExitFile;
    }
    return kExitOk;
}

}  // namespace jvo::ctl
