// jvoctl readings: one poll cycle of the monitor, written as the monitor's readings dump.
#include "ctl/Commands.h"
#include "ctl/MonitorRun.h"
#include "monitor/Dumps.h"

namespace jvo::ctl {

namespace {
constexpr const char* kUsage = "(--com N | --device PATH | --proxy HOST[:PORT]) -o FILE";
}

int RunReadings(int argc, char** argv) {
    MonitorRunArgs args;
    const int parsed = ParseMonitorRunArgs(
        argc, argv, "readings", kUsage,
        "Connects the way the monitor does (schema check, configuration load), reads the event "
        "logs and one full poll cycle, and writes the readings dump (CSV) to FILE.\n"
        "Exit status 1 for a wrong schema or a configuration that cannot be loaded, 3 when FILE "
        "cannot be written, 4 when the unit does not answer. No file is written on failure.\n",
        args);
    if (parsed >= 0) return parsed;
    MonitorRunResult result;
    const int status = RunMonitorOnce(args, 1, result);
    if (status != kExitOk) return status;
    return WriteResultFile(args.output,
                           ReadingsDump(result.setup.m_Config, result.readings.Snapshot()));
}

}  // namespace jvo::ctl
