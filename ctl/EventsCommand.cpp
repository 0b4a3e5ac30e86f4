// jvoctl events: the unit's event logs read the way the monitor reads them at connect, written as
// the monitor's event log dump (the Service log only for a service user).
#include "ctl/Commands.h"
#include "ctl/MonitorRun.h"
#include "monitor/Dumps.h"
#include "monitor/ServiceUser.h"

namespace jvo::ctl {

int RunEvents(int argc, char** argv) {
    MonitorRunArgs args;
    const int parsed = ParseMonitorRunArgs(
        argc, argv, "events",
        "Connects the way the monitor does, reads the three event logs and writes the event log "
        "dump (CSV) to FILE; the Service log only for a service user (see the README).\n",
        args);
    if (parsed >= 0) return parsed;
    const bool serviceUser = ReadServiceUserFlag();
    MonitorRunResult result;
    const int status = RunMonitorOnce(args, 0, result);
    if (status != kExitOk) return status;
    return WriteResultFile(args.command, args.output, EventLogDump(result.logs, serviceUser));
}

}  // namespace jvo::ctl
