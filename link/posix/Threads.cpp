// Thread names and ids on Linux.
#include "link/Threads.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace jvo {

void NameThisThread(const std::string& name) {
    ::pthread_setname_np(::pthread_self(), name.substr(0, 15).c_str());
}

bool SetThisThreadPriority(ThreadPriority priority) {
    (void)priority;
    return false;
}

uint32_t ThisThreadId() {
    return static_cast<uint32_t>(::syscall(SYS_gettid));
}

}  // namespace jvo
