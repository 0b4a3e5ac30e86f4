#include "proxy/BackendFactory.h"

#include "base/CmdLine.h"
#include "link/Commands.h"
#include "link/PortDirectory.h"
#include "proxy/SerialBackend.h"

namespace jvo {

namespace {

using cmdline::Takes;

// --com N or --device PATH: a unit on a serial port at 115200 baud.
std::vector<cmdline::Option> BackendRows(ProxyProgramOptions& o) {
    const auto onlyOne = [&o](std::string& error) {
        if (o.comPort > 0 && !o.devicePath.empty()) {
            error = "give only one of --com N and --device PATH";
            return false;
        }
        return true;
    };
    return {
        {.name = "--com",
         .takes = Takes::VALUE,
         .meta = "N",
         .help = "serve the unit on COM port N (1..32)",
         .take =
             [&o, onlyOne](std::string_view v, std::string& error) {
                 long n = 0;
                 if (!cmdline::ParseNumber(v, kMinComPort, kMaxComPort, n)) {
                     error = "--com needs a port number from 1 to 32";
                     return false;
                 }
                 o.comPort = static_cast<int>(n);
                 return onlyOne(error);
             },
         .missing = "--com needs a port number"},
        {.name = "--device",
         .takes = Takes::VALUE,
         .meta = "PATH",
         .help = "serve the unit on the serial device PATH",
         .take =
             [&o, onlyOne](std::string_view v, std::string& error) {
                 o.devicePath = v;
                 return onlyOne(error);
             },
         .missing = "--device needs a device path"},
    };
}

}  // namespace

int ParseBackendArgs(int argc, const char* const* argv, int index, ProxyProgramOptions& options,
                     std::string& error) {
    const std::string arg = argv[index] ? argv[index] : "";
    const std::vector<cmdline::Option> rows = BackendRows(options);
    bool ours = false;
    for (const cmdline::Option& row : rows)
        ours = ours || row.name == arg;
    if (!ours) return 0;
    std::vector<std::string> args{arg};
    if (index + 1 < argc && argv[index + 1]) args.emplace_back(argv[index + 1]);
    std::vector<std::string> arguments;
    return cmdline::ParseOptions(rows, ProxyOptionStyle(), args, arguments, error) ? 2 : -1;
}

std::string BackendUsage() {
    ProxyProgramOptions unused;
    return cmdline::OptionHelp(BackendRows(unused), kProxyHelpColumn);
}

std::unique_ptr<IUnitBackend> MakeUnitBackend(const ProxyProgramOptions& options,
                                              std::string& error) {
    if (options.comPort <= 0 && options.devicePath.empty()) {
        error = "give the unit's port with --com N or --device PATH";
        return nullptr;
    }
    auto serial = std::make_unique<SerialUnitBackend>();
    LinkStatus status;
    const bool opened = options.devicePath.empty()
                            ? serial->OpenCom(options.comPort, kDefaultBaud, &status)
                            : serial->OpenDevice(options.devicePath, kDefaultBaud, &status);
    if (!opened) {
        error = (options.devicePath.empty() ? "cannot open COM" + std::to_string(options.comPort)
                                            : "cannot open " + options.devicePath) +
                (status.detail.empty() ? std::string() : ": " + status.detail);
        return nullptr;
    }
    return serial;
}

}  // namespace jvo
