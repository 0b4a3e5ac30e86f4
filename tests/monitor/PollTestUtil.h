#pragma once
// Helpers of the poll worker and session tests: a scripted user interface, a stand-in for the UI
// thread that collects notifications, and a bounded wait.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "monitor/MonitorUi.h"
#include "monitor/Notify.h"

namespace jvo::test {

// Polls `done` until it holds or `ms` pass (generous: the machine may be loaded).
template <class Fn>
bool WaitUntil(Fn&& done, int ms = 30000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The connect dialog answers with the scripted choices, then cancels; messages and titles are
// recorded. Called on the command thread.
class ScriptedUi : public monitor::MonitorUi {
public:
    // `comPort` > 0 selects that port's entry of the list (none when it is not listed). A choice
    // of no kind is a press of "Connect".
    void Choose(monitor::ConnectChoice c, int comPort = 0) {
        std::lock_guard<std::mutex> lock(m_Lock);
        if (c.m_Kind == monitor::ConnectChoice::CANCELLED)
            c.m_Kind = monitor::ConnectChoice::CONNECT;
        m_Choices.emplace_back(std::move(c), comPort);
    }
    monitor::MsgResult Message(const std::string& text, monitor::MsgButtons,
                               monitor::MsgIcon icon) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Messages.push_back(text);
        m_Icons.push_back(icon);
        return monitor::MsgResult::Ok;
    }
    monitor::ConnectChoice RunConnectDialog(const monitor::ConnectDlgState& state) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Dialogs.push_back(state);
        if (m_Choices.empty()) return {};
        auto [c, comPort] = m_Choices.front();
        m_Choices.pop_front();
        if (comPort > 0) {
            c.m_Selected = -1;
            for (size_t i = 0; i < state.m_Ports.size(); ++i)
                if (state.m_Ports[i].m_Port == comPort) c.m_Selected = static_cast<int>(i);
        }
        return c;
    }
    void SetTitle(const std::string& title) override {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Titles.push_back(title);
    }
    std::vector<std::string> Messages() const {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Messages;
    }
    std::vector<monitor::MsgIcon> Icons() const {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Icons;
    }
    std::vector<std::string> Titles() const {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Titles;
    }
    std::vector<monitor::ConnectDlgState> Dialogs() const {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Dialogs;
    }

private:
    mutable std::mutex m_Lock;
    std::deque<std::pair<monitor::ConnectChoice, int>> m_Choices;
    std::vector<std::string> m_Messages;
    std::vector<monitor::MsgIcon> m_Icons;
    std::vector<std::string> m_Titles;
    std::vector<monitor::ConnectDlgState> m_Dialogs;
};

// Stands in for the UI thread: takes every batch the queue wakes it for and keeps it.
class NoteCollector {
public:
    explicit NoteCollector(monitor::NotifyQueue& q) : m_Queue(q) {
        q.SetWake([this] {
            std::lock_guard<std::mutex> lock(m_Lock);
            ++m_Wakes;
        });
    }
    // Takes what waits (as the UI thread would after a wake-up) and returns everything so far.
    std::vector<monitor::Notification> All() {
        std::lock_guard<std::mutex> lock(m_Lock);
        for (monitor::Notification& n : m_Queue.Take())
            m_All.push_back(std::move(n));
        return m_All;
    }
    int Count(int msg, int p1 = -1, int p2 = -1) {
        int n = 0;
        for (const monitor::Notification& x : All())
            n += x.m_Msg == msg && (p1 < 0 || x.m_Param1 == p1) && (p2 < 0 || x.m_Param2 == p2);
        return n;
    }
    // The trouble notifications in order, as (kind, begins) pairs.
    std::vector<std::pair<int, int>> Trouble() {
        std::vector<std::pair<int, int>> t;
        for (const monitor::Notification& x : All())
            if (x.m_Msg == monitor::WM_APP_LINK_TROUBLE) t.emplace_back(x.m_Param1, x.m_Param2);
        return t;
    }
    int Wakes() {
        std::lock_guard<std::mutex> lock(m_Lock);
        return m_Wakes;
    }

private:
    monitor::NotifyQueue& m_Queue;
    std::mutex m_Lock;
    std::vector<monitor::Notification> m_All;
    int m_Wakes = 0;
};

}  // namespace jvo::test
