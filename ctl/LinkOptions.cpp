#include "ctl/LinkOptions.h"

#include <cstdio>
#include <cstdlib>

#include "link/Commands.h"
#include "link/PortDirectory.h"

namespace jvo::ctl {

std::string LinkTarget::Describe() const {
    if (!proxy.empty()) return "proxy server " + proxy;
    if (!device.empty()) return device;
    return "COM" + std::to_string(com);
}

bool ParseLinkTarget(const Args& args, bool allowProxy, LinkTarget& target, std::string& error) {
    const std::string* com = args.Find("--com");
    const std::string* device = args.Find("--device");
    const std::string* proxy = allowProxy ? args.Find("--proxy") : nullptr;
    const int given = (com ? 1 : 0) + (device ? 1 : 0) + (proxy ? 1 : 0);
    if (given != 1) {
        error = allowProxy ? "give exactly one of --com N, --device PATH and --proxy HOST"
                           : "give exactly one of --com N and --device PATH";
        return false;
    }
    if (com) {
        char* end = nullptr;
        long n = std::strtol(com->c_str(), &end, 10);
        if (com->empty() || *end != '\0' || n < kMinComPort || n > kMaxComPort) {
            error = "--com needs a port number from 1 to 32";
            return false;
        }
        target.com = static_cast<int>(n);
    }
    if (device) target.device = *device;
    if (proxy) target.proxy = *proxy;
    return true;
}

bool OpenLinkTarget(UnitLink& link, const LinkTarget& target) {
    bool ok;
    if (!target.proxy.empty()) {
        ok = link.OpenProxy(target.proxy);
        if (!ok) std::fprintf(stderr, "Could not connect to the specified server\n");
        return ok;
    }
    if (!target.device.empty()) {
        ok = link.OpenSerialDevice(target.device, kDefaultBaud);
    } else {
        ok = link.OpenSerial(target.com, kDefaultBaud);
    }
    if (!ok) std::fprintf(stderr, "Could not open %s\n", target.Describe().c_str());
    return ok;
}

}  // namespace jvo::ctl
