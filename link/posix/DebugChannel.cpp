// The debugger output channel on Linux: standard error.
#include "link/DebugChannel.h"

#include <unistd.h>

#include <cstdio>

namespace jvo {

void DebugChannelWrite(const char* text, size_t length) {
    std::fwrite(text, 1, length, stderr);
}

void DebugChannelWriteNoLock(const char* text, size_t length) {
    const ssize_t ignored =
        ::write(STDERR_FILENO, text, length);  // one write: the line stays whole
    (void)ignored;
}

}  // namespace jvo
