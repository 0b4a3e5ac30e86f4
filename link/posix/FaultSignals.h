#pragma once
// How the POSIX fault guard names a signal: the exception code of the fault report.
#include <cstdint>

#include "link/FaultGuard.h"

namespace jvo {

// Maps a POSIX fault signal to its exception code and fills a record. `pageFaultError` is the
// x86-64 page-fault error code when known (bit 1 set: the access was a write), else -1.
FaultRecord TranslateFault(int signal, int signalCode, uint64_t dataAddress,
                           uint64_t instructionAddress, int64_t pageFaultError,
                           bool onStackGuard = false);

}  // namespace jvo
