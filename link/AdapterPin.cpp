#include "link/AdapterPin.h"

#include <filesystem>
#include <system_error>

#include "base/FormatStr.h"

namespace jvo {

std::string PinTarget(const PortEntry& entry, const PortRoots& roots) {
    if (!entry.byId.empty()) return roots.devRoot + "/serial/by-id/" + entry.byId;
    return entry.path;
}

bool PinAdapter(const PortEntry& entry, int comNumber, const PortRoots& roots, std::string& said) {
    if (!PortPinsSupported()) {
        said = "This system numbers its COM ports itself; they cannot be pinned.";
        return false;
    }
    if (comNumber < kMinComPort || comNumber > kMaxComPort) {
        said = FormatStr("COM%d is no port number; choose one from %d to %d.", comNumber,
                         kMinComPort, kMaxComPort);
        return false;
    }
    if (entry.path.empty()) {
        said = "Choose a listed adapter to pin.";
        return false;
    }
    if (entry.pinned) {
        said = FormatStr("COM%d is pinned already (to %s); remove that pin from %s first.",
                         entry.number, entry.path, roots.portDir);
        return false;
    }
    if (roots.portDir.empty()) {
        said = "There is no port directory to keep the pin in.";
        return false;
    }
    // Any com<n> there is the user's: also a pin whose adapter is unplugged now, which keeps its
    // number for the adapter's return (the port directory replaces only its own dangling pins).
    namespace fs = std::filesystem;
    const fs::path existing = fs::path(roots.portDir) / FormatStr("com%d", comNumber);
    std::error_code ec;
    if (fs::symlink_status(existing, ec).type() != fs::file_type::not_found) {
        const fs::path points = fs::read_symlink(existing, ec);
        said = FormatStr(
            "COM%d could not be pinned: com%d in %s already exists%s; remove it or "
            "choose another port number.",
            comNumber, comNumber, roots.portDir,
            ec ? std::string() : " and points to " + points.string());
        return false;
    }
    const std::string target = PinTarget(entry, roots);
    std::string pinPath, error;
    if (!PinComPort(comNumber, roots.portDir, target, pinPath, error)) {
        said = FormatStr("COM%d could not be pinned: %s.", comNumber, error);
        return false;
    }
    said = target == entry.path
               ? FormatStr("COM%d now points at %s (%s).", comNumber, entry.path, pinPath)
               : FormatStr("COM%d now points at %s, which is %s now (%s).", comNumber, target,
                           entry.path, pinPath);
    return true;
}

}  // namespace jvo
