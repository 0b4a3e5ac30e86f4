#pragma once
// Command line of the jvo-proxy program.
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "base/OptionTable.h"
#include "proxy/AllowList.h"

namespace jvo {

struct ProxyProgramOptions {
    std::string listenAddress = "127.0.0.1";
    uint16_t listenPort = 43015;
    bool help = false;
    bool version = false;           // --version
    std::vector<AllowedNet> allow;  // --allow ADDR[/BITS], repeatable
    int maxClients = 128;           // --max-clients N
    // --tls-cert, --tls-key, --tls-client-ca: --listen serves TLS (all three or none).
    std::string tlsCert, tlsKey, tlsClientCa;
    std::string plainAddress;  // --listen-plain [ADDR:]PORT beside a TLS listener; empty: none
    uint16_t plainPort = 0;
    bool readOnly = false;    // --read-only
    std::string writersFile;  // --writers FILE
    // The unit to serve; set by the backend options (see BackendFactory.h).
    int comPort = -1;
    std::string devicePath;
};

// Parses the backend's own options: returns how many arguments it took at argv[index] (0: not
// one of its options), or -1 with a message in `error`.
using BackendArgParser = std::function<int(int argc, const char* const* argv, int index,
                                           ProxyProgramOptions& options, std::string& error)>;

// Parses "--listen [ADDR:]PORT", "--allow ADDR[/BITS]" (repeatable), "--max-clients N", the TLS
// files, "--listen-plain [ADDR:]PORT", "--read-only", "--writers FILE", "--help", "--version" and
// whatever `backendArgs` takes; every option also takes its value after '=' ("--listen=8000").
// False with a message in `error`.
bool ParseProxyArgs(int argc, const char* const* argv, ProxyProgramOptions& options,
                    std::string& error, const BackendArgParser& backendArgs = nullptr);

// How jvo-proxy words its complaints (base/OptionTable.h), also for the backend's options.
const cmdline::OptionStyle& ProxyOptionStyle();

// The text of --help, with the help lines of the backend's options.
std::string ProxyUsage(const std::string& backendHelp);
// The column of the option texts in it.
constexpr size_t kProxyHelpColumn = 24;

// The certificate subjects of a --writers file: one per line in RFC 2253 form ("CN=ops,O=Site",
// as `openssl x509 -noout -subject -nameopt RFC2253` prints it after "subject="); blank lines
// and lines starting with '#' are skipped. False with the reason in `error`.
bool ReadWriters(const std::string& path, std::set<std::string>& subjects, std::string& error);

// "[ADDR:]PORT" with a dotted-quad address (or "." for 127.0.0.1) and a port from 0 to 65535.
bool ParseListenAddress(const std::string& text, std::string& address, uint16_t& port);

}  // namespace jvo
