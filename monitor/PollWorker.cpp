#include "monitor/PollWorker.h"

#include <algorithm>

#include "link/AppLog.h"
#include "link/Commands.h"
#include "monitor/Formats.h"

namespace jvo::monitor {

PollWorker::PollWorker(CPolledIPC& ipc, UnitLink& link, const UnitConfig& config,
                       ReadingsStore& readings, EventLogStores& logs, NotifyQueue& notify,
                       const IClock& clock, PollTimings timings, PollLimits limits)
    : m_Ipc(ipc),
      m_Link(link),
      m_Config(config),
      m_Readings(readings),
      m_Logs(logs),
      m_Notify(notify),
      m_Clock(clock),
      m_Timings(timings),
      m_Limits(limits),
      m_Freshness(clock) {}

PollWorker::~PollWorker() {
    Stop();
}

void PollWorker::Launch() {
    if (m_Thread.joinable()) return;
    m_Running = true;
    m_Thread = std::thread([this] { Run(); });
}

void PollWorker::Stop() {
    if (!m_Thread.joinable()) return;
    // The worker answers at its next poll point; a reply that does not come in time is asked for
    // again for as long as the thread still runs.
    while (m_Running.load())
        if (m_Ipc.Post(PollCmdStop, 0, 200) == 0) break;
    m_Thread.join();
}

PollEnd PollWorker::Join() {
    if (m_Thread.joinable()) m_Thread.join();
    return m_End.load();
}

void PollWorker::Run() {
    for (;;) {
        int cmd = 0, param = 0;
        if (!m_Ipc.Wait(cmd, param)) continue;
        if (cmd == PollCmdStop) {
            m_Ipc.Reply(0);
            m_End = PollEnd::STOPPED;
            m_Running = false;
            return;
        }
        if (cmd == PollCmdStart) {
            m_Ipc.Reply(0);
            break;
        }
        m_Ipc.Reply(1);
    }
    UnitClient client(&m_Link, 0);
    client.SetReplyTimeoutMs(m_Timings.replyTimeoutMs);
    m_Client = &client;
    m_LastReplyMs = m_Clock.NowMs();
    m_Freshness.Start();
    PollEnd end = PollEnd::FINISHED;
    if (!InitialLogs()) {
        end = m_GaveUp ? PollEnd::GAVE_UP : PollEnd::STOPPED;
    } else {
        while (m_Limits.cycles < 0 || m_Cycles.load() < static_cast<uint64_t>(m_Limits.cycles)) {
            if (!Cycle()) {
                end = m_GaveUp ? PollEnd::GAVE_UP : PollEnd::STOPPED;
                break;
            }
            m_Freshness.OnCycleDone();
            ++m_Cycles;
        }
    }
    m_Client = nullptr;
    m_End = end;
    m_Running = false;
}

bool PollWorker::PollPoint() {
    int cmd = 0, param = 0;
    if (m_HavePending) {
        cmd = m_PendingCmd;
        m_HavePending = false;
    } else if (!m_Ipc.Poll(cmd, param)) {
        return true;
    }
    if (cmd == PollCmdStop) {
        m_Ipc.Reply(0);
        return false;
    }
    m_Ipc.Reply(1);
    return true;
}

bool PollWorker::PauseFor(int32_t ms) {
    if (m_HavePending) return true;
    int param = 0;
    if (!m_Ipc.Wait(m_PendingCmd, param, ms)) return false;
    m_HavePending = true;
    return true;
}

template <class Fn>
bool PollWorker::Repeat(uint8_t command, Fn&& request) {
    for (;;) {
        if (!PollPoint()) return false;
        if (m_Hook) m_Hook(command);
        if (request()) {
            Succeeded();
            return true;
        }
        Failed();
        if (m_GaveUp) return false;
    }
}

template <class Fn>
bool PollWorker::Once(uint8_t command, Fn&& request) {
    for (;;) {
        if (m_Hook) m_Hook(command);
        if (request()) {
            Succeeded();
            return true;
        }
        if (!Failed()) return false;
    }
}

void PollWorker::Succeeded() {
    ++m_Answers;
    m_FailsInRow = 0;
    Answered();
}

void PollWorker::Answered() {
    m_LastReplyMs = m_Clock.NowMs();
    if (m_Silent.load()) {
        m_Silent = false;
        JVO_LOG1("PollWorker::Succeeded() The unit answers again");
        m_Notify.Post(WM_APP_LINK_TROUBLE, TROUBLE_NOT_ANSWERING, 0);
        // A unit silent that long may have restarted behind a proxy that kept the connection:
        // its logs may be new ones that happen to end at the same index.
        m_Resync.fill(true);
    }
}

bool PollWorker::Failed() {
    ++m_Failures;
    ++m_FailsInRow;
    if (m_Limits.giveUpAfterFails > 0 && m_FailsInRow >= m_Limits.giveUpAfterFails) {
        if (!m_GaveUp) JVO_LOG1("PollWorker::Failed() %d failed requests in a row", m_FailsInRow);
        m_GaveUp = true;
        return false;
    }
    if (m_Client->Status().Answered()) {
        Answered();  // a refusal: the unit is there, it only would not do this
    } else if (m_Link.TransportLost()) {
        return Reopen();
    } else if (!m_Silent.load() && m_Clock.NowMs() - m_LastReplyMs >= m_Timings.notAnsweringMs) {
        m_Silent = true;
        JVO_LOG1("PollWorker::Failed() The unit does not answer");
        m_Notify.Post(WM_APP_LINK_TROUBLE, TROUBLE_NOT_ANSWERING, 1);
    }
    if (m_FailsInRow >= m_Timings.failuresBeforePause) PauseFor(m_Timings.pauseMs);
    return false;
}

bool PollWorker::Reopen() {
    if (!m_Lost.load()) {
        m_Lost = true;
        m_ReopenDelayMs = m_Timings.reopenFirstMs;
        JVO_LOG1("PollWorker::Reopen() Transport lost: %s", m_Link.TransportLostReason());
        m_Notify.Post(WM_APP_LINK_TROUBLE, TROUBLE_TRANSPORT_LOST, 1);
    }
    // A command that comes during the wait ends it; it is answered at the next poll point and
    // the reopening goes on after that.
    while (!PauseFor(m_ReopenDelayMs)) {
        if (m_Link.Reopen()) {
            m_Lost = false;
            m_FailsInRow = 0;
            m_LastReplyMs = m_Clock.NowMs();
            JVO_LOG1("PollWorker::Reopen() Transport reopened");
            m_Notify.Post(WM_APP_LINK_TROUBLE, TROUBLE_TRANSPORT_LOST, 0);
            // The unit may have restarted meanwhile: every log's copy is checked again.
            m_Resync.fill(true);
            return true;
        }
        m_ReopenDelayMs = std::min(m_ReopenDelayMs * 2, m_Timings.reopenMaxMs);
        if (m_Limits.giveUpAfterFails > 0 && ++m_FailsInRow >= m_Limits.giveUpAfterFails) {
            m_GaveUp = true;
            return false;
        }
    }
    return false;
}

bool PollWorker::Refused() const {
    return m_Client->Status().result == LinkResult::Refused;
}

bool PollWorker::InitialLogs() {
    for (uint8_t log = 0; log < m_Logs.size(); ++log) {
        uint16_t count = 0, newest = 0;
        if (!Repeat(CMD_GET_EVENT_LOG_STATUS,
                    [&] { return m_Client->GetEventLogStatus(log, count, newest); }))
            return false;
        EventLogStore& store = m_Logs[log];
        store.Start(count, newest);
        for (const uint16_t index : EventLogStore::InitialIndexes(count, newest)) {
            if (!PollPoint()) return false;
            EventRecord e;
            if (Once(CMD_GET_EVENT, [&] { return m_Client->GetEvent(log, index, e); })) {
                store.AppendInitial(e);
            } else if (m_GaveUp) {
                return false;
            } else if (Refused()) {
                // The unit does not give what its state promised: the cycles resynchronise.
                m_Resync[log] = true;
                break;
            }
        }
        m_Notify.Post(WM_APP_EVENTLOG_CHANGED, log);
    }
    return true;
}

PollWorker::Sync PollWorker::Resync(uint8_t log, uint16_t count, uint16_t newest) {
    EventLogStore& store = m_Logs[log];
    // Unless the copy follows on, the whole window the unit holds is read, oldest first.
    auto from = static_cast<uint16_t>(newest - count);
    const std::optional<EventRecord> last = store.Newest();
    if (last && EventLogStore::Holds(last->m_Index, count, newest)) {
        // The unit holds the index of the newest event copied: the same event there means the
        // log goes on from it; another one means another log (a unit restarted afresh).
        if (!PollPoint()) return Sync::STOP;
        EventRecord e;
        if (!Once(CMD_GET_EVENT, [&] { return m_Client->GetEvent(log, last->m_Index, e); }))
            return m_GaveUp ? Sync::STOP : Sync::LATER;  // not known yet: the next cycle asks
        if (e == *last) from = last->m_Index;
    }
    // Logged once for each new place (a unit that keeps refusing resynchronises every cycle).
    if (from != store.LastIndex() && from != m_LoggedResume[log]) {
        JVO_LOG1("PollWorker::Resync() Log %d: count %u, newest %u; reading on after %u", log,
                 count, newest, from);
        m_LoggedResume[log] = from;
    }
    store.Resume(from);
    m_Resync[log] = false;
    return Sync::DONE;
}

bool PollWorker::ReadNewEvents(uint8_t log) {
    uint16_t count = 0, newest = 0;
    if (!Repeat(CMD_GET_EVENT_LOG_STATUS,
                [&] { return m_Client->GetEventLogStatus(log, count, newest); }))
        return false;
    EventLogStore& store = m_Logs[log];
    if (m_Resync[log] || store.OutOfStep(count, newest)) {
        const Sync sync = Resync(log, count, newest);
        if (sync == Sync::STOP) return false;
        if (sync == Sync::LATER) return true;
    }
    bool changed = false;
    for (int n = 0; n < kEventsPerCycle && store.LastIndex() != newest; ++n) {
        if (!PollPoint()) return false;
        const uint16_t index = store.AdvanceIndex();
        EventRecord e;
        if (Once(CMD_GET_EVENT, [&] { return m_Client->GetEvent(log, index, e); })) {
            store.AppendPolled(e);  // id 1000 empties the list first
            changed = true;
        } else if (m_GaveUp) {
            return false;
        } else if (Refused()) {
            // The unit no longer has what its state promised: where its log stands is asked
            // again at the next cycle rather than index by index now.
            m_Resync[log] = true;
            break;
        }  // no reply: skipped, the index has moved on
    }
    if (changed) m_Notify.Post(WM_APP_EVENTLOG_CHANGED, log);
    return true;
}

bool PollWorker::Cycle() {
    for (int ct = 0; ct < kCtCount; ++ct) {
        CtReading r;
        const auto n = static_cast<uint8_t>(ct);
        if (!Repeat(CMD_GET_CT_READING, [&] { return m_Client->GetCtReading(n, r); })) return false;
        m_Readings.SetCt(ct, r);
        m_Freshness.OnReading();
    }
    int64_t seconds = 0;
    if (Once(CMD_GET_CLOCK, [&] { return m_Client->GetClock(seconds); })) {
        m_Readings.SetClock(seconds);
        m_Notify.PostText(WM_APP_CLOCK_TEXT, ClockText(seconds));
    } else if (m_GaveUp) {
        return false;
    }
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = m_Config.m_Panels[p];
        const auto pn = static_cast<uint8_t>(p);
        for (int i = 0; i < panel.UsedBreakers(); ++i) {
            BreakerReading r;
            const auto bi = static_cast<uint8_t>(i);
            if (!Repeat(CMD_GET_BREAKER_READING,
                        [&] { return m_Client->GetBreakerReading(pn, bi, r); }))
                return false;
            m_Readings.SetBreaker(p, i, r);
            m_Freshness.OnReading();
            m_Notify.Post(WM_APP_BREAKER_READING, p, i);
        }
        for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
            SubfeedReading r;
            const auto si = static_cast<uint8_t>(i);
            if (!Repeat(CMD_GET_SUBFEED_READING,
                        [&] { return m_Client->GetSubfeedReading(pn, si, r); }))
                return false;
            m_Readings.SetSubfeed(p, i, r);
            m_Freshness.OnReading();
            m_Notify.Post(WM_APP_SUBFEED_READING, p, i);
        }
        PanelReadingsReply readings;
        if (!Repeat(CMD_GET_PANEL_READINGS,
                    [&] { return m_Client->GetPanelReadings(pn, readings); }))
            return false;
        m_Readings.SetPanelReadings(p, readings);
        m_Freshness.OnReading();
        PanelEnergy energy;
        if (!Repeat(CMD_GET_PANEL_ENERGY, [&] { return m_Client->GetPanelEnergy(pn, energy); }))
            return false;
        m_Readings.SetPanelEnergy(p, energy);
        m_Freshness.OnReading();
        m_Notify.Post(WM_APP_PANEL_READINGS, p);
    }
    for (uint8_t log = 0; log < m_Logs.size(); ++log)
        if (!ReadNewEvents(log)) return false;
    return true;
}

}  // namespace jvo::monitor
