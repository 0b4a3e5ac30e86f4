#include "link/LinkRecovery.h"

#include <algorithm>

#include "link/AppLog.h"

namespace jvo {

LinkRecovery::LinkRecovery(UnitLink& link, std::string who, RecoveryPolicy policy,
                           const IClock& clock)
    : m_Link(link),
      m_Who(std::move(who)),
      m_Policy(policy),
      m_Clock(clock),
      m_DelayMs(policy.firstDelayMs) {}

bool LinkRecovery::Lost() {
    if (!m_Link.TransportLost()) return false;
    if (!m_InLoss.load()) {
        m_LostSinceMs = m_Clock.NowMs();
        m_InLoss = true;
        m_DelayMs = m_Policy.firstDelayMs;
        JVO_LOG1("%s: link lost (%s); opening it again", m_Who, m_Link.TransportLostReason());
    }
    return true;
}

void LinkRecovery::Returned() {
    if (m_InLoss.exchange(false)) {
        const uint64_t away = m_Clock.NowMs() - m_LostSinceMs.load();
        JVO_LOG1("%s: link open again after %llu.%01llu s", m_Who,
                 static_cast<unsigned long long>(away / 1000),
                 static_cast<unsigned long long>(away % 1000 / 100));
    }
    m_DelayMs = m_Policy.firstDelayMs;
}

LinkRecovery::Step LinkRecovery::Attempt() {
    if (!m_Link.IsConnected()) return Step::Closed;
    if (m_Link.Reopen()) {
        Returned();
        return Step::Reopened;
    }
    if (!m_Link.IsConnected()) return Step::Closed;
    m_DelayMs = std::min(m_DelayMs * 2, m_Policy.maxDelayMs);
    return Step::StillLost;
}

LinkRecovery::Step LinkRecovery::TryOnce(const Wait& wait) {
    if (!m_Link.IsConnected()) return Step::Closed;
    if (!Lost()) {
        if (m_InLoss.load()) Returned();
        return Step::Healthy;
    }
    const bool interrupted = wait ? wait(m_DelayMs) : m_Wake.Wait(m_DelayMs);
    if (interrupted) return Step::Interrupted;
    return Attempt();
}

LinkRecovery::Step LinkRecovery::Recover(const Wait& wait, int attempts) {
    for (int tried = 0;; ++tried) {
        if (attempts >= 0 && tried >= attempts) return Step::StillLost;
        const Step step = TryOnce(wait);
        if (step != Step::StillLost) return step;
    }
}

bool LinkRecovery::ReopenNow() {
    if (!m_Link.IsConnected()) return false;
    if (!Lost()) return true;
    return Attempt() == Step::Reopened;
}

}  // namespace jvo
