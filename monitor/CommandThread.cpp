#include "monitor/CommandThread.h"

namespace jvo::monitor {

CommandThread::CommandThread() : m_Thread([this] { Loop(); }) {}

CommandThread::~CommandThread() {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Quit = true;
    }
    m_Changed.notify_all();
    m_Thread.join();
}

void CommandThread::Run(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Jobs.push_back(std::move(job));
    }
    m_Changed.notify_all();
}

bool CommandThread::Busy() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Running || !m_Jobs.empty();
}

void CommandThread::Drain() {
    std::unique_lock<std::mutex> lock(m_Lock);
    m_Changed.wait(lock, [this] { return !m_Running && m_Jobs.empty(); });
}

void CommandThread::Loop() {
    std::unique_lock<std::mutex> lock(m_Lock);
    for (;;) {
        m_Changed.wait(lock, [this] { return m_Quit || !m_Jobs.empty(); });
        if (m_Jobs.empty()) return;  // quitting with nothing left
        std::function<void()> job = std::move(m_Jobs.front());
        m_Jobs.pop_front();
        m_Running = true;
        lock.unlock();
        job();
        lock.lock();
        m_Running = false;
        m_Changed.notify_all();
    }
}

}  // namespace jvo::monitor
