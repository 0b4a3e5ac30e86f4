#include "link/AfoThread.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <system_error>

#include "base/MsgFifo.h"
#include "base/SyncEvent.h"
#include "link/AppLog.h"

namespace jvo {

namespace {

// The global thread lock: guards the registry and every thread's flags and signals. Never held
// while waiting for a thread (condition waits release it).
std::mutex& GlobalLock() {
    static std::mutex* lock = new std::mutex();  // never destroyed: threads may outlive main
    return *lock;
}

std::list<AfoThread*>& Registry() {
    static std::list<AfoThread*>* registry = new std::list<AfoThread*>();
    return *registry;
}

}  // namespace

// Shared by the object and its thread. Everything below `name` is guarded by the global lock.
struct AfoThread::Control {
    Function function = nullptr;
    void* argument = nullptr;
    std::string name;
    ThreadPriority priority = ThreadPriority::Normal;

    AfoThread* owner = nullptr;  // null once the object is gone
    uint32_t exitCode = 0;
    uint32_t threadId = 0;
    bool selfDelete = false;
    bool resumed = false;
    bool cancelled = false;  // ended before it was started
    bool abandoned = false;  // given up by Terminate; must not touch owner or signals any more
    bool finished = false;
    bool ended = false;  // the function has returned or failed (or the thread never ran it)
    SyncEvent* stopEvent = nullptr;
    MsgFifo* stopQueue = nullptr;
    int32_t stopCode = 0;
    SyncEvent* doneEvent = nullptr;
    MsgFifo* doneQueue = nullptr;
    int32_t doneCode = 0;
    std::condition_variable gate;     // resumed or cancelled
    std::condition_variable endedCv;  // ended
};

namespace {
// The running thread's own control block: the thread-local slot.
thread_local AfoThread::Control* t_Current = nullptr;
}  // namespace

AfoThread::AfoThread(Function function, const std::string& name, void* argument, bool startLater,
                     ThreadPriority priority)
    : m_Control(std::make_shared<Control>()) {
    m_Control->priority = priority;
    m_Control->function = function;
    m_Control->argument = argument;
    m_Control->name = name;
    {
        std::lock_guard<std::mutex> guard(GlobalLock());
        m_Control->owner = this;
        m_RegistryPos = Registry().insert(Registry().end(), this);
    }
    try {
        m_Thread = std::thread(&AfoThread::ThreadMain, m_Control);
    } catch (const std::system_error&) {
        {
            std::lock_guard<std::mutex> guard(GlobalLock());
            m_Control->finished = true;
            m_Control->ended = true;
        }
        JVO_LOG0("AfoThread::AfoThread() Cannot create thread '%s'", name);
        return;
    }
    if (!startLater) Resume();
}

AfoThread::~AfoThread() {
    bool finished;
    bool stoppable;
    {
        std::lock_guard<std::mutex> guard(GlobalLock());
        Registry().erase(m_RegistryPos);
        finished = m_Control->finished;
        stoppable = m_Control->stopEvent != nullptr || m_Control->stopQueue != nullptr;
    }
    if (!finished) Terminate(stoppable ? 500 : 0);
    bool joinable;
    {
        std::lock_guard<std::mutex> guard(GlobalLock());
        m_Control->owner = nullptr;
        // A thread that has ended its function (or never ran it) leaves at once: join it.
        joinable = (m_Control->ended || m_Control->cancelled) && !m_Control->abandoned;
    }
    if (m_Thread.joinable()) {
        if (m_Thread.get_id() == std::this_thread::get_id() || !joinable)
            m_Thread.detach();
        else
            m_Thread.join();
    }
}

bool AfoThread::StartThread(Function function, const std::string& name, void* argument,
                            ThreadPriority priority) {
    AfoThread* thread = new AfoThread(function, name, argument, true, priority);
    {
        std::lock_guard<std::mutex> guard(GlobalLock());
        if (!thread->m_Control->ended) {
            thread->m_Control->selfDelete = true;
            thread->m_Control->resumed = true;
            thread->m_Control->gate.notify_all();
            return true;
        }
    }
    delete thread;  // the thread could not be created
    return false;
}

void AfoThread::Resume() {
    std::lock_guard<std::mutex> guard(GlobalLock());
    if (m_Control->cancelled || m_Control->ended) return;
    m_Control->resumed = true;
    m_Control->gate.notify_all();
}

void AfoThread::Terminate(int32_t waitMs) {
    Control& c = *m_Control;
    std::unique_lock<std::mutex> lock(GlobalLock());
    const uint32_t threadId = c.threadId;
    if (c.finished) {
        lock.unlock();
        JVO_LOG1("AfoThread::Terminate(%d): Thread '%s' (0x%08x) Thread already terminated", waitMs,
                 c.name, threadId);
        return;
    }
    if (c.stopEvent) c.stopEvent->Set();
    if (c.stopQueue) c.stopQueue->Push(c.stopCode);
    c.endedCv.wait_for(lock, std::chrono::milliseconds(waitMs > 0 ? waitMs : 0),
                       [&] { return c.ended; });
    bool forced = false;
    if (!c.ended) {
        forced = true;
        if (!c.resumed) {
            // Never started: end it for real before it runs the function.
            c.cancelled = true;
            c.gate.notify_all();
        } else {
            c.abandoned = true;
        }
    }
    c.finished = true;
    const uint32_t runningId = c.threadId;  // it may have started during the wait
    lock.unlock();
    if (forced) {
        JVO_LOG1("AfoThread::Terminate() Forcefully terminating thread '%s' (0x%X)", c.name,
                 runningId);
    }
}

void AfoThread::SetStopEvent(SyncEvent* event) {
    std::lock_guard<std::mutex> guard(GlobalLock());
    m_Control->stopEvent = event;
}

void AfoThread::SetStopQueue(MsgFifo* queue, int32_t code) {
    std::lock_guard<std::mutex> guard(GlobalLock());
    m_Control->stopQueue = queue;
    m_Control->stopCode = code;
}

void AfoThread::SetDoneEvent(SyncEvent* event) {
    std::lock_guard<std::mutex> guard(GlobalLock());
    m_Control->doneEvent = event;
}

void AfoThread::SetDoneQueue(MsgFifo* queue, int32_t code) {
    std::lock_guard<std::mutex> guard(GlobalLock());
    m_Control->doneQueue = queue;
    m_Control->doneCode = code;
}

const std::string& AfoThread::Name() const {
    return m_Control->name;
}

uint32_t AfoThread::ExitCode() const {
    std::lock_guard<std::mutex> guard(GlobalLock());
    return m_Control->exitCode;
}

bool AfoThread::Finished() const {
    std::lock_guard<std::mutex> guard(GlobalLock());
    return m_Control->finished;
}

uint32_t AfoThread::ThreadId() const {
    std::lock_guard<std::mutex> guard(GlobalLock());
    return m_Control->threadId;
}

bool AfoThread::WaitEnded(int32_t waitMs) const {
    std::unique_lock<std::mutex> lock(GlobalLock());
    return m_Control->endedCv.wait_for(lock, std::chrono::milliseconds(waitMs > 0 ? waitMs : 0),
                                       [&] { return m_Control->ended; });
}

AfoThread* AfoThread::Current() {
    Control* c = t_Current;
    if (!c) return nullptr;
    std::lock_guard<std::mutex> guard(GlobalLock());
    return c->owner;
}

uint32_t AfoThread::CurrentThreadId() {
    return ThisThreadId();
}

size_t AfoThread::RegistryCount() {
    std::lock_guard<std::mutex> guard(GlobalLock());
    return Registry().size();
}

void AfoThread::ThreadMain(std::shared_ptr<Control> control) {
    Control& c = *control;
    {
        std::unique_lock<std::mutex> lock(GlobalLock());
        c.gate.wait(lock, [&] { return c.resumed || c.cancelled; });
        if (c.cancelled) {
            c.ended = true;
            c.endedCv.notify_all();
            return;
        }
        c.threadId = CurrentThreadId();
    }
    NameThisThread(c.name);
    SetThisThreadPriority(c.priority);
    t_Current = &c;
    Execute(c);
    t_Current = nullptr;
    AfoThread* self = nullptr;
    {
        std::lock_guard<std::mutex> guard(GlobalLock());
        if (c.selfDelete) self = c.owner;
    }
    delete self;  // a self-deleting thread takes its object with it
}

void AfoThread::Execute(Control& c) {
    uint32_t threadId;
    {
        std::lock_guard<std::mutex> guard(GlobalLock());
        threadId = c.threadId;
    }
    uint32_t result = 0;
    bool returned = false;
    bool faulted = false;
    try {
        FaultRecord record;
        if (RunGuarded(c.function, c.argument, result, record)) {
            returned = true;
        } else {
            throw AfoException(record.code, record);
        }
    } catch (const AfoException& e) {
        // The faulted call may have left the log's lock taken: nothing here waits for it.
        faulted = true;
        CAppLog::Instance().WriteNoWait(
            1,
            "AfoThread::Execute() Thread '%s' (0x%X) generated a structured exception (code = %u)",
            c.name, threadId, e.Code());
        e.Report();
    } catch (...) {
        JVO_LOG1("AfoThread::Execute() Thread '%s' (0x%X) generated an unknown exception", c.name,
                 threadId);
    }
    uint32_t exitCode;
    {
        std::lock_guard<std::mutex> guard(GlobalLock());
        if (returned) c.exitCode = result;
        exitCode = c.exitCode;
        c.finished = true;
        c.ended = true;
        c.endedCv.notify_all();
        if (!c.abandoned) {
            if (c.doneEvent) c.doneEvent->Set();
            if (c.doneQueue) c.doneQueue->Push(c.doneCode);
        }
    }
    if (faulted) {
        CAppLog::Instance().WriteNoWait(
            2, "AfoThread::Execute() Thread '%s' (0x%X) terminated with code %d (0x%x)", c.name,
            threadId, exitCode, exitCode);
    } else {
        JVO_LOG2("AfoThread::Execute() Thread '%s' (0x%X) terminated with code %d (0x%x)", c.name,
                 threadId, exitCode, exitCode);
    }
}

}  // namespace jvo
