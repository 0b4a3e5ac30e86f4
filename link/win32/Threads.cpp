// Thread names, priorities and ids on Windows.
#include "link/Threads.h"

#include <windows.h>

#include "base/win32/Wide.h"

namespace jvo {

void NameThisThread(const std::string& name) {
    // SetThreadDescription exists from Windows 10 1607 on: looked up, not linked.
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    static const auto set = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadDescription")));
    if (set) set(GetCurrentThread(), Widen(name).c_str());
}

bool SetThisThreadPriority(ThreadPriority priority) {
    int value = THREAD_PRIORITY_NORMAL;
    switch (priority) {
        case ThreadPriority::Idle:
            value = THREAD_PRIORITY_IDLE;
            break;
        case ThreadPriority::Lowest:
            value = THREAD_PRIORITY_LOWEST;
            break;
        case ThreadPriority::BelowNormal:
            value = THREAD_PRIORITY_BELOW_NORMAL;
            break;
        case ThreadPriority::Normal:
            value = THREAD_PRIORITY_NORMAL;
            break;
        case ThreadPriority::AboveNormal:
            value = THREAD_PRIORITY_ABOVE_NORMAL;
            break;
        case ThreadPriority::Highest:
            value = THREAD_PRIORITY_HIGHEST;
            break;
        case ThreadPriority::TimeCritical:
            value = THREAD_PRIORITY_TIME_CRITICAL;
            break;
    }
    return SetThreadPriority(GetCurrentThread(), value) != 0;
}

uint32_t ThisThreadId() {
    return static_cast<uint32_t>(GetCurrentThreadId());
}

}  // namespace jvo
