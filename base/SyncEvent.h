#pragma once
// SyncEvent: a manual- or auto-reset event backed by a descriptor (eventfd), so that a thread can
// wait on it together with a socket or a serial device in one poll().
#include <cstdint>

namespace jvo {

constexpr int32_t kWaitForever = -1;

class SyncEvent {
public:
    enum class Reset { Manual, Auto };
    explicit SyncEvent(Reset mode, bool initiallySet = false);
    ~SyncEvent();
    SyncEvent(const SyncEvent&) = delete;
    SyncEvent& operator=(const SyncEvent&) = delete;

    void Set();
    void Clear();
    // True when the event is (or becomes) set within timeoutMs (kWaitForever: no limit). An
    // auto-reset event is cleared by the wait that sees it set; only one waiter sees each Set.
    bool Wait(int32_t timeoutMs);
    // True when set; never waits and never clears.
    bool IsSet() const;
    // Readable (POLLIN) while set. An auto-reset event must be taken with Consume() after poll().
    int Fd() const { return m_Fd; }
    // For auto-reset events after poll() reported the descriptor readable: true when this caller
    // took the signal (another waiter may have taken it first).
    bool Consume();

private:
    int m_Fd = -1;
    Reset m_Mode;
};

// Waits for `fd` to report any of `events` within timeoutMs, retrying after signals.
// Returns the revents (0 on time-out, -1 on error).
int PollOne(int fd, short events, int32_t timeoutMs);

}  // namespace jvo
