// COM port numbers on Linux: the port directory and the machine's serial devices.
#include "link/PortDirectory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

#include "base/Files.h"
#include "link/posix/PortProbe.h"

namespace jvo {

namespace fs = std::filesystem;

namespace {

// Serial device families in the order they are numbered.
const char* const kDeviceFamilies[] = {"ttyUSB", "ttyACM", "ttyS"};

bool IsDigits(const std::string& s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Compares names so that runs of digits compare by value: ttyUSB2 before ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = a[i] >= '0' && a[i] <= '9';
        const bool db = b[j] >= '0' && b[j] <= '9';
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && a[ei] >= '0' && a[ei] <= '9')
                ++ei;
            while (ej < b.size() && b[ej] >= '0' && b[ej] <= '9')
                ++ej;
            // Compare the values without converting: skip leading zeros, then length, then digits.
            size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            const int c = a.compare(si, ei - si, b, sj, ej - sj);
            if (c != 0) return c < 0;
            if (ei - i != ej - j) return ei - i < ej - j;  // fewer leading zeros first
            i = ei;
            j = ej;
        } else {
            if (a[i] != b[j])
                return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    return a.size() - i < b.size() - j;
}

// The pinned number of a port directory entry named com<n>, or 0.
int PinNumber(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "com") != 0) return 0;
    const std::string digits = name.substr(3);
    if (!IsDigits(digits) || digits[0] == '0' || digits.size() > 2) return 0;
    const int n = std::atoi(digits.c_str());
    return n >= kMinComPort && n <= kMaxComPort ? n : 0;
}

std::string Canonical(const fs::path& p) {
    std::error_code ec;
    fs::path c = fs::canonical(p, ec);
    return ec ? std::string() : c.string();
}

std::vector<std::string> DirNames(const fs::path& dir) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec) return names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

// Device (resolved) → its first name under serial/by-id.
std::map<std::string, std::string> ByIdNames(const fs::path& devRoot) {
    std::map<std::string, std::string> byId;
    const fs::path dir = devRoot / "serial" / "by-id";
    for (const std::string& name : DirNames(dir)) {
        const std::string target = Canonical(dir / name);
        if (!target.empty()) byId.emplace(target, name);  // keeps the first name
    }
    return byId;
}

}  // namespace

PortRoots PortRoots::Default() {
    PortRoots roots;
    const char* dir = std::getenv("JVO_PORT_DIR");
    if (dir && *dir) {
        roots.portDir = dir;
        return roots;
    }
    const std::string home = HomeFolder();
    roots.portDir = home.empty() ? std::string() : home + "/.config/jvo/ports";
    return roots;
}

std::vector<PortEntry> ListComPorts(const PortRoots& roots) {
    std::string devRoot = Canonical(roots.devRoot);
    if (devRoot.empty()) devRoot = roots.devRoot;
    const std::map<std::string, std::string> byId = ByIdNames(devRoot);
    auto lookUpById = [&](const std::string& device) {
        auto it = byId.find(device);
        return it == byId.end() ? std::string() : it->second;
    };

    bool taken[kMaxComPort + 1] = {};
    std::set<std::string> pinnedDevices;
    std::vector<PortEntry> ports;

    // Pins first: each reserves its number, present or not.
    if (!roots.portDir.empty()) {
        for (const std::string& name : DirNames(roots.portDir)) {
            const int n = PinNumber(name);
            if (n == 0) continue;
            taken[n] = true;
            const std::string device = Canonical(fs::path(roots.portDir) / name);
            if (device.empty()) continue;  // pinned device not present
            pinnedDevices.insert(device);
            ports.push_back({n, device, lookUpById(device), true,
                             EntryStamp((fs::path(roots.portDir) / name).string())});
        }
    }

    // Then the machine's serial devices, family by family, on the lowest free numbers.
    const std::vector<std::string> devNames = DirNames(devRoot);
    int next = kMinComPort;
    for (const char* family : kDeviceFamilies) {
        const std::string prefix = family;
        for (const std::string& name : devNames) {
            if (name.compare(0, prefix.size(), prefix) != 0 ||
                !IsDigits(name.substr(prefix.size())))
                continue;
            const std::string device = Canonical(fs::path(devRoot) / name);
            if (device.empty() || pinnedDevices.count(device)) continue;
            while (next <= kMaxComPort && taken[next])
                ++next;
            if (next > kMaxComPort) break;
            taken[next] = true;
            ports.push_back({next, device, lookUpById(device)});
        }
    }

    std::sort(ports.begin(), ports.end(),
              [](const PortEntry& a, const PortEntry& b) { return a.number < b.number; });
    return ports;
}

std::vector<PortEntry> ListComPorts() {
    return ListComPorts(PortRoots::Default());
}

PortEntry FindComPort(int n, const PortRoots& roots) {
    if (n < kMinComPort || n > kMaxComPort) return {};
    for (const PortEntry& e : ListComPorts(roots)) {
        if (e.number == n) return e;
    }
    return {};
}

std::string ResolveComPort(int n, const PortRoots& roots) {
    return FindComPort(n, roots).path;
}

bool IsPseudoTerminal(const std::string& path) {
    return path.rfind("/dev/pts/", 0) == 0;
}

bool SameComDevice(const PortEntry& before, const PortEntry& now) {
    if (now.path.empty()) return false;
    if (!before.byId.empty() && now.byId == before.byId) return true;
    if (IsPseudoTerminal(now.path))
        return now.pinned && now.pinStamp != 0 && now.pinStamp != before.pinStamp;
    return now.pinned || now.path == before.path;
}

std::string ResolveComPort(int n) {
    return ResolveComPort(n, PortRoots::Default());
}

std::vector<PortEntry> ProbeComPorts(const PortRoots& roots) {
    std::vector<PortEntry> usable;
    for (const PortEntry& e : ListComPorts(roots)) {
        if (ProbeSerialPort(e.path, roots.lockDirs) == ProbeResult::Usable) usable.push_back(e);
    }
    return usable;
}

std::vector<PortEntry> ProbeComPorts() {
    return ProbeComPorts(PortRoots::Default());
}

bool PortPinsSupported() {
    return true;
}

namespace {

// Where a symbolic link points; empty when `path` is no link.
std::string LinkTarget(const std::string& path) {
    char buf[4096];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

}  // namespace

bool PinComPort(int comNumber, const std::string& portDir, const std::string& device,
                std::string& pinPath, std::string& error) {
    if (!MakeDirectories(portDir)) {
        error = "cannot create the port directory " + portDir;
        return false;
    }
    const std::string name = "com" + std::to_string(comNumber);
    const std::string link = portDir + "/" + name;
    struct stat st {};
    if (::lstat(link.c_str(), &st) == 0) {
        const std::string target = LinkTarget(link);
        struct stat targetSt {};
        const bool dangling = S_ISLNK(st.st_mode) && ::stat(link.c_str(), &targetSt) != 0;
        if (!dangling) {
            error = name + " in " + portDir + " already exists" +
                    (target.empty() ? std::string() : " and points to " + target) +
                    "; remove it or choose another port number";
            return false;
        }
        ::unlink(link.c_str());  // a pin left by an earlier run whose device is gone
    }
    if (::symlink(device.c_str(), link.c_str()) != 0) {
        error = "cannot create " + link + ": " + std::strerror(errno);
        return false;
    }
    pinPath = link;
    return true;
}

void UnpinComPort(const std::string& pinPath, const std::string& device) {
    // Only our own pin: somebody may have re-pinned the number meanwhile.
    if (LinkTarget(pinPath) == device) ::unlink(pinPath.c_str());
}

}  // namespace jvo
