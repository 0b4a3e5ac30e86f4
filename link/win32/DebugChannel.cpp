// The debugger output channel on Windows: OutputDebugString, and standard error when the program
// has one (a console program, or one whose output is redirected).
#include "link/DebugChannel.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace jvo {

namespace {

bool HasStandardError() {
    const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
    return h != nullptr && h != INVALID_HANDLE_VALUE;
}

}  // namespace

void DebugChannelWrite(const char* text, size_t length) {
    OutputDebugStringA(std::string(text, length).c_str());
    if (HasStandardError()) std::fwrite(text, 1, length, stderr);
}

void DebugChannelWriteNoLock(const char* text, size_t length) {
    // The text may hold no terminator: copied into a buffer on the stack, cut if it is long.
    char line[1024];
    const size_t n = length < sizeof line - 1 ? length : sizeof line - 1;
    for (size_t i = 0; i < n; ++i)
        line[i] = text[i];
    line[n] = '\0';
    OutputDebugStringA(line);
    if (HasStandardError()) {
        DWORD written = 0;
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(length), &written,
                  nullptr);
    }
}

}  // namespace jvo
