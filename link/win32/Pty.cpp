// Windows has no pseudo-terminals: the simulator serves its unit through its proxy listener
// there, and this pty never opens.
#include "link/Pty.h"

namespace jvo {

bool Pty::Supported() {
    return false;
}

Pty::~Pty() {
    Close();
}

bool Pty::Open() {
    return false;
}

void Pty::Close() {
    m_SlavePath.clear();
}

void Pty::CloseMaster() {}

bool Pty::ClearAbandonedExclusive() const {
    return false;
}

Pty::WaitResult Pty::WaitInput(const SyncEvent* wake, int32_t timeoutMs) const {
    (void)wake;
    (void)timeoutMs;
    return WaitResult::Gone;
}

int64_t Pty::Read(uint8_t* buffer, size_t capacity, int32_t timeoutMs) const {
    (void)buffer;
    (void)capacity;
    (void)timeoutMs;
    return -1;
}

bool Pty::Write(const uint8_t* data, size_t count) const {
    (void)data;
    (void)count;
    return false;
}

}  // namespace jvo
