#include "proxy/ProgramOptions.h"

#include <arpa/inet.h>

namespace jvo {

bool ParseListenSpec(const std::string& text, std::string& address, uint16_t& port) {
    const size_t colon = text.rfind(':');
    const std::string host = colon == std::string::npos ? std::string() : text.substr(0, colon);
    const std::string digits = colon == std::string::npos ? text : text.substr(colon + 1);
    if (digits.empty() || digits.size() > 5) return false;
    uint32_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    if (value > 65535) return false;
    if (colon != std::string::npos) {
        in_addr a{};
        if (inet_pton(AF_INET, host.c_str(), &a) != 1) return false;
        address = host;
    }
    port = static_cast<uint16_t>(value);
    return true;
}

bool ParseProxyArgs(int argc, const char* const* argv, ProxyProgramOptions& options,
                    std::string& error, const BackendArgParser& backendArgs) {
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
            if (!ParseListenSpec(listen, options.listenAddress, options.listenPort)) {
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
            const std::string spec = separate ? std::string(argv[++i]) : arg.substr(8);
            AllowedNet net;
            if (!ParseAllowSpec(spec, net)) {
                error = "invalid --allow value '" + spec + "' (expected ADDR[/BITS])";
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
