// COM port numbers on Windows: the system's own. The ports are the values of the registry key
// HARDWARE\DEVICEMAP\SERIALCOMM (with their friendly names from SetupAPI), and, as the connect
// dialogs always did, every COM1 to COM32 that opens or is in use (a port that a driver or Wine
// made without the registry entry). A COM number names the same adapter across
// reconnects (Windows keeps a number per adapter), so it is the device's identity for a reopen.
#include "link/PortDirectory.h"

#include <windows.h>
// after windows.h, which they need
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <map>

#include "base/win32/Wide.h"

namespace jvo {

namespace {

// "COM7" → 7; 0 for anything else or a number out of range.
int ComNumber(const std::wstring& name) {
    if (name.size() < 4 || _wcsnicmp(name.c_str(), L"COM", 3) != 0) return 0;
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9' || n > kMaxComPort) return 0;
        n = n * 10 + (name[i] - L'0');
    }
    return n >= kMinComPort && n <= kMaxComPort ? n : 0;
}

void FromSerialComm(std::map<int, PortEntry>& ports) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[64];
        DWORD dataBytes = sizeof data - sizeof(wchar_t);
        DWORD type = 0;
        const LONG r = RegEnumValueW(key, i, name, &nameLength, nullptr, &type,
                                     reinterpret_cast<BYTE*>(data), &dataBytes);
        if (r == ERROR_NO_MORE_ITEMS) break;
        if (r != ERROR_SUCCESS || type != REG_SZ) continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        const int n = ComNumber(data);
        if (n > 0) ports[n] = PortEntry{n, "\\\\.\\COM" + std::to_string(n), std::string(), false};
    }
    RegCloseKey(key);
}

// The ports the registry does not list: tried one by one, as the connect dialogs always did. A
// port that opens is closed again at once, no setting changed; one that is in use exists too.
void ByTrying(std::map<int, PortEntry>& ports, int first = kMinComPort, int last = kMaxComPort) {
    for (int n = first; n <= last; ++n) {
        if (ports.count(n)) continue;
        const std::string path = "\\\\.\\COM" + std::to_string(n);
        HANDLE h = CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        const bool exists = h != INVALID_HANDLE_VALUE || GetLastError() == ERROR_ACCESS_DENIED;
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        if (exists) ports[n] = PortEntry{n, path, std::string(), false};
    }
}

// The friendly names of the ports ("USB Serial Port (COM3)"), for the user.
void FriendlyNames(std::map<int, PortEntry>& ports) {
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return;
    SP_DEVINFO_DATA info{};
    info.cbSize = sizeof info;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &info); ++i) {
        HKEY key = SetupDiOpenDevRegKey(set, &info, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE) continue;
        wchar_t portName[64];
        DWORD bytes = sizeof portName - sizeof(wchar_t);
        DWORD type = 0;
        int n = 0;
        if (RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName),
                             &bytes) == ERROR_SUCCESS &&
            type == REG_SZ) {
            portName[bytes / sizeof(wchar_t)] = L'\0';
            n = ComNumber(portName);
        }
        RegCloseKey(key);
        auto it = ports.find(n);
        if (it == ports.end()) continue;
        wchar_t friendly[256];
        if (SetupDiGetDeviceRegistryPropertyW(set, &info, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(friendly),
                                              sizeof friendly - sizeof(wchar_t), nullptr))
            it->second.byId = Narrow(friendly);
    }
    SetupDiDestroyDeviceInfoList(set);
}

}  // namespace

PortRoots PortRoots::Default() {
    return PortRoots{};  // no port directory, no device folder, no lock files
}

std::vector<PortEntry> ListComPorts(const PortRoots& roots) {
    (void)roots;
    std::map<int, PortEntry> ports;
    FromSerialComm(ports);
    ByTrying(ports);
    FriendlyNames(ports);
    std::vector<PortEntry> list;
    for (auto& [n, e] : ports)
        list.push_back(e);
    return list;
}

std::vector<PortEntry> ListComPorts() {
    return ListComPorts(PortRoots::Default());
}

PortEntry FindComPort(int n, const PortRoots& roots) {
    (void)roots;
    if (n < kMinComPort || n > kMaxComPort) return {};
    std::map<int, PortEntry> ports;
    FromSerialComm(ports);
    ByTrying(ports, n, n);  // only this one: the others are not opened for it
    auto it = ports.find(n);
    return it == ports.end() ? PortEntry{} : it->second;
}

std::string ResolveComPort(int n, const PortRoots& roots) {
    return FindComPort(n, roots).path;
}

std::string ResolveComPort(int n) {
    return ResolveComPort(n, PortRoots::Default());
}

bool IsPseudoTerminal(const std::string&) {
    return false;  // Windows has none
}

bool SameComDevice(const PortEntry& before, const PortEntry& now) {
    return !now.path.empty() && now.number == before.number;
}

std::vector<PortEntry> ProbeComPorts(const PortRoots& roots) {
    // A port is offered when it can be opened now: opened without any setting and closed again.
    std::vector<PortEntry> usable;
    for (const PortEntry& e : ListComPorts(roots)) {
        HANDLE h = CreateFileW(Widen(e.path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        CloseHandle(h);
        usable.push_back(e);
    }
    return usable;
}

std::vector<PortEntry> ProbeComPorts() {
    return ProbeComPorts(PortRoots::Default());
}

bool PortPinsSupported() {
    return false;
}

bool PinComPort(int comNumber, const std::string& portDir, const std::string& device,
                std::string& pinPath, std::string& error) {
    (void)comNumber;
    (void)portDir;
    (void)device;
    pinPath.clear();
    error = "Windows numbers its COM ports itself; there are no pins";
    return false;
}

void UnpinComPort(const std::string& pinPath, const std::string& device) {
    (void)pinPath;
    (void)device;
}

}  // namespace jvo
