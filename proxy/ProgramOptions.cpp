#include "proxy/ProgramOptions.h"

#include <fstream>
#include <vector>

#include "base/CmdLine.h"

namespace jvo {

namespace {

using cmdline::Takes;

// An option whose value is a file's name; an empty name is a missing one.
cmdline::Option FileRow(const char* name, const char* help, std::string& file) {
    const std::string missing = std::string(name) + " needs FILE";
    return {.name = name,
            .takes = Takes::VALUE,
            .meta = "FILE",
            .help = help,
            .take =
                [&file, missing](std::string_view v, std::string& error) {
                    if (v.empty()) {
                        error = missing;
                        return false;
                    }
                    file = std::string(v);
                    return true;
                },
            .missing = missing};
}

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
         .help = "accept clients only from this address or network\n"
                 "(repeatable); this machine too only when listed, also\n"
                 "on loopback (--allow 127.0.0.1). Without --allow: every\n"
                 "client on loopback, this machine only elsewhere",
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
        {.name = "--max-clients",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "clients at most (default 128); when full, the client\n"
                 "that sent no request for longest (5 s at least) makes\n"
                 "room, else the newcomer is refused",
         .take =
             [&o](std::string_view v, std::string& error) {
                 long n = 0;
                 if (!cmdline::ParseNumber(v, 1, 65535, n)) {
                     error = "--max-clients needs a number from 1 to 65535";
                     return false;
                 }
                 o.maxClients = static_cast<int>(n);
                 return true;
             },
         .missing = "--max-clients needs N"},
        FileRow("--tls-cert", "--listen serves TLS 1.3 with this certificate (PEM chain)",
                o.tlsCert),
        FileRow("--tls-key", "... and its key", o.tlsKey),
        FileRow("--tls-client-ca", "... and requires client certificates signed by this CA",
                o.tlsClientCa),
        {.name = "--listen-plain",
         .takes = Takes::VALUE,
         .meta = "[ADDR:]PORT",
         .help = "also serve the plain proxy path here, beside TLS",
         .take =
             [&o](std::string_view v, std::string& error) {
                 const std::string value(v);
                 if (!value.empty() && ParseListenAddress(value, o.plainAddress, o.plainPort))
                     return true;
                 error = value.empty() ? "--listen-plain needs [ADDR:]PORT"
                                       : "invalid --listen-plain value '" + value +
                                             "' (expected [ADDR:]PORT)";
                 return false;
             },
         .missing = "--listen-plain needs [ADDR:]PORT"},
        {.name = "--read-only",
         .help = "refuse every request that changes the unit (writes and\n"
                 "commit, reset, clear logs and alarms, reset kWh,\n"
                 "auto-zero, set clock, reboot); readings and reads pass",
         .take = cmdline::SetFlag(o.readOnly)},
        FileRow("--writers",
                "only TLS clients whose certificate subject is listed in\n"
                "FILE (one a line, RFC 2253: CN=ops,O=Site) may change\n"
                "the unit; every other client is read-only",
                o.writersFile),
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

bool ReadWriters(const std::string& path, std::set<std::string>& subjects, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot read the writers file " + path;
        return false;
    }
    for (std::string line; std::getline(in, line);) {
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
        if (line.rfind("subject=", 0) == 0) line.erase(0, 8);  // as openssl prints it
        subjects.insert(line);
    }
    return true;
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
    if (!cmdline::ParseOptions(ProxyRows(options), ProxyOptionStyle(),
                               cmdline::ArgumentsOf(argc, argv), arguments, error, backend))
        return false;
    const int tlsFiles = (options.tlsCert.empty() ? 0 : 1) + (options.tlsKey.empty() ? 0 : 1) +
                         (options.tlsClientCa.empty() ? 0 : 1);
    if (tlsFiles != 0 && tlsFiles != 3) {
        error = "TLS needs all of --tls-cert FILE, --tls-key FILE and --tls-client-ca FILE";
        return false;
    }
    if (!options.plainAddress.empty() && tlsFiles == 0) {
        error = "--listen-plain is for a plain listener beside a TLS one (--tls-cert ...)";
        return false;
    }
    return true;
}

std::string ProxyUsage(const std::string& backendHelp) {
    ProxyProgramOptions unused;
    std::vector<cmdline::Option> rows = ProxyRows(unused);
    const std::vector<cmdline::Option> last(rows.end() - 2, rows.end());
    rows.resize(rows.size() - 2);
    return "Usage: jvo-proxy [--listen [ADDR:]PORT] [--allow ADDR[/BITS]]... [--max-clients N]\n"
           "                 [--tls-cert FILE --tls-key FILE --tls-client-ca FILE\n"
           "                  [--listen-plain [ADDR:]PORT]] [--read-only | --writers FILE]\n"
           "                 (--com N | --device PATH)\n" +
           cmdline::OptionHelp(rows, kProxyHelpColumn, true) + backendHelp +
           cmdline::OptionHelp(last, kProxyHelpColumn) +
           "Options take their value as the next argument or after '=' (--com=5).\n"
           "Clients connect with --proxy HOST[:PORT] (HOST \".\" is this machine), or with\n"
           "--proxy tls://HOST[:PORT] --tls-ca FILE --tls-cert FILE --tls-key FILE.\n"
           "\n"
           "Exit status: 0 stopped by SIGINT or SIGTERM, 1 cannot listen or a TLS or writers "
           "file\n"
           "cannot be used, 4 the unit's port cannot be opened, 64 bad command line, 74 the "
           "output\n"
           "could not be written.\n";
}

}  // namespace jvo
