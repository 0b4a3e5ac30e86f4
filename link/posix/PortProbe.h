#pragma once
// Looks at a serial device without disturbing it, to decide whether it can be offered for
// connecting. The device is opened non-blocking and closed again; no setting is written, no modem
// line is set and no queue is flushed, so a program that has the port open keeps its settings and
// its waiting input. (The kernel raises DTR when it first opens a port that nobody has open; that
// cannot be avoided.)
//
// A port counts as held when another program announced it: by the advisory lock (flock), by the
// terminal's exclusive mode (TIOCEXCL; only root gets past it to see it) or by a UUCP lock file
// (LCK..<name> with the PID of a running process) in one of the lock directories. A program that
// holds a port without any of these is not seen; the port is offered, and connecting to it takes
// it over.
#include <cstdint>
#include <string>
#include <vector>

namespace jvo {

enum class ProbeResult {
    Usable,
    CannotOpen,   // absent, no permission, or refused (exclusive mode)
    NotTerminal,  // a plain file or some other device
    Placeholder,  // a standard UART port the kernel lists with no hardware behind it
    Held,         // another program announced that it holds the port
};

ProbeResult ProbeSerialPort(const std::string& path, const std::vector<std::string>& lockDirs);

// True when a UUCP lock file for `path` in one of `lockDirs` names a running process (or cannot
// be read).
bool HasUucpLock(const std::string& path, const std::vector<std::string>& lockDirs);

// The identity of the directory entry at `path` itself (a pin's symbolic link, not what it points
// at): it changes whenever the entry is made anew. 0 when there is no entry.
uint64_t EntryStamp(const std::string& path);

}  // namespace jvo
