#pragma once
// Millisecond clocks. TickMs() is the process clock: milliseconds since its first call (which
// returns 0), wrapping modulo 2^32. Code that waits or measures time takes an IClock so that tests
// can run time-dependent behaviour without waiting.
#include <atomic>
#include <cstdint>
#include <ctime>

namespace jvo {

uint32_t TickMs();

// Holds the platform timer's finest period of at least 1 ms until the process ends (on Windows;
// elsewhere the timers are fine already). The clock and the events hold it on first use.
void HoldFinestTimerPeriod();

// A time as the calendar of this computer's time zone, and as UTC; false when it cannot be shown.
bool ToLocalTime(std::time_t t, std::tm& out);
bool ToUtcTime(std::time_t t, std::tm& out);

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds on a monotonic scale that starts at an arbitrary point.
    virtual uint64_t NowMs() const = 0;
};

// The real monotonic clock.
class SystemClock final : public IClock {
public:
    uint64_t NowMs() const override;
    static SystemClock& Instance();
};

// A clock that moves only when told to; for tests.
class ManualClock final : public IClock {
public:
    explicit ManualClock(uint64_t startMs = 0) : m_Now(startMs) {}
    uint64_t NowMs() const override { return m_Now.load(); }
    void Advance(uint64_t ms) { m_Now += ms; }
    void Set(uint64_t ms) { m_Now = ms; }

private:
    std::atomic<uint64_t> m_Now;
};

}  // namespace jvo
