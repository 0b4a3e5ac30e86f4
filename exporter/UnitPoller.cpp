#include "exporter/UnitPoller.h"

#include <algorithm>

#include "link/AppLog.h"
#include "link/Commands.h"
#include "link/LinkRecovery.h"
#include "link/UnitClient.h"
#include "monitor/Notify.h"
#include "monitor/PolledIPC.h"

namespace jvo::exporter {

namespace {
constexpr int kSerialBaud = 115200;
constexpr int kStatusProbes = 3;
constexpr int32_t kProxyConnectTimeoutMs = 5000;
}  // namespace

struct UnitPoller::Session {
    monitor::UnitSetup setup;
    ReadingsStore readings;
    monitor::EventLogStores logs;
    monitor::CPolledIPC mailbox;
    monitor::NotifyQueue notify;
    std::unique_ptr<monitor::PollWorker> worker;
    std::atomic<uint64_t> lastAnswerMs{0};
    uint64_t seenAnswers = 0;  // poll thread only
    // The cycle clock, on the worker thread only.
    bool marked = false;
    uint64_t markMs = 0;
    uint64_t hookCycles = 0;
    // The readings views show, taken after a full cycle, and of which cycle (under m_Lock).
    uint64_t number = 0;
    uint64_t shownCycles = 0;
    ReadingsSnapshot shown;
};

UnitPoller::UnitPoller(UnitEntry entry, PollerTimings timings, const IClock& clock)
    : m_Entry(std::move(entry)), m_Timings(timings), m_Clock(clock) {
    m_Stats.m_Counts.assign(CycleBuckets().size() + 1, 0);
}

UnitPoller::~UnitPoller() {
    Stop();
}

void UnitPoller::Start() {
    if (m_Thread.joinable()) return;
    m_Stop.Clear();
    m_Thread = std::thread([this] { Run(); });
}

void UnitPoller::Stop() {
    if (!m_Thread.joinable()) return;
    m_Stop.Set();
    m_Link.Disconnect();  // breaks a transaction of the connect in progress
    m_Thread.join();
}

bool UnitPoller::Sleep(int32_t ms) {
    return m_Stop.Wait(ms);
}

void UnitPoller::Run() {
    // The route is opened once; a lost one is brought back only onto its own device, and each
    // session after that starts afresh on it (a unit that comes back may come back with another
    // configuration).
    LinkRecovery recovery(m_Link, "UnitPoller " + m_Entry.m_Name,
                          {m_Timings.retryFirstMs, m_Timings.retryMaxMs}, m_Clock);
    const LinkRecovery::Wait wait = [this](int32_t ms) { return Sleep(ms); };
    int32_t delay = m_Timings.retryFirstMs;
    while (!m_Stop.IsSet()) {
        if (m_Link.IsConnected() && recovery.Lost()) {
            const LinkRecovery::Step step = recovery.Recover(wait);
            if (step != LinkRecovery::Step::Reopened) continue;  // stopped, or closed by Stop()
        }
        auto s = std::make_unique<Session>();
        if ((m_Link.IsConnected() || OpenRoute()) && Connect(*s)) {
            delay = m_Timings.retryFirstMs;
            Watch(*s);
            if (m_Stop.IsSet()) break;
            if (recovery.Lost()) continue;  // the recovery has its own delays
        } else {
            std::lock_guard<std::mutex> lock(m_Lock);
            ++m_PastErrors;
        }
        if (Sleep(delay)) break;
        delay = std::min(delay * 2, m_Timings.retryMaxMs);
    }
}

bool UnitPoller::OpenRoute() {
    bool opened = false;
    LinkStatus status;
    switch (m_Entry.m_Kind) {
        case UnitEntry::Kind::Com:
            opened = m_Link.OpenSerial(m_Entry.m_Com, kSerialBaud, &status);
            break;
        case UnitEntry::Kind::Device:
            opened = m_Link.OpenSerialDevice(m_Entry.m_Device, kSerialBaud, &status);
            break;
        case UnitEntry::Kind::Proxy: {
            ProxyOptions options;
            options.port = m_Entry.m_ProxyPort;
            options.connectTimeoutMs = kProxyConnectTimeoutMs;
            options.tls = m_Entry.m_Tls;
            opened = m_Link.OpenProxy((m_Entry.m_ProxyTls ? kTlsScheme : "") + m_Entry.m_ProxyHost,
                                      options, &status);
            break;
        }
    }
    if (!opened)
        JVO_LOG1("UnitPoller::Connect() %s: cannot open %s: %s", m_Entry.m_Name, m_Entry.Describe(),
                 DescribeStatus(status));
    return opened;
}

bool UnitPoller::Connect(Session& s) {
    const std::string& name = m_Entry.m_Name;
    bool ok = !m_Stop.IsSet();
    {
        UnitClient client(&m_Link, 0);
        client.SetReplyTimeoutMs(m_Timings.replyTimeoutMs);
        if (ok && m_Entry.m_Kind != UnitEntry::Kind::Proxy) {
            uint16_t state = 0;
            uint32_t value = 0;
            bool answered = false;
            for (int i = 0; i < kStatusProbes && !answered && !m_Stop.IsSet(); ++i)
                answered = client.GetStatus(state, value);
            if (!answered) {
                JVO_LOG1("UnitPoller::Connect() %s: no answer on %s: %s", name, m_Entry.Describe(),
                         DescribeStatus(client.Status()));
                ok = false;
            }
        }
        if (ok) {
            const monitor::PrepareResult r =
                monitor::PrepareUnit(client, false, s.setup, [this](int32_t ms) { Sleep(ms); });
            if (r == monitor::PrepareResult::WRONG_SCHEMA) {
                JVO_LOG1("UnitPoller::Connect() %s: %s", name,
                         monitor::SchemaMessage(s.setup.m_Schema));
                ok = false;
            } else if (r == monitor::PrepareResult::LOAD_FAILED) {
                JVO_LOG1("UnitPoller::Connect() %s: Could not load configuration: %s", name,
                         DescribeStatus(client.Status()));
                ok = false;
            }
        }
    }
    if (!ok || m_Stop.IsSet()) return false;
    monitor::PollTimings timings;
    timings.notAnsweringMs = m_Timings.notAnsweringMs;
    timings.replyTimeoutMs = m_Timings.replyTimeoutMs;
    timings.minCycleMs = m_Timings.minCycleMs;
    s.worker = std::make_unique<monitor::PollWorker>(
        s.mailbox, m_Link, s.setup.m_Config, s.readings, s.logs, s.notify, m_Clock, timings);
    s.worker->SetRequestHook([this, &s](uint8_t command) { OnRequest(s, command); });
    s.lastAnswerMs = m_Clock.NowMs();
    JVO_LOG1("UnitPoller::Connect() %s: connected on %s", name, m_Entry.Describe());
    return true;
}

void UnitPoller::Watch(Session& s) {
    {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Session = &s;  // Run() owns it; cleared below before it goes
        s.number = ++m_Sessions;
    }
    s.worker->Launch();
    s.mailbox.Post(monitor::PollCmdStart, 0);
    monitor::PollWorker& w = *s.worker;
    while (!Sleep(m_Timings.watchMs)) {
        s.notify.Take();  // nobody shows them; keep the queue short
        const uint64_t answers = w.Answers();
        if (answers != s.seenAnswers) {
            s.seenAnswers = answers;
            s.lastAnswerMs = m_Clock.NowMs();
        }
        if (w.TransportLost() || w.NotAnswering() || !w.Running()) {
            JVO_LOG1("UnitPoller::Watch() %s: %s; connecting again", m_Entry.m_Name,
                     w.TransportLost() ? "the transport was lost" : "the unit does not answer");
            break;
        }
    }
    // The worker sees the stop at its next poll point, within one transaction; the link stays
    // open for the next session (a lost one is brought back by Run()).
    w.Stop();
    std::lock_guard<std::mutex> lock(m_Lock);
    m_PastErrors += w.Failures();
    m_Session = nullptr;
}

bool UnitPoller::Up(const Session& s) const {
    const monitor::PollWorker& w = *s.worker;
    return w.Answers() > 0 && !w.TransportLost() && !w.NotAnswering() &&
           m_Clock.NowMs() - s.lastAnswerMs.load() <
               m_Timings.upWindowMs + static_cast<uint64_t>(m_Timings.minCycleMs);
}

void UnitPoller::OnRequest(Session& s, uint8_t command) {
    const uint64_t cycles = s.worker->Cycles();
    const uint64_t now = m_Clock.NowMs();
    if (cycles != s.hookCycles) {
        s.hookCycles = cycles;
        if (s.marked) {
            const double seconds = static_cast<double>(now - s.markMs) / 1000.0;
            const std::vector<double>& bounds = CycleBuckets();
            const size_t bucket =
                std::lower_bound(bounds.begin(), bounds.end(), seconds) - bounds.begin();
            std::lock_guard<std::mutex> lock(m_Lock);
            ++m_Stats.m_Counts[bucket];
            ++m_Stats.m_Count;
            m_Stats.m_Sum += seconds;
        }
        s.marked = true;
        s.markMs = now;
    } else if (!s.marked && command == CMD_GET_CT_READING) {
        s.marked = true;
        s.markMs = now;
    }
}

uint64_t UnitPoller::Cycles() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Session ? m_Session->worker->Cycles() : 0;
}

