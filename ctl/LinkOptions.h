#pragma once
// The link options of every jvoctl command that talks to a unit: the route (--com N,
// --device PATH or --proxy HOST[:PORT]) and --timeout MS.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ctl/Commands.h"
#include "link/UnitLink.h"

namespace jvo::ctl {

// The options ParseLinkTarget reads, for ParseArgs.
extern const std::vector<std::string_view> kLinkOptions;
// Their usage and their help text.
constexpr const char* kLinkUsage = "(--com N | --device PATH | --proxy HOST[:PORT]) [--timeout MS]";
extern const char* const kLinkHelp;

// The longest --timeout.
constexpr int32_t kMaxTimeoutMs = 600000;

struct LinkTarget {
    int com = 0;
    std::string device;
    std::string proxyHost;  // empty: not through a proxy server
    uint16_t proxyPort = 0;
    int32_t timeoutMs = -1;  // --timeout; negative: the link's default per command

    // "COM5", "/dev/ttyUSB0" or "proxy server HOST:PORT".
    std::string Describe() const;
    // "HOST:PORT" for UnitLink::OpenProxy.
    std::string ProxyAddress() const;
};

// Reads the route and the time-out from parsed arguments; false with `error` set when none or
// more than one route is given, or a value is out of range.
bool ParseLinkTarget(const Args& args, LinkTarget& target, std::string& error);
// Opens the link. On failure prints the link's own message and a line that says why (from the
// open's own status: "cannot open COM7: no device is pinned or found for COM7 (see `jvoctl
// ports`)"), and returns false.
bool OpenLinkTarget(UnitLink& link, const LinkTarget& target, const char* command);

}  // namespace jvo::ctl
