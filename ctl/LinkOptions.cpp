#include "ctl/LinkOptions.h"

#include "base/FormatStr.h"
#include "base/OptionTable.h"
#include "ctl/LinkFailure.h"
#include "link/Commands.h"
#include "link/ProxyConnection.h"

namespace jvo::ctl {

namespace {

// The link options with their help; their values are read by ParseLinkTarget.
const std::vector<cmdline::Option>& LinkRows() {
    using cmdline::Takes;
    static const std::vector<cmdline::Option> rows{
        {.name = "--com",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "the unit on COM port N (1..32; see `jvoctl ports`)"},
        {.name = "--device",
         .takes = Takes::VALUE,
         .meta = "PATH",
         .help = "the unit on the serial device PATH"},
        {.name = "--proxy",
         .takes = Takes::VALUE,
         .meta = "HOST[:PORT]",
         .help = "the unit behind the proxy server at HOST (port 43015 unless given);\n"
                 "HOST \".\" is this machine; tls://HOST[:PORT] reaches it over TLS"},
        {.name = "--tls-ca",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "with tls://: the CA that signs the proxy server's certificate (the\n"
                 "server's name or address is checked against it)"},
        {.name = "--tls-cert",
         .takes = Takes::VALUE,
         .meta = "FILE",
         .help = "with tls://: this client's certificate, as the server asks for one"},
        {.name = "--tls-key", .takes = Takes::VALUE, .meta = "FILE", .help = "... and its key"},
        {.name = "--timeout",
         .takes = Takes::VALUE,
         .meta = "MS",
         .help = "wait up to MS milliseconds for each reply (default 250; commands that\n"
                 "wait longer of their own keep their time unless MS is longer still)"},
    };
    return rows;
}

}  // namespace

const std::vector<std::string_view> kLinkOptions = [] {
    std::vector<std::string_view> names;
    for (const cmdline::Option& row : LinkRows())
        names.push_back(row.name);
    return names;
}();

const std::string& LinkHelp() {
    static const std::string text = cmdline::OptionHelp(LinkRows(), 20, true);
    return text;
}

std::string LinkTarget::Describe() const {
    if (!proxyHost.empty()) return "proxy server " + ProxyAddress();
    if (!device.empty()) return device;
    return "COM" + std::to_string(com);
}

std::string LinkTarget::ProxyAddress() const {
    return (tls ? std::string(kTlsScheme) : std::string()) + proxyHost + ":" +
           std::to_string(proxyPort);
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
    const std::pair<const char*, std::string*> tlsFiles[] = {{"--tls-ca", &target.tlsFiles.ca},
                                                             {"--tls-cert", &target.tlsFiles.cert},
                                                             {"--tls-key", &target.tlsFiles.key}};
    for (const auto& [name, into] : tlsFiles) {
        const std::string* file = args.Find(name);
        if (!file) continue;
        if (file->empty() || !proxy) {
            error = std::string(name) + " needs FILE, and goes with --proxy tls://HOST[:PORT]";
            return false;
        }
        *into = *file;
    }
    if (proxy) {
        std::string why;
        std::string address = *proxy;
        target.tls = StripTlsScheme(address);
        if (target.tls && target.tlsFiles.ca.empty()) {
            error = "--proxy tls://... needs --tls-ca FILE (the CA of the server's certificate)";
            return false;
        }
        if (!target.tls && !target.tlsFiles.ca.empty()) {
            error = "--tls-ca and the other TLS files go with --proxy tls://HOST[:PORT]";
            return false;
        }
        if (!cmdline::ParseConnectAddress(address, cmdline::kProxyPort, target.proxyHost,
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
        ProxyOptions options;
        options.tls = target.tlsFiles;
        ok = link.OpenProxy(target.ProxyAddress(), options, &status);
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
