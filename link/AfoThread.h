#pragma once
// AfoThread: a named worker thread with a process-wide registry, start and stop signalling, a
// bounded stop, and the fault guard that turns processor faults inside the thread into an
// AfoException with a fault report in the log.
//
// The thread's state (flags, exit code, id, signals) lives in a control block that the object and
// its thread co-own, so a thread that outlives its AfoThread never touches freed memory.
//
// Forced termination: POSIX has no safe way to end another thread. A thread that does not end
// within Terminate's wait time is abandoned instead: it is detached, the object marks itself
// finished, and the thread no longer touches the object or its done signals; it runs on until
// its function returns and then ends quietly. A thread that was never started is really ended.
//
// Priority: the thread sets its own priority as it starts, where the platform lets it (see
// SetThisThreadPriority: on Linux priorities stay as they are).
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <thread>

#include "link/FaultGuard.h"
#include "link/Threads.h"

namespace jvo {

class MsgFifo;
class SyncEvent;

class AfoThread {
public:
    // The thread's work: its result becomes the exit code.
    using Function = uint32_t (*)(void* argument);

    // Registers the thread and creates it; it starts at once unless startLater is set.
    AfoThread(Function function, const std::string& name, void* argument, bool startLater = false,
              ThreadPriority priority = ThreadPriority::Normal);
    virtual ~AfoThread();
    AfoThread(const AfoThread&) = delete;
    AfoThread& operator=(const AfoThread&) = delete;

    // Fire and forget: a self-deleting thread, started at once. The caller keeps no reference.
    // False when no thread could be created (nothing runs; the argument stays the caller's).
    static bool StartThread(Function function, const std::string& name, void* argument,
                            ThreadPriority priority = ThreadPriority::Normal);

    // Starts a thread that was created with startLater.
    void Resume();
    // Asks the thread to stop (stop event and queue) and waits up to waitMs for it to end; a
    // thread still running then is abandoned (see above).
    void Terminate(int32_t waitMs);

    // Stop and done signals; set them before the thread can end. They must outlive this object.
    void SetStopEvent(SyncEvent* event);
    void SetStopQueue(MsgFifo* queue, int32_t code);
    void SetDoneEvent(SyncEvent* event);
    void SetDoneQueue(MsgFifo* queue, int32_t code);

    const std::string& Name() const;
    uint32_t ExitCode() const;
    bool Finished() const;
    uint32_t ThreadId() const;  // 0 until the thread has started
    // Waits up to waitMs for the thread function to end (true), without asking it to.
    bool WaitEnded(int32_t waitMs) const;

    // The AfoThread the calling thread runs on (null on other threads, and once it is deleted).
    static AfoThread* Current();
    // The calling thread's OS thread id.
    static uint32_t CurrentThreadId();
    // Number of AfoThread objects in the registry.
    static size_t RegistryCount();

    struct Control;  // the shared state; defined in the implementation

private:
    static void ThreadMain(std::shared_ptr<Control> control);
    static void Execute(Control& control);

    std::shared_ptr<Control> m_Control;
    std::thread m_Thread;
    std::list<AfoThread*>::iterator m_RegistryPos;
};

}  // namespace jvo