UnitView UnitPoller::View(const ViewStamp& known) const {
    UnitView v;
    v.m_Name = m_Entry.m_Name;
    std::lock_guard<std::mutex> lock(m_Lock);
    Session* s = m_Session;
    ViewStamp& stamp = v.m_Stamp;
    stamp.m_Known = true;
    stamp.m_Errors = m_PastErrors + (s ? s->worker->Failures() : 0);
    stamp.m_CycleCount = m_Stats.m_Count;
    if (s) {
        stamp.m_Session = s->number;
        stamp.m_Up = Up(*s);
        stamp.m_Cycles = stamp.m_Up ? s->worker->Cycles() : 0;
    }
    if (stamp == known) {
        v.m_Same = true;
        return v;
    }
    v.m_Errors = stamp.m_Errors;
    v.m_Cycles = m_Stats;
    if (!s || !stamp.m_Up) return v;
    v.m_Up = true;
    v.m_Schema = s->setup.m_Schema;
    if (s->setup.m_VersionKnown) v.m_FirmwareBuild = s->setup.m_Version.m_FirmwareBuild;
    if (stamp.m_Cycles == 0) return v;
    if (s->shownCycles != stamp.m_Cycles) {
        s->shown = s->readings.Snapshot();
        s->shownCycles = stamp.m_Cycles;
    }
    v.m_HaveReadings = true;
    v.m_Config = s->setup.m_Config;
    v.m_Readings = s->shown;
    return v;
}

}  // namespace jvo::exporter
