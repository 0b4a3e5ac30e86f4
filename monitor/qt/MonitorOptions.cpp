// jvo-monitor's options.
#include "monitor/qt/MonitorOptions.h"

#include <cstdio>

#include "base/CmdLine.h"
#include "link/PortDirectory.h"
#include "monitor/Formats.h"
#include "qtcommon/CommandLine.h"

namespace jvo::monitor::qt {

using cmdline::Takes;
using jvo::qt::CommandLine;
using jvo::qt::UsageError;

namespace {

// The options, one row each.
std::vector<cmdline::Option> MonitorRows(MonitorOptions& o) {
    return {
        {.name = "--com",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "connect to the unit on COM port N (1..32) without asking",
         .take = jvo::qt::IntOption("--com", kMinComPort, kMaxComPort, o.comPort)},
        {.name = "--device",
         .takes = Takes::VALUE,
         .meta = "PATH",
         .help = "connect to the unit on the serial device PATH",
         .take = cmdline::KeepText(o.connect.m_Device)},
        {.name = "--proxy",
         .takes = Takes::VALUE,
         .meta = "HOST[:PORT]",
         .help = "connect through the proxy server (default port 43015;\n"
                 "HOST . is this machine; tls://HOST[:PORT] over TLS)",
         .take =
             [&o](std::string_view v, std::string&) {
                 o.connect.m_UseProxy = true;
                 o.connect.m_Server = v;
                 return true;
             }},
        {.name = "--tls-ca",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "with tls://: the CA of the proxy server's certificate",
         .take = cmdline::KeepText(o.connect.m_Tls.ca)},
        {.name = "--tls-cert",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "with tls://: this client's certificate",
         .take = cmdline::KeepText(o.connect.m_Tls.cert)},
        {.name = "--tls-key",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "... and its key (the connect dialog has the same fields)",
         .take = cmdline::KeepText(o.connect.m_Tls.key)},
        {.name = "--screenshot",
         .takes = Takes::VALUE,
         .meta = "DIR",
         .help = "once the readings are in, save the window (both lists, table and\n"
                 "icon view) and the event log as PNG files in DIR, print their\n"
                 "paths and exit",
         .take = cmdline::KeepText(o.screenshots)},
        cmdline::HelpOption(o.help),
        cmdline::VersionOption(o.version,
                               "the version of the program and the build number it shows"),
    };
}

}  // namespace

std::string MonitorUsage() {
    MonitorOptions unused;
    return "Usage: jvo-monitor [--com N | --device PATH | --proxy [tls://]HOST[:PORT]\n"
           "                   [--tls-ca FILE --tls-cert FILE --tls-key FILE]] [--screenshot DIR]\n"
           "The JVO/TKA monitor. Without options it shows the connect dialog.\n" +
           cmdline::OptionHelp(MonitorRows(unused), 22) +
           "Qt's own options (-style NAME, -platform NAME, -reverse, ...) are passed to Qt.\n"
           "The log also goes to $XDG_STATE_HOME/jvo/jvo-monitor.log.\n"
           "Exit status: 0 done, 1 not connected, 64 usage, 74 screenshot or this text not "
           "written.\n";
}

int ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& o) {
    CommandLine cl = CommandLine::WithTable(MonitorRows(o));
    if (!cl.Parse(argc, argv)) return UsageError("jvo-monitor", cl.Error(), MonitorUsage());
    if (o.help)
        return cmdline::WriteAll(stdout, MonitorUsage()) ? cmdline::kExitOk : cmdline::kExitOutput;
    if (o.version) {
        const std::string text =
            cmdline::VersionText("jvo-monitor", "JVO/TKA Monitor " + MonitorBuildText());
        return cmdline::WriteAll(stdout, text) ? cmdline::kExitOk : cmdline::kExitOutput;
    }
    if (cl.Has("com") + cl.Has("device") + cl.Has("proxy") > 1)
        return UsageError("jvo-monitor", "give only one of --com, --device and --proxy",
                          MonitorUsage());
    o.preset = cl.Has("com") || cl.Has("device") || cl.Has("proxy");
    o.toolkit = cl.ToolkitArgs();
    return -1;
}

}  // namespace jvo::monitor::qt
