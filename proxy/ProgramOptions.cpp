#include "proxy/ProgramOptions.h"

#include <fstream>
#include <vector>

#include "base/CmdLine.h"

namespace jvo {

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
    // "--option=value" is taken as "--option value" (also for the backend's options).
    std::vector<std::string> split;
    for (int i = 1; i < argc; ++i) {
        std::string_view name, value;
        if (argv[i] && cmdline::SplitInlineValue(argv[i], name, value)) {
            split.emplace_back(name);
            split.emplace_back(value);
        } else {
            split.emplace_back(argv[i] ? argv[i] : "");
        }
    }
    std::vector<const char*> list{argc > 0 ? argv[0] : ""};
    for (const std::string& a : split)
        list.push_back(a.c_str());
    argc = static_cast<int>(list.size());
    argv = list.data();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--listen" || arg.rfind("--listen=", 0) == 0) {
            std::string listen;
            if (arg == "--listen") {
                if (i + 1 >= argc || !argv[i + 1]) {
                    error = "--listen needs [ADDR:]PORT";
                    return false;
                }
                listen = argv[++i];
            } else {
                listen = arg.substr(9);
            }
            if (!ParseListenAddress(listen, options.listenAddress, options.listenPort)) {
                error = "invalid --listen value '" + listen + "' (expected [ADDR:]PORT)";
                return false;
            }
            continue;
        }
        if (arg == "--allow" || arg.rfind("--allow=", 0) == 0) {
            const bool separate = arg == "--allow";
            if (separate && (i + 1 >= argc || !argv[i + 1])) {
                error = "--allow needs ADDR[/BITS]";
                return false;
            }
            const std::string value = separate ? std::string(argv[++i]) : arg.substr(8);
            AllowedNet net;
            if (!ParseAllowedNet(value, net)) {
                error = "invalid --allow value '" + value + "' (expected ADDR[/BITS])";
                return false;
            }
            options.allow.push_back(net);
            continue;
        }
        if (arg == "--read-only") {
            options.readOnly = true;
            continue;
        }
        // The options with a value of their own: a file, or a number.
        std::string* file = arg == "--tls-cert"        ? &options.tlsCert
                            : arg == "--tls-key"       ? &options.tlsKey
                            : arg == "--tls-client-ca" ? &options.tlsClientCa
                            : arg == "--writers"       ? &options.writersFile
                                                       : nullptr;
        if (file || arg == "--max-clients" || arg == "--listen-plain") {
            if (i + 1 >= argc || !argv[i + 1] || !*argv[i + 1]) {
                error = arg + (file                     ? " needs FILE"
                               : arg == "--max-clients" ? " needs N"
                                                        : " needs [ADDR:]PORT");
                return false;
            }
            const std::string value = argv[++i];
            if (file) {
                *file = value;
            } else if (arg == "--max-clients") {
                long n = 0;
                if (!cmdline::ParseNumber(value, 1, 65535, n)) {
                    error = "--max-clients needs a number from 1 to 65535";
                    return false;
                }
                options.maxClients = static_cast<int>(n);
            } else if (!ParseListenAddress(value, options.plainAddress, options.plainPort)) {
                error = "invalid --listen-plain value '" + value + "' (expected [ADDR:]PORT)";
                return false;
            }
            continue;
        }
        const int taken = backendArgs ? backendArgs(argc, argv, i, options, error) : 0;
        if (taken < 0) return false;
        if (taken == 0) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        i += taken - 1;
    }
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

}  // namespace jvo
