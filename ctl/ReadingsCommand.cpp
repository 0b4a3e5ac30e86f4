// jvoctl readings: one poll cycle of the monitor, written as the monitor's readings dump.
#include "ctl/Commands.h"
#include "ctl/MonitorRun.h"
#include "monitor/Dumps.h"

namespace jvo::ctl {

int RunReadings(int argc, char** argv) {
    MonitorRunArgs args;
    const int parsed = ParseMonitorRunArgs(
        argc, argv, "readings",
        "Connects the way the monitor does (schema check, configuration load), reads the event "
        "logs and one full poll cycle, and writes the readings dump (CSV) to FILE.\n",
        args);
    if (parsed >= 0) return parsed;
    MonitorRunResult result;
    const int status = RunMonitorOnce(args, 1, result);
    if (status != kExitOk) return status;
    return WriteResultFile(args.command, args.output,
                           ReadingsDump(result.setup.m_Config, result.readings.Snapshot()));
}

}  // namespace jvo::ctl
