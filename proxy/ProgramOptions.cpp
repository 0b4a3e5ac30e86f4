#include "proxy/ProgramOptions.h"

#include <vector>

#include "base/CmdLine.h"

namespace jvo {

namespace {

using cmdline::Takes;

// jvo-proxy's own options, one row each; the backend's follow --allow in the help.
std::vector<cmdline::Option> ProxyRows(ProxyProgramOptions& o) {
    return {
        {.name = "--listen",
         .takes = Takes::VALUE,
         .meta = "[ADDR:]PORT",
         .help = "address and TCP port to listen on (default 127.0.0.1:43015;\n"
                 "ADDR \".\" is this machine, PORT 0 any free port)",
         .take =
             [&o](std::string_view v, std::string& error) {
                 const std::string listen(v);
                 if (ParseListenAddress(listen, o.listenAddress, o.listenPort)) return true;
                 error = "invalid --listen value '" + listen + "' (expected [ADDR:]PORT)";
                 return false;
             },
         .missing = "--listen needs [ADDR:]PORT"},
        {.name = "--allow",
         .takes = Takes::VALUE,
         .meta = "ADDR[/BITS]",
         .help = "with --listen beyond this machine: accept clients from\n"
                 "this address or network (repeatable)",
         .take =
             [&o](std::string_view v, std::string& error) {
                 const std::string value(v);
                 AllowedNet net;
                 if (!ParseAllowedNet(value, net)) {
                     error = "invalid --allow value '" + value + "' (expected ADDR[/BITS])";
                     return false;
                 }
                 o.allow.push_back(net);
                 return true;
             },
         .missing = "--allow needs ADDR[/BITS]"},
        cmdline::HelpOption(o.help),
        cmdline::VersionOption(o.version),
    };
}

}  // namespace

const cmdline::OptionStyle& ProxyOptionStyle() {
    static const cmdline::OptionStyle style{.unexpected = "unknown option '%s'",
                                            .splitFirst = true};
    return style;
}

bool ParseListenAddress(const std::string& text, std::string& address, uint16_t& port) {
    std::string error;
    return cmdline::ParseListenAddress(text, address, port, error);
}

bool ParseProxyArgs(int argc, const char* const* argv, ProxyProgramOptions& options,
                    std::string& error, const BackendArgParser& backendArgs) {
    // The backend's parser reads the arguments as they are after "--option=value" was split.
    const auto backend = [&](const std::vector<std::string>& args, size_t i, std::string& why) {
        if (!backendArgs) return 0;
        std::vector<const char*> list{argc > 0 ? argv[0] : ""};
        for (const std::string& a : args)
            list.push_back(a.c_str());
        return backendArgs(static_cast<int>(list.size()), list.data(), static_cast<int>(i) + 1,
                           options, why);
    };
    std::vector<std::string> arguments;
    return cmdline::ParseOptions(ProxyRows(options), ProxyOptionStyle(),
                                 cmdline::ArgumentsOf(argc, argv), arguments, error, backend);
}

std::string ProxyUsage(const std::string& backendHelp) {
    ProxyProgramOptions unused;
    std::vector<cmdline::Option> rows = ProxyRows(unused);
    const std::vector<cmdline::Option> last(rows.end() - 2, rows.end());
    rows.resize(rows.size() - 2);
    return "Usage: jvo-proxy [--listen [ADDR:]PORT] [--allow ADDR[/BITS]]... (--com N | --device "
           "PATH)\n" +
           cmdline::OptionHelp(rows, kProxyHelpColumn) + backendHelp +
           cmdline::OptionHelp(last, kProxyHelpColumn) +
           "Options take their value as the next argument or after '=' (--com=5).\n"
           "Clients connect with --proxy HOST[:PORT] (HOST \".\" is this machine).\n"
           "\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 cannot listen, 4 the unit's port "
           "cannot be\n"
           "opened, 64 bad command line, 74 the output could not be written.\n";
}

}  // namespace jvo
