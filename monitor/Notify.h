#pragma once
// Notifications from the poll worker and the command thread to the windows. Each is a message
// number with two integer parameters (and a text for the clock). They travel through a
// NotifyQueue: the poster never waits, the UI thread takes everything that is waiting in one
// batch, in the order it was first posted. Readings notifications for the same row or area are
// merged while they wait (the stores always hold the newest values, so one refresh shows them),
// which bounds what one batch can hold however fast the unit answers.
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "config/UnitConfig.h"

namespace jvo::monitor {

enum NotifyMsg : int {
    WM_APP_CONNECT = 32769,
    WM_APP_PANEL_READINGS = 32770,    // panel
    WM_APP_BREAKER_READING = 32771,   // panel, breaker index
    WM_APP_EVENTLOG_CHANGED = 32772,  // log number
    WM_APP_SUBFEED_READING = 32773,   // panel, subfeed index
    WM_APP_CLOCK_TEXT = 32774,        // m_Text
    // The worker's trouble states: param1 a LinkTrouble, param2 1 when it begins, 0 when it ends.
    WM_APP_LINK_TROUBLE = 32775,
    // A command of the command thread has finished: param1 a CommandId, param2 its result.
    WM_APP_COMMAND_DONE = 32776,
};

enum LinkTrouble : int {
    TROUBLE_TRANSPORT_LOST = 1,  // the device hung up or the proxy connection ended
    TROUBLE_NOT_ANSWERING = 2,   // no reply to anything for a while on a healthy transport
};

struct Notification {
    int m_Msg = 0;
    int m_Param1 = 0;
    int m_Param2 = 0;
    std::string m_Text;
    bool operator==(const Notification&) const = default;
};

class NotifyQueue {
public:
    // `wake` is called (on the posting thread, with no lock held) when the queue goes from empty
    // to not empty; it must not block. The UI side then calls Take() on its own thread.
    explicit NotifyQueue(std::function<void()> wake = {});
    NotifyQueue(const NotifyQueue&) = delete;
    NotifyQueue& operator=(const NotifyQueue&) = delete;

    void SetWake(std::function<void()> wake);

    // Any thread. Readings and event log notifications merge with a waiting one of the same
    // message and parameters; the clock text replaces a waiting one's text; the rest queue up.
    void Post(int msg, int param1 = 0, int param2 = 0);
    void PostText(int msg, std::string text);

    // UI thread: everything waiting, oldest first; the queue is empty afterwards.
    std::vector<Notification> Take();
    size_t Waiting() const;

    // WM_APP_EVENTLOG_CHANGED is posted only while the event log window says it is open.
    void SetEventLogWindowOpen(bool open);
    bool EventLogWindowOpen() const;

private:
    static bool Mergeable(int msg);
    void Push(Notification n, bool merge);

    mutable std::mutex m_Lock;
    std::function<void()> m_Wake;
    std::deque<Notification> m_Queue;
    bool m_EventLogOpen = false;
};

}  // namespace jvo::monitor
