// jvoctl events: the unit's event logs read the way the monitor reads them at connect, written as
// the monitor's event log dump (the Service log only for a service user).
#include "ctl/Commands.h"
#include "ctl/MonitorRun.h"
#include "monitor/Dumps.h"
#include "monitor/ServiceUser.h"

namespace jvo::ctl {

namespace {
constexpr const char* kUsage = "(--com N | --device PATH | --proxy HOST[:PORT]) -o FILE";
}

int RunEvents(int argc, char** argv) {
    MonitorRunArgs args;
    const int parsed = ParseMonitorRunArgs(
        argc, argv, "events", kUsage,
        "Connects the way the monitor does, reads the three event logs and writes the event log "
        "dump (CSV) to FILE; the Service log only for a service user (see the README).\n"
        "Exit status 1 for a wrong schema or a configuration that cannot be loaded, 3 when FILE "
        "cannot be written, 4 when the unit does not answer. No file is written on failure.\n",
        args);
    if (parsed >= 0) return parsed;
    const bool serviceUser = ReadServiceUserFlag(ServiceUserFilePath());
    MonitorRunResult result;
    const int status = RunMonitorOnce(args, 0, result);
    if (status != kExitOk) return status;
    return WriteResultFile(args.output, EventLogDump(result.logs, serviceUser));
}

}  // namespace jvo::ctl
