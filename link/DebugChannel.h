#pragma once
// The debugger output channel of the platform layer, where the log's lines go: standard error
// on Linux; on Windows the debugger output (OutputDebugString) and standard error when the
// program has one.
#include <cstddef>

namespace jvo {

// Writes one line (`text`, `length` bytes, ending in '\n').
void DebugChannelWrite(const char* text, size_t length);
// The same without taking any lock of the C library, for a thread that faulted: what it held
// may be abandoned.
void DebugChannelWriteNoLock(const char* text, size_t length);

}  // namespace jvo
