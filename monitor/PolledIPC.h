#pragma once
// CPolledIPC: the mailbox between the user-interface side and the poll worker. The UI side posts
// one command with a parameter and waits for the worker's reply; the worker takes commands either
// by waiting for one (before it starts) or by polling at its poll points. Two auto-reset events
// carry the hand-over; a short lock orders the command and reply values with them.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "base/SyncEvent.h"

namespace jvo::monitor {

constexpr int PollCmdStart = 0;
constexpr int PollCmdStop = 3;

class CPolledIPC {
public:
    CPolledIPC() = default;
    CPolledIPC(const CPolledIPC&) = delete;
    CPolledIPC& operator=(const CPolledIPC&) = delete;

    // UI side. Hands over `cmd` and `param` and waits for the reply; returns the reply value, or
    // -1 when none came within timeoutMs (kWaitForever: no limit). One poster at a time.
    int Post(int cmd, int param, int32_t timeoutMs = kWaitForever);

    // Worker side. Waits up to timeoutMs for a command; false when none came.
    bool Wait(int& cmd, int& param, int32_t timeoutMs = kWaitForever);
    // Takes a waiting command without waiting; false when there is none. Costs no system call
    // while nothing was posted (the worker polls before every request).
    bool Poll(int& cmd, int& param) {
        if (!m_Posted.exchange(false, std::memory_order_acquire)) return false;
        return Wait(cmd, param, 0);
    }
    // Answers the command taken last.
    void Reply(int value);

    // The request event, set while a command waits (for waits on several).
    const SyncEvent& RequestEvent() const { return m_Request; }

private:
    std::mutex m_PostLock;  // one Post at a time
    std::mutex m_Lock;      // the values below
    int m_Cmd = 0;
    int m_Param = 0;
    int m_Reply = 0;
    SyncEvent m_Request{SyncEvent::Reset::Auto};
    SyncEvent m_Response{SyncEvent::Reset::Auto};
    // Set after each hand-over: a poll looks at the request event only then.
    std::atomic<bool> m_Posted{false};
};

}  // namespace jvo::monitor
