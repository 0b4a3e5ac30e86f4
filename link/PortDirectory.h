#pragma once
// COM port numbers. Both programs name a serial port by a number 1..32, and this is the one
// place that turns numbers into devices. On Windows the numbers are the system's own (COM n is
// "\\.\COMn"; link/win32/PortDirectory.cpp). On Linux (link/posix/PortDirectory.cpp):
// - The port directory is $JVO_PORT_DIR when set, else ~/.config/jvo/ports.
// - An entry com<n> there (normally a symlink to a device, for instance a stable name under
//   /dev/serial/by-id) pins number n to that device. A pin keeps its number while its device is
//   absent.
// - The machine's other serial devices (ttyUSB*, then ttyACM*, then ttyS*, each in natural order)
//   take the lowest numbers not pinned.
#include <cstdint>
#include <string>
#include <vector>

namespace jvo {

constexpr int kMinComPort = 1;
constexpr int kMaxComPort = 32;

struct PortEntry {
    int number = 0;
    std::string path;       // the device itself, links resolved
    std::string byId;       // its name under serial/by-id, empty when it has none
    bool pinned = false;    // the number comes from a pin in the port directory
    uint64_t pinStamp = 0;  // pinned: the identity of the pin itself (new when it is made anew)
};

// One entry of a connect dialog's port list.
struct PortItem {
    int m_Port = 0;       // the COM port number (the entry's data)
    std::string m_Label;  // "COM%d"
};

// The connect dialogs' list: the numbers 1..32 among the entries, ascending, each once.
std::vector<PortItem> PortItems(const std::vector<PortEntry>& entries);

// Where to look; tests point both somewhere else.
struct PortRoots {
    std::string portDir;           // the port directory
    std::string devRoot = "/dev";  // device directory (serial/by-id is looked up below it)
    std::vector<std::string> lockDirs = {"/var/lock", "/run/lock"};  // UUCP lock files
    // $JVO_PORT_DIR or ~/.config/jvo/ports, and /dev.
    static PortRoots Default();
};

// Every numbered port whose device is present, in ascending order of number.
std::vector<PortEntry> ListComPorts(const PortRoots& roots);
std::vector<PortEntry> ListComPorts();

// The device path of COM port n, or an empty string when n is out of range or has no device.
std::string ResolveComPort(int n, const PortRoots& roots);
std::string ResolveComPort(int n);
// COM port n's entry; its number is 0 when n is out of range or has no device.
PortEntry FindComPort(int n, const PortRoots& roots);

// Whether `now`, what a number names today, is still the device `before` was when that number was
// opened: a pin is the user's word; otherwise the same device, or the same serial/by-id name (an
// adapter put back under another ttyUSB name). An unpinned number moves to the next device when
// its own goes away (ttyUSB0 unplugged, COM1 becomes ttyS0), and that is another line, perhaps
// another unit.
//
// A pseudo-terminal is never taken back by its path: once its unit (a simulated one) has gone,
// the same /dev/pts/N may be handed to any other program, with the same device numbers. A pty is
// followed only through a pin that was made anew since (as the simulated unit does when it
// starts again), or through its serial/by-id name.
bool SameComDevice(const PortEntry& before, const PortEntry& now);
// Whether `path` (links resolved) is a pseudo-terminal.
bool IsPseudoTerminal(const std::string& path);

// The listed ports that are terminals and that no other program announced it holds, in ascending
// order (see ProbeSerialPort: the probe changes nothing on the port). Used to offer ports in the
// connect dialogs and by `jvoctl ports`. A program that holds a port without any lock is not
// seen: its port is listed, and connecting to it takes it over.
std::vector<PortEntry> ProbeComPorts(const PortRoots& roots);
std::vector<PortEntry> ProbeComPorts();

// Whether numbers can be pinned to devices (not on Windows, which numbers its ports itself).
bool PortPinsSupported();
// Pins `device` as COM n: a symbolic link com<n> in `portDir` (created when missing), with its
// path in `pinPath`. A dangling link (left by an earlier run) is replaced; any other existing
// com<n>, such as another program's pin or the user's pin to a real adapter, is left alone and
// the pin is refused with the reason in `error`.
bool PinComPort(int comNumber, const std::string& portDir, const std::string& device,
                std::string& pinPath, std::string& error);
// Removes a pin made by PinComPort, but only while it still points at `device`.
void UnpinComPort(const std::string& pinPath, const std::string& device);

}  // namespace jvo
