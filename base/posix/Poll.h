#pragma once
// poll() on one descriptor, for the POSIX implementations of the platform layer.
#include <cstdint>

namespace jvo {

// Waits for `fd` to report any of `events` within timeoutMs (negative: no limit), retrying after
// signals. Returns the revents (0 on time-out, -1 on error).
int PollOne(int fd, short events, int32_t timeoutMs);

}  // namespace jvo
