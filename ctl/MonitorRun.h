#pragma once
// What jvoctl readings and jvoctl events share: the command line (link options and -o FILE),
// connecting the way the monitor does, a bounded run of the monitor's poll worker, and writing
// the result only when everything succeeded.
#include <string>

#include "ctl/LinkOptions.h"
#include "monitor/ConnectSequence.h"
#include "monitor/EventLogStore.h"
#include "monitor/PollWorker.h"
#include "monitor/ReadingsStore.h"

namespace jvo::ctl {

struct MonitorRunArgs {
    const char* command = "";  // for the messages
    LinkTarget target;
    std::string output;
};

// Parses "UNIT -o FILE" (the link options of every unit command); returns -1 to go on, else
// the exit status (help or a usage error). The help is `details` and the exit statuses.
int ParseMonitorRunArgs(int argc, char** argv, const char* command, const char* details,
                        MonitorRunArgs& out);

struct MonitorRunResult {
    monitor::UnitSetup setup;
    ReadingsStore readings;
    monitor::EventLogStores logs;
};

// Opens the link, probes a serial unit with GetStatus, checks the schema, loads the
// configuration, then runs the poll worker for `cycles` full cycles after the initial event logs
// (0: the event logs only), giving up after 10 failed requests in a row. Returns kExitOk or the
// exit status, with the reason on stderr.
int RunMonitorOnce(const MonitorRunArgs& args, int cycles, MonitorRunResult& result);

// Writes `text` to `path` with WriteDumpFile. Returns kExitOk or kExitFile (with the message on
// stderr).
int WriteResultFile(const char* command, const std::string& path, const std::string& text);

}  // namespace jvo::ctl
