// SyncEvent on Windows: an event object.
#include "base/SyncEvent.h"

#include <windows.h>

#include <chrono>
#include <cstdlib>

#include "base/Clock.h"

namespace jvo {

namespace {

HANDLE HandleOf(const SyncEvent& e) {
    return reinterpret_cast<HANDLE>(e.Native());
}

DWORD Millis(int32_t timeoutMs) {
    return timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
}

}  // namespace

SyncEvent::SyncEvent(Reset mode, bool initiallySet) : m_Mode(mode) {
    HoldFinestTimerPeriod();
    HANDLE h = CreateEventW(nullptr, mode == Reset::Manual, initiallySet, nullptr);
    if (h == nullptr) std::abort();  // out of handles: nothing sensible can go on
    m_Native = reinterpret_cast<NativeEvent>(h);
}

SyncEvent::~SyncEvent() {
    CloseHandle(HandleOf(*this));
}

void SyncEvent::Set() {
    SetEvent(HandleOf(*this));
}

void SyncEvent::Clear() {
    ResetEvent(HandleOf(*this));
}

bool SyncEvent::IsSet() const {
    return WaitWithoutTaking(0);
}

bool SyncEvent::WaitWithoutTaking(int32_t timeoutMs) const {
    if (WaitForSingleObject(HandleOf(*this), Millis(timeoutMs)) != WAIT_OBJECT_0) return false;
    // A wait takes the signal of an auto-reset event: it is given back.
    if (m_Mode == Reset::Auto) SetEvent(HandleOf(*this));
    return true;
}

bool SyncEvent::Consume() const {
    return WaitForSingleObject(HandleOf(*this), 0) == WAIT_OBJECT_0;
}

bool SyncEvent::Wait(int32_t timeoutMs) {
    return WaitForSingleObject(HandleOf(*this), Millis(timeoutMs)) == WAIT_OBJECT_0;
}

int WaitAny(std::initializer_list<const SyncEvent*> events, int32_t timeoutMs) {
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    int index[MAXIMUM_WAIT_OBJECTS];
    DWORD count = 0;
    int i = 0;
    for (const SyncEvent* e : events) {
        if (e && count < MAXIMUM_WAIT_OBJECTS) {
            handles[count] = HandleOf(*e);
            index[count++] = i;
        }
        ++i;
    }
    if (count == 0) {
        Sleep(Millis(timeoutMs));
        return -1;
    }
    const DWORD r = WaitForMultipleObjects(count, handles, FALSE, Millis(timeoutMs));
    if (r >= WAIT_OBJECT_0 && r < WAIT_OBJECT_0 + count) return index[r - WAIT_OBJECT_0];
    return -1;
}

bool WaitPrecise(const SyncEvent* cancel, std::chrono::nanoseconds wait) {
    // Waits end on the timer's period (1 ms, see above): whole milliseconds are waited, the rest
    // (less than one) is left to the caller, who spins it.
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + wait;
    for (;;) {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (ms <= 0) return cancel && cancel->IsSet();
        if (cancel) {
            if (WaitForSingleObject(HandleOf(*cancel), static_cast<DWORD>(ms)) == WAIT_OBJECT_0) {
                if (cancel->IsAutoReset()) SetEvent(HandleOf(*cancel));
                return true;
            }
        } else {
            Sleep(static_cast<DWORD>(ms));
        }
    }
}

}  // namespace jvo
