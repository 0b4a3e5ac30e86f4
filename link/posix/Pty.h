#pragma once
// Pty: a pseudo-terminal pair for standing in for a unit. The program under test opens
// SlavePath() as its serial device; the unit side reads and writes the master. The helper keeps a
// descriptor of the slave open for its whole life, so that a client closing the port is not seen
// as a hang-up on the master (which would otherwise report POLLHUP on every poll), and sets both
// sides raw with no software flow control.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace jvo {

class Pty {
public:
    Pty() = default;
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    // Creates the pair. False (nothing open) on failure.
    bool Open();
    // Closes the master and the slave descriptor kept here; a client still holding the slave
    // sees a hang-up.
    void Close();
    // Closes only the master: the slave side sees a hang-up.
    void CloseMaster();
    bool IsOpen() const { return m_Master >= 0; }

    const std::string& SlavePath() const { return m_SlavePath; }
    int MasterFd() const { return m_Master; }

    // Clears the slave's exclusive mode (TIOCEXCL) when the program that set it is gone without
    // clearing it (it was killed). The mode belongs to the slave, which the descriptor kept here
    // keeps alive, so no other program could open the port until the pty closes. The program is
    // taken to be gone once nobody holds the slave's advisory lock: the programs of this system
    // take it before they set exclusive mode, and it goes with their last descriptor. True when
    // the mode was cleared. Cheap; call it now and then.
    bool ClearAbandonedExclusive() const;

    // Waits up to timeoutMs (negative: no limit) for `events` on the master; the revents, 0 on
    // time-out, -1 on error.
    int Poll(short events, int32_t timeoutMs) const;
    // Reads what is available on the master, waiting up to timeoutMs for the first byte. The
    // count read, 0 on time-out, -1 on error or hang-up.
    ssize_t Read(uint8_t* buffer, size_t capacity, int32_t timeoutMs) const;
    // Writes all bytes to the master, waiting while the terminal's buffer is full.
    bool Write(const uint8_t* data, size_t count) const;

private:
    int m_Master = -1;
    int m_SlaveKeeper = -1;
    std::string m_SlavePath;
};

}  // namespace jvo
