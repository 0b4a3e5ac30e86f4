#include "proxy/BackendFactory.h"

#include <cstdlib>

#include "link/Commands.h"
#include "link/PortDirectory.h"
#include "proxy/SerialBackend.h"

namespace jvo {

// --com N or --device PATH: a unit on a serial port at 115200 baud.
int ParseBackendArgs(int argc, const char* const* argv, int index, ProxyProgramOptions& options,
                     std::string& error) {
    const std::string arg = argv[index] ? argv[index] : "";
    if (arg != "--com" && arg != "--device") return 0;
    if (index + 1 >= argc || !argv[index + 1]) {
        error = arg + (arg == "--com" ? " needs a port number" : " needs a device path");
        return -1;
    }
    const std::string value = argv[index + 1];
    if (arg == "--com") {
        char* end = nullptr;
        const long n = std::strtol(value.c_str(), &end, 10);
        if (value.empty() || *end != '\0' || n < kMinComPort || n > kMaxComPort) {
            error = "--com needs a port number from 1 to 32";
            return -1;
        }
        options.comPort = static_cast<int>(n);
    } else {
        options.devicePath = value;
    }
    if (options.comPort > 0 && !options.devicePath.empty()) {
        error = "give only one of --com N and --device PATH";
        return -1;
    }
    return 2;
}

const char* BackendUsage() {
    return "  --com N               serve the unit on COM port N (1..32)\n"
           "  --device PATH         serve the unit on the serial device PATH\n";
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
