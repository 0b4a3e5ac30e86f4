#pragma once
// The thread part of the platform layer: names, priorities and ids of the calling thread.
// Threads themselves are std::thread (POSIX threads on both platforms).
#include <cstdint>
#include <string>

namespace jvo {

enum class ThreadPriority { Idle, Lowest, BelowNormal, Normal, AboveNormal, Highest, TimeCritical };

// Names the calling thread for debuggers and process listings (Linux keeps 15 characters).
void NameThisThread(const std::string& name);
// Sets the calling thread's priority. False where the platform does not change it: on Linux,
// raising a priority needs privileges under the default scheduler, so priorities stay as they
// are there.
bool SetThisThreadPriority(ThreadPriority priority);
// The operating system's id of the calling thread.
uint32_t ThisThreadId();

}  // namespace jvo
