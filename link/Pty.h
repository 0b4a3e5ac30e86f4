#pragma once
// Pty: a pseudo-terminal pair for standing in for a unit, the simulator's part of the platform
// layer. The program under test opens SlavePath() as its serial device; the unit side reads and
// writes the master. The helper keeps the slave open for its whole life, so that a client
// closing the port is not seen as a hang-up on the master, and sets both sides raw with no
// software flow control. Windows has no pseudo-terminals: there Open() fails (Supported()).
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/SyncEvent.h"

namespace jvo {

class Pty {
public:
    // Whether this platform has pseudo-terminals.
    static bool Supported();

    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Creates the pair. False (nothing open) on failure.
    bool Open();
    // Closes the master and the slave kept here; a client still holding the slave sees a
    // hang-up.
    void Close();
    // Closes only the master: the slave side sees a hang-up.
    void CloseMaster();
    bool IsOpen() const { return m_Master >= 0; }

    const std::string& SlavePath() const { return m_SlavePath; }
    // The master's descriptor, for tools that drive it themselves.
    intptr_t MasterHandle() const { return m_Master; }

    // Clears the slave's exclusive mode (TIOCEXCL) when the program that set it is gone without
    // clearing it (it was killed). The mode belongs to the slave, which the descriptor kept here
    // keeps alive, so no other program could open the port until the pty closes. The program is
    // taken to be gone once nobody holds the slave's advisory lock: the programs of this system
    // take it before they set exclusive mode, and it goes with their last descriptor. True when
    // the mode was cleared. Cheap; call it now and then.
    bool ClearAbandonedExclusive() const;

    enum class WaitResult {
        Readable,
        Woken,
        HungUp,  // nobody has the slave open (not while the pty keeps it open itself)
        Gone,    // the master failed
        TimedOut,
    };
    // Waits up to timeoutMs (negative: no limit) for input on the master or for `wake` (may be
    // null; reported first, and not taken).
    WaitResult WaitInput(const SyncEvent* wake, int32_t timeoutMs) const;
    // Reads what is available on the master, waiting up to timeoutMs for the first byte. The
    // count read, 0 on time-out, -1 on error or hang-up.
    int64_t Read(uint8_t* buffer, size_t capacity, int32_t timeoutMs) const;
    // Writes all bytes to the master, waiting while the terminal's buffer is full.
    bool Write(const uint8_t* data, size_t count) const;

private:
    int m_Master = -1;
    int m_SlaveKeeper = -1;
    std::string m_SlavePath;
};

}  // namespace jvo
