#include "monitor/Notify.h"

namespace jvo::monitor {

NotifyQueue::NotifyQueue(std::function<void()> wake) : m_Wake(std::move(wake)) {}

void NotifyQueue::SetWake(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Wake = std::move(wake);
}

bool NotifyQueue::Mergeable(int msg) {
    return msg == WM_APP_PANEL_READINGS || msg == WM_APP_BREAKER_READING ||
           msg == WM_APP_SUBFEED_READING || msg == WM_APP_EVENTLOG_CHANGED ||
           msg == WM_APP_CLOCK_TEXT;
}

void NotifyQueue::Post(int msg, int param1, int param2) {
    if (msg == WM_APP_EVENTLOG_CHANGED && !EventLogWindowOpen()) return;
    Push({msg, param1, param2, {}}, Mergeable(msg));
}

void NotifyQueue::PostText(int msg, std::string text) {
    Push({msg, 0, 0, std::move(text)}, Mergeable(msg));
}

void NotifyQueue::Push(Notification n, bool merge) {
    std::function<void()> wake;
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (merge) {
            // At most one waiting entry per row or area (a few hundred at most), so the walk is
            // short; the newest text wins.
            for (Notification& w : m_Queue) {
                if (w.m_Msg == n.m_Msg && w.m_Param1 == n.m_Param1 && w.m_Param2 == n.m_Param2) {
                    w.m_Text = std::move(n.m_Text);
                    return;
                }
            }
        }
        if (m_Queue.empty()) wake = m_Wake;
        m_Queue.push_back(std::move(n));
    }
    if (wake) wake();
}

std::vector<Notification> NotifyQueue::Take() {
    std::lock_guard<std::mutex> lock(m_Lock);
    std::vector<Notification> all(std::make_move_iterator(m_Queue.begin()),
                                  std::make_move_iterator(m_Queue.end()));
    m_Queue.clear();
    return all;
}

size_t NotifyQueue::Waiting() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Queue.size();
}

void NotifyQueue::SetEventLogWindowOpen(bool open) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_EventLogOpen = open;
}

bool NotifyQueue::EventLogWindowOpen() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_EventLogOpen;
}

}  // namespace jvo::monitor
