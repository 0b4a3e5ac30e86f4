// jvo-config's options.
#include "tool/qt/ToolOptions.h"

#include <cstdio>

#include "base/CmdLine.h"
#include "base/FormatStr.h"
#include "link/PortDirectory.h"
#include "qtcommon/CommandLine.h"
#include "tool/Texts.h"

namespace jvo::tool::qt {

using namespace jvo::qt;
using cmdline::Takes;

namespace {

// The options, one row each.
std::vector<cmdline::Option> ToolRows(ToolOptions& o) {
    return {
        {.name = "--com",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "connect to the unit on COM port N (1..32) without asking",
         .take =
             [&o, number = IntOption("--com", kMinComPort, kMaxComPort, o.connect.m_Port)](
                 std::string_view v, std::string& error) {
                 o.connect.m_Kind = ConnectResult::PORT;
                 return number(v, error);
             }},
        {.name = "--device",
         .takes = Takes::VALUE,
         .meta = "PATH",
         .help = "connect to the unit on the serial device PATH",
         .take =
             [&o](std::string_view v, std::string&) {
                 o.connect.m_Kind = ConnectResult::DEVICE;
                 o.connect.m_Device = v;
                 return true;
             }},
        {.name = "--offline",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "work offline on the configuration file FILE",
         .take = cmdline::KeepText(o.offlineFile)},
        {.name = "--layout",
         .takes = Takes::VALUE,
         .meta = "L",
         .help = "the compact or the large window (default: by the screen's height)",
         .take =
             [&o](std::string_view l, std::string& error) {
                 if (l != "compact" && l != "large") {
                     error = "--layout is compact or large";
                     return false;
                 }
                 o.layoutGiven = true;
                 o.layout = l == "compact" ? WindowLayout::COMPACT : WindowLayout::LARGE;
                 return true;
             }},
        {.name = "--screenshot",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "once connected (or offline), select the first breaker, save the\n"
                 "window as a PNG file and exit",
         .take = cmdline::KeepText(o.screenshot)},
        cmdline::HelpOption(o.help),
        cmdline::VersionOption(o.version,
                               "the version of the program and the build number it shows"),
    };
}

}  // namespace

std::string ToolUsage() {
    ToolOptions unused;
    return "Usage: jvo-config [--com N | --device PATH | --offline FILE] [--layout compact|large]\n"
           "                  [--screenshot FILE]\n"
           "The JVO configuration tool. Without options it shows the connect dialog.\n" +
           cmdline::OptionHelp(ToolRows(unused), 21) +
           "Qt's own options (-style NAME, -platform NAME, -reverse, ...) are passed to Qt.\n"
           "Exit status: 0 done, 1 not connected, 3 file problem, 64 usage, 74 screenshot or this\n"
           "text not written.\n";
}

int ParseToolOptions(int argc, const char* const* argv, ToolOptions& o) {
    CommandLine cl = CommandLine::WithTable(ToolRows(o));
    if (!cl.Parse(argc, argv)) return UsageError("jvo-config", cl.Error(), ToolUsage());
    if (o.help)
        return cmdline::WriteAll(stdout, ToolUsage()) ? cmdline::kExitOk : cmdline::kExitOutput;
    if (o.version) {
        const std::string build = FormatStr("JVO Configuration Tool: Build %d", text::kToolBuild);
        return cmdline::WriteAll(stdout, cmdline::VersionText("jvo-config", build))
                   ? cmdline::kExitOk
                   : cmdline::kExitOutput;
    }
    if (cl.Has("com") + cl.Has("device") + cl.Has("offline") > 1)
        return UsageError("jvo-config", "give only one of --com, --device and --offline",
                          ToolUsage());
    o.toolkit = cl.ToolkitArgs();
    return -1;
}

}  // namespace jvo::tool::qt
