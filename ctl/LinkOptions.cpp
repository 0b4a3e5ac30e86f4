#include "ctl/LinkOptions.h"

#include "base/FormatStr.h"
#include "ctl/LinkFailure.h"
#include "link/Commands.h"

namespace jvo::ctl {

const std::vector<std::string_view> kLinkOptions = {"--com", "--device", "--proxy", "--timeout"};

const char* const kLinkHelp =
    "  --com N           the unit on COM port N (1..32; see `jvoctl ports`)\n"
    "  --device PATH     the unit on the serial device PATH\n"
    "  --proxy HOST[:PORT]\n"
    "                    the unit behind the proxy server at HOST (port 43015 unless given);\n"
    "                    HOST \".\" is this machine\n"
    "  --timeout MS      wait up to MS milliseconds for each reply (default 250; commands that\n"
    "                    wait longer of their own keep their time unless MS is longer still)\n";

std::string LinkTarget::Describe() const {
    if (!proxyHost.empty()) return "proxy server " + ProxyAddress();
    if (!device.empty()) return device;
    return "COM" + std::to_string(com);
}

std::string LinkTarget::ProxyAddress() const {
    return proxyHost + ":" + std::to_string(proxyPort);
}

bool ParseLinkTarget(const Args& args, LinkTarget& target, std::string& error) {
    const std::string* com = args.Find("--com");
    const std::string* device = args.Find("--device");
    const std::string* proxy = args.Find("--proxy");
    const std::string* timeout = args.Find("--timeout");
    const int given = (com ? 1 : 0) + (device ? 1 : 0) + (proxy ? 1 : 0);
    if (given != 1) {
        error = "give exactly one of --com N, --device PATH and --proxy HOST[:PORT]";
        return false;
    }
    long n = 0;
    if (com) {
        if (!cmdline::ParseNumber(*com, kMinComPort, kMaxComPort, n)) {
            error = "--com needs a port number from 1 to 32";
            return false;
        }
        target.com = static_cast<int>(n);
    }
    if (device) {
        if (device->empty()) {
            error = "--device needs the path of a serial device";
            return false;
        }
        target.device = *device;
    }
    if (proxy) {
        std::string why;
        if (!cmdline::ParseConnectAddress(*proxy, cmdline::kProxyPort, target.proxyHost,
                                          target.proxyPort, why)) {
            error = "--proxy: " + why;
            return false;
        }
    }
    if (timeout) {
        if (!cmdline::ParseNumber(*timeout, 1, kMaxTimeoutMs, n)) {
            error = FormatStr("--timeout needs milliseconds from 1 to %d", kMaxTimeoutMs);
            return false;
        }
        target.timeoutMs = static_cast<int32_t>(n);
    }
    return true;
}

bool OpenLinkTarget(UnitLink& link, const LinkTarget& target, const char* command) {
    bool ok;
    LinkStatus status;
    if (!target.proxyHost.empty()) {
        ok = link.OpenProxy(target.ProxyAddress(), {}, &status);
        if (!ok) WriteText(stderr, "Could not connect to the specified server\n");
    } else {
        ok = target.device.empty() ? link.OpenSerial(target.com, kDefaultBaud, &status)
                                   : link.OpenSerialDevice(target.device, kDefaultBaud, &status);
        if (!ok) WriteText(stderr, FormatStr("Could not open %s\n", target.Describe()));
    }
    if (!ok) ReportLinkFailure(command, status, target);
    return ok;
}

}  // namespace jvo::ctl
