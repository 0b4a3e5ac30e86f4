// jvo-config's options.
#include "tool/qt/ToolOptions.h"

#include <cstdio>

#include "base/CmdLine.h"
#include "link/PortDirectory.h"
#include "qtcommon/CommandLine.h"

namespace jvo::tool::qt {

using namespace jvo::qt;

const char* const kToolUsage =
    "Usage: jvo-config [--com N | --device PATH | --offline FILE] [--layout compact|large]\n"
    "                  [--screenshot FILE]\n"
    "The JVO configuration tool. Without options it shows the connect dialog.\n"
    "  --com N            connect to the unit on COM port N (1..32) without asking\n"
    "  --device PATH      connect to the unit on the serial device PATH\n"
    "  --offline FILE     work offline on the configuration file FILE\n"
    "  --layout L         the compact or the large window (default: by the screen's height)\n"
    "  --screenshot FILE  once connected (or offline), select the first breaker, save the\n"
    "                     window as a PNG file and exit\n"
    "  --help             this text\n"
    "Qt's own options (-style NAME, -platform NAME, -reverse, ...) are passed to Qt.\n"
    "Exit status: 0 done, 1 not connected, 3 file problem, 64 usage, 74 screenshot or this\n"
    "text not written.\n";

int ParseToolOptions(int argc, const char* const* argv, ToolOptions& o) {
    CommandLine cl({{"com", true},
                    {"device", true},
                    {"offline", true},
                    {"layout", true},
                    {"screenshot", true}});
    if (!cl.Parse(argc, argv)) return UsageError("jvo-config", cl.Error(), kToolUsage);
    if (cl.HelpWanted()) {
        return cmdline::WriteAll(stdout, kToolUsage) ? kExitOk : kExitOutput;
    }
    if (cl.Has("com") + cl.Has("device") + cl.Has("offline") > 1)
        return UsageError("jvo-config", "give only one of --com, --device and --offline",
                          kToolUsage);
    if (cl.Has("com")) {
        o.connect.m_Kind = ConnectResult::PORT;
        if (!cl.IntValue("com", kMinComPort, kMaxComPort, o.connect.m_Port))
            return UsageError("jvo-config", cl.Error(), kToolUsage);
    }
    if (cl.Has("device")) {
        o.connect.m_Kind = ConnectResult::DEVICE;
        o.connect.m_Device = cl.Value("device");
    }
    o.toolkit = cl.ToolkitArgs();
    o.offlineFile = cl.Value("offline");
    o.screenshot = cl.Value("screenshot");
    if (cl.Has("layout")) {
        const std::string l = cl.Value("layout");
        if (l != "compact" && l != "large")
            return UsageError("jvo-config", "--layout is compact or large", kToolUsage);
        o.layoutGiven = true;
        o.layout = l == "compact" ? WindowLayout::COMPACT : WindowLayout::LARGE;
    }
    return -1;
}

}  // namespace jvo::tool::qt
