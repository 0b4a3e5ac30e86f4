#include "proxy/ProgramOptions.h"

#include <vector>

#include "base/CmdLine.h"

namespace jvo {

bool ParseListenAddress(const std::string& text, std::string& address, uint16_t& port) {
    std::string error;
    return cmdline::ParseListenAddress(text, address, port, error);
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
        if (arg == "--version") {
            options.version = true;
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
        const int taken = backendArgs ? backendArgs(argc, argv, i, options, error) : 0;
        if (taken < 0) return false;
        if (taken == 0) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        i += taken - 1;
    }
    return true;
}

}  // namespace jvo
