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
      m_Freshness(clock),
      m_Recovery(link, "PollWorker", {timings.reopenFirstMs, timings.reopenMaxMs}, clock) {}

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
        uint64_t began = m_Clock.NowMs();
        while (m_Limits.cycles < 0 || m_Cycles.load() < static_cast<uint64_t>(m_Limits.cycles)) {
            if (m_Cycles.load() > 0 && m_Timings.minCycleMs > 0) {
                if (!RestUntil(began + static_cast<uint64_t>(m_Timings.minCycleMs))) {
                    end = PollEnd::STOPPED;
                    break;
                }
                began = m_Clock.NowMs();
            }
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

bool PollWorker::RestUntil(uint64_t dueMs) {
    // In slices, so that a clock other than the system's is looked at again.
    constexpr uint64_t kSliceMs = 200;
    uint64_t now = m_Clock.NowMs();
    if (now >= dueMs) return true;
    for (; now < dueMs; now = m_Clock.NowMs())
        if (PauseFor(static_cast<int32_t>(std::min(dueMs - now, kSliceMs))) && !PollPoint())
            return false;
    // The unit was not asked while the worker rested: its silence counts from here.
    m_LastReplyMs = now;
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

bool PollWorker::AskPlan() {
    const int count = static_cast<int>(m_Plan.size());
    m_Got.resize(static_cast<size_t>(std::min(count, UnitClient::kMaxRun)));
    for (int next = 0; next < count;) {
        if (!PollPoint()) return false;
        const int n = std::min({m_Link.PipelineDepth(), UnitClient::kMaxRun, count - next});
        const ReadingAsk* asks = &m_Plan[static_cast<size_t>(next)];
        if (m_Hook)
            for (int i = 0; i < n; ++i)
                m_Hook(ReadingCommand(asks[i].kind));
        const int got = m_Client->GetReadings(asks, n, m_Got.data());
        for (int i = 0; i < got; ++i) {
            Succeeded();
            Keep(asks[i], m_Got[static_cast<size_t>(i)]);
        }
        next += got;
        if (got == n) continue;
        const bool reopened = Failed();
        if (m_GaveUp) return false;
        // The clock is tried once: a unit that will not give it still has its readings read.
        if (asks[got].kind == ReadingKind::Clock && !reopened) ++next;
    }
    return true;
}

void PollWorker::Keep(const ReadingAsk& ask, const ReadingGot& got) {
    const int p = ask.panel;
    const int i = ask.index;
    switch (ask.kind) {
        case ReadingKind::Ct:
            m_Readings.SetCt(i, std::get<CtReading>(got));
            m_Freshness.OnReading();
            break;
        case ReadingKind::Clock: {
            const int64_t seconds = std::get<int64_t>(got);
            m_Readings.SetClock(seconds);
            m_Notify.PostText(WM_APP_CLOCK_TEXT, ClockText(seconds));
            break;
        }
        case ReadingKind::Breaker:
            m_Readings.SetBreaker(p, i, std::get<BreakerReading>(got));
            m_Freshness.OnReading();
            m_Notify.Post(WM_APP_BREAKER_READING, p, i);
            break;
        case ReadingKind::Subfeed:
            m_Readings.SetSubfeed(p, i, std::get<SubfeedReading>(got));
            m_Freshness.OnReading();
            m_Notify.Post(WM_APP_SUBFEED_READING, p, i);
            break;
        case ReadingKind::Panel:
            m_Readings.SetPanelReadings(p, std::get<PanelReadingsReply>(got));
            m_Freshness.OnReading();
            break;
        case ReadingKind::Energy:
            m_Readings.SetPanelEnergy(p, std::get<PanelEnergy>(got));
            m_Freshness.OnReading();
            m_Notify.Post(WM_APP_PANEL_READINGS, p);
            break;
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
    if (!m_Lost.exchange(true)) m_Notify.Post(WM_APP_LINK_TROUBLE, TROUBLE_TRANSPORT_LOST, 1);
    // A command that comes during a wait ends it; it is answered at the next poll point and
    // the reopening goes on after that.
    const LinkRecovery::Wait wait = [this](int32_t ms) { return PauseFor(ms); };
    for (;;) {
        switch (m_Recovery.TryOnce(wait)) {
            case LinkRecovery::Step::Healthy:
            case LinkRecovery::Step::Reopened:
                m_Lost = false;
                m_FailsInRow = 0;
                m_LastReplyMs = m_Clock.NowMs();
                m_Notify.Post(WM_APP_LINK_TROUBLE, TROUBLE_TRANSPORT_LOST, 0);
                // The unit may have restarted meanwhile: every log's copy is checked again.
                m_Resync.fill(true);
                return true;
            case LinkRecovery::Step::StillLost:
                if (m_Limits.giveUpAfterFails > 0 && ++m_FailsInRow >= m_Limits.giveUpAfterFails) {
                    m_GaveUp = true;
                    return false;
                }
                break;
            case LinkRecovery::Step::Interrupted:
            case LinkRecovery::Step::Closed:
                return false;
        }
    }
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
    // The CTs, the unit clock, then per panel its breakers, subfeeds, readings and energy.
    m_Plan.clear();
    for (int ct = 0; ct < kCtCount; ++ct)
        m_Plan.push_back({ReadingKind::Ct, 0, static_cast<uint8_t>(ct)});
    m_Plan.push_back({ReadingKind::Clock, 0, 0});
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = m_Config.m_Panels[p];
        const auto pn = static_cast<uint8_t>(p);
        for (int i = 0; i < panel.UsedBreakers(); ++i)
            m_Plan.push_back({ReadingKind::Breaker, pn, static_cast<uint8_t>(i)});
        for (int i = 0; i < panel.UsedSubfeeds(); ++i)
            m_Plan.push_back({ReadingKind::Subfeed, pn, static_cast<uint8_t>(i)});
        m_Plan.push_back({ReadingKind::Panel, pn, 0});
        m_Plan.push_back({ReadingKind::Energy, pn, 0});
    }
    if (!AskPlan()) return false;
    for (uint8_t log = 0; log < m_Logs.size(); ++log)
        if (!ReadNewEvents(log)) return false;
    return true;
}

}  // namespace jvo::monitor
