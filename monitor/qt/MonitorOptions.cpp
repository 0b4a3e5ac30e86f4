// jvo-monitor's options.
#include "monitor/qt/MonitorOptions.h"

#include <cstdio>

#include "base/CmdLine.h"
#include "link/PortDirectory.h"
#include "qtcommon/CommandLine.h"

namespace jvo::monitor::qt {

using jvo::qt::CommandLine;
using jvo::qt::UsageError;

const char* const kMonitorUsage =
    "Usage: jvo-monitor [--com N | --device PATH | --proxy HOST[:PORT]] [--screenshot DIR]\n"
    "The JVO/TKA monitor. Without options it shows the connect dialog.\n"
    "  --com N             connect to the unit on COM port N (1..32) without asking\n"
    "  --device PATH       connect to the unit on the serial device PATH\n"
    "  --proxy HOST[:PORT] connect through the proxy server (default port 43015;\n"
    "                      HOST . is this machine)\n"
    "  --screenshot DIR    once the readings are in, save the window (both lists, table and\n"
    "                      icon view) and the event log as PNG files in DIR, print their\n"
    "                      paths and exit\n"
    "  --help              this text\n"
    "Qt's own options (-style NAME, -platform NAME, -reverse, ...) are passed to Qt.\n"
    "The log also goes to $XDG_STATE_HOME/jvo/jvo-monitor.log.\n"
    "Exit status: 0 done, 1 not connected, 64 usage, 74 screenshot or this text not written.\n";

int ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& o) {
    CommandLine cl({{"com", true}, {"device", true}, {"proxy", true}, {"screenshot", true}});
    if (!cl.Parse(argc, argv)) return UsageError("jvo-monitor", cl.Error(), kMonitorUsage);
    if (cl.HelpWanted()) {
        return cmdline::WriteAll(stdout, kMonitorUsage) ? jvo::qt::kExitOk : jvo::qt::kExitOutput;
    }
    if (cl.Has("com") + cl.Has("device") + cl.Has("proxy") > 1)
        return UsageError("jvo-monitor", "give only one of --com, --device and --proxy",
                          kMonitorUsage);
    if (cl.Has("com")) {
        o.preset = true;
        if (!cl.IntValue("com", kMinComPort, kMaxComPort, o.comPort))
            return UsageError("jvo-monitor", cl.Error(), kMonitorUsage);
    }
    if (cl.Has("device")) {
        o.preset = true;
        o.connect.m_Device = cl.Value("device");
    }
    if (cl.Has("proxy")) {
        o.preset = true;
        o.connect.m_UseProxy = true;
        o.connect.m_Server = cl.Value("proxy");
    }
    o.toolkit = cl.ToolkitArgs();
    o.screenshots = cl.Value("screenshot");
    return -1;
}

}  // namespace jvo::monitor::qt
