#pragma once
// CommandThread: runs jobs that wait on the unit (the connect sequence, the user commands) one
// after another on a thread of its own, so that the UI thread never waits on the unit.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace jvo::monitor {

class CommandThread {
public:
    CommandThread();
    // Runs the jobs still queued, then ends the thread.
    ~CommandThread();
    CommandThread(const CommandThread&) = delete;
    CommandThread& operator=(const CommandThread&) = delete;

    void Run(std::function<void()> job);
    // True while a job runs or waits.
    bool Busy() const;
    // Waits until no job runs or waits (tests, shut-down).
    void Drain();

private:
    void Loop();

    mutable std::mutex m_Lock;
    std::condition_variable m_Changed;
    std::deque<std::function<void()>> m_Jobs;
    bool m_Running = false;  // a job is running
    bool m_Quit = false;
    std::thread m_Thread;
};

}  // namespace jvo::monitor
