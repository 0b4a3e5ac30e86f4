#pragma once
// SyncEvent: a manual- or auto-reset event. Behind it is an object of the operating system (an
// eventfd on Linux, an event handle on Windows), so that a thread can wait on it together with a
// socket or a serial device in one wait of the platform layer.
#include <chrono>
#include <cstdint>
#include <initializer_list>

namespace jvo {

constexpr int32_t kWaitForever = -1;

// The operating system's object behind an event: a descriptor or a handle.
using NativeEvent = intptr_t;

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
    // True when the event is (or becomes) set within timeoutMs; leaves it set, also an
    // auto-reset one (which on some platforms is taken and set again, so that another waiter may
    // wake meanwhile).
    bool WaitWithoutTaking(int32_t timeoutMs) const;
    // For auto-reset events after a wait of the platform layer reported the event set: true when
    // this caller took the signal (another waiter may have taken it first).
    bool Consume() const;
    // Signalled while set (readable, for a descriptor). An auto-reset event must be taken with
    // Consume() after such a wait.
    NativeEvent Native() const { return m_Native; }
    bool IsAutoReset() const { return m_Mode == Reset::Auto; }

private:
    NativeEvent m_Native;
    Reset m_Mode;
};

// Waits until one of `events` (null entries are ignored) is set, or timeoutMs (kWaitForever: no
// limit) has passed. The index of the first set event, whose signal is taken when it resets
// itself; -1 on time-out.
int WaitAny(std::initializer_list<const SyncEvent*> events, int32_t timeoutMs);

// Waits `wait` as exactly as the platform can, or until `cancel` (may be null) is set: true when
// it was. Linux wakes to the microsecond, never early; Windows to its timer's period (1 ms), up
// to a millisecond early, so that a caller who needs more spins the rest.
bool WaitPrecise(const SyncEvent* cancel, std::chrono::nanoseconds wait);

}  // namespace jvo
