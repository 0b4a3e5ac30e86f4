#pragma once
// LinkRecovery: the one way back from a lost link. A serial device that hung up or a proxy
// connection that ended leaves the UnitLink connected but lost (UnitLink::TransportLost); this
// object brings the same route back, on the caller's own timings:
// - the first reopen comes firstDelayMs after the loss is seen, and each failed one doubles the
//   delay up to maxDelayMs;
// - the route is reopened only onto its own device (UnitLink::Reopen: a pin, the same device or
//   the same serial/by-id name, and never a pseudo-terminal that went away, SameComDevice);
// - every wait goes through the caller's wait function, so that a stop request, a command or a
//   test's clock ends it; without one, the recovery's own event does (Interrupt());
// - each loss and each return is logged once, with the reason and how long the link was away.
//
// One object per link and caller thread; Interrupt() may be called from any thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "base/Clock.h"
#include "base/SyncEvent.h"
#include "link/UnitLink.h"

namespace jvo {

struct RecoveryPolicy {
    int32_t firstDelayMs = 1000;  // the first reopen after a loss
    int32_t maxDelayMs = 5000;    // the delay doubles up to this
};

class LinkRecovery {
public:
    // Waits up to `ms`; true when the wait was interrupted (the caller has something to do first).
    using Wait = std::function<bool(int32_t ms)>;

    enum class Step {
        Healthy,      // the link was not lost
        Reopened,     // it was lost and is open again
        StillLost,    // the attempt failed; the next one waits longer
        Interrupted,  // the wait was interrupted before an attempt
        Closed,       // the link is not connected: there is nothing to bring back
    };

    // `who` begins the log lines ("PollWorker", "jvo-proxy").
    LinkRecovery(UnitLink& link, std::string who, RecoveryPolicy policy = {},
                 const IClock& clock = SystemClock::Instance());

    // Looks for a loss without waiting; the first look that finds one logs it. True when lost.
    bool Lost();
    // When lost: waits the current delay, then tries once to reopen.
    Step TryOnce(const Wait& wait = {});
    // Tries until the link is back, a wait is interrupted, the link is closed, or `attempts`
    // attempts failed (negative: no limit).
    Step Recover(const Wait& wait = {}, int attempts = -1);
    // Before a user's command: one reopen at once, without waiting, when the link is lost. True
    // when the link is usable afterwards.
    bool ReopenNow();
    // Ends a wait on the recovery's own event.
    void Interrupt() { m_Wake.Set(); }

    // True from the loss being seen until the link is back.
    bool InLoss() const { return m_InLoss.load(); }
    // When the loss was seen (the clock's milliseconds); valid while InLoss().
    uint64_t LostSinceMs() const { return m_LostSinceMs.load(); }
    int32_t NextDelayMs() const { return m_DelayMs; }
    const RecoveryPolicy& Policy() const { return m_Policy; }

private:
    Step Attempt();
    void Returned();

    UnitLink& m_Link;
    const std::string m_Who;
    const RecoveryPolicy m_Policy;
    const IClock& m_Clock;
    SyncEvent m_Wake{SyncEvent::Reset::Auto};
    std::atomic<bool> m_InLoss{false};
    std::atomic<uint64_t> m_LostSinceMs{0};
    int32_t m_DelayMs;
};

}  // namespace jvo
