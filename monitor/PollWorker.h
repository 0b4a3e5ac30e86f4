#pragma once
// PollWorker: the monitor's poll worker thread. It waits in its mailbox for PollCmdStart, reads
// the three event logs, then polls without pause: the 118 CTs, the unit clock, each panel's
// breakers, subfeeds, panel readings and energy, and the new events of the three logs. Readings go
// to the ReadingsStore, events to the EventLogStores, and a notification for each goes to the
// NotifyQueue; ReadingFreshness says how old the readings are.
//
// The readings of a cycle are asked in runs: one request at a time on the serial line, a pipelined
// run of the link's depth through a proxy server (UnitLink::PipelineDepth). Poll points come
// before every run and every attempt of GetEventLogStatus, and before every GetEvent:
// PollCmdStop ends the worker (reply 0), any other command is answered 1. Those requests are
// repeated until they succeed; event reads and the clock are tried once. Two things keep a failing
// link from becoming a busy loop or a silent stall:
// - after 3 failed attempts in a row the worker pauses between attempts (back to full speed on
//   the first reply);
// - a transport that is lost (device hung up, proxy connection ended) is reopened, first after
//   1 s and then backing off to every 5 s (LinkRecovery: only onto its own device), and the cycle
//   goes on where it was; a unit that gives no reply for 5 s on a healthy transport is reported
//   and retried as before. A unit that answers with a refusal is answering: it is never reported
//   as not answering.
// Each trouble state is notified once when it begins and once when it ends. A command that arrives
// during a pause or a reopen wait ends the wait and is answered at the next poll point.
//
// Event logs never hold up the readings: each cycle reads at most kEventsPerCycle new events per
// log. The copy of a log is resynchronised with the unit after a reopen, when a unit reported as
// not answering answers again, when the unit reports more new events than it holds (a restart
// whose newest index is lower, or a log that ran on past what it keeps), and when the unit refuses
// an event: the log's state is read again, the copy goes on after its newest event if the unit
// still holds that same event, and otherwise the window of events the unit holds is read, oldest
// first (the copy keeps what it has). A refused event ends the log's reading for that cycle, so
// indexes are never stepped through one refusal at a time. With a minimum cycle time the worker
// rests between cycles; commands are answered during the rest.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "base/Clock.h"
#include "config/UnitConfig.h"
#include "link/Commands.h"
#include "link/LinkRecovery.h"
#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "monitor/EventLogStore.h"
#include "monitor/Notify.h"
#include "monitor/PolledIPC.h"
#include "monitor/ReadingFreshness.h"
#include "monitor/ReadingsStore.h"

namespace jvo::monitor {

struct PollTimings {
    int failuresBeforePause = 3;
    int32_t pauseMs = 100;           // between attempts once failures run in a row
    int32_t reopenFirstMs = 1000;    // first reopen of a lost transport
    int32_t reopenMaxMs = 5000;      // the back-off ends here
    uint64_t notAnsweringMs = 5000;  // no reply for this long on a healthy transport
    int32_t replyTimeoutMs = kDefaultReplyTimeoutMs;  // the worker's own client's
    // A cycle starts no sooner than this after the one before began (on the worker's clock);
    // 0: at once. Keeps a fast unit (a proxy on a fast network) from being polled flat out.
    int32_t minCycleMs = 0;
};

// The monitor polls without end; jvoctl runs a bounded worker.
struct PollLimits {
    int cycles = -1;           // full cycles after the initial event logs; -1 without end
    int giveUpAfterFails = 0;  // failed attempts in a row that end the worker; 0 never
};

enum class PollEnd {
    RUNNING,   // not ended yet
    STOPPED,   // by PollCmdStop
    FINISHED,  // the cycles of its limits are done
    GAVE_UP,   // too many failed attempts in a row
};

using EventLogStores = std::array<EventLogStore, 3>;

// New events read per log and cycle at most; the rest follow in the next cycles.
constexpr int kEventsPerCycle = 32;

class PollWorker {
public:
    // The configuration is read only after PollCmdStart was taken, so it may be filled by the
    // connect sequence after construction. `clock` measures the not-answering time.
    PollWorker(CPolledIPC& ipc, UnitLink& link, const UnitConfig& config, ReadingsStore& readings,
               EventLogStores& logs, NotifyQueue& notify,
               const IClock& clock = SystemClock::Instance(), PollTimings timings = {},
               PollLimits limits = {});
    // Ends the thread: posts PollCmdStop if it still runs, then joins.
    ~PollWorker();
    PollWorker(const PollWorker&) = delete;
    PollWorker& operator=(const PollWorker&) = delete;

    // Starts the thread; it waits in the mailbox for PollCmdStart (or PollCmdStop).
    void Launch();
    // Posts PollCmdStop (when the thread still runs) and joins it. Safe to call twice.
    void Stop();
    bool Running() const { return m_Running.load(); }
    // Waits for the thread to end by itself (bounded runs) and joins it.
    PollEnd Join();
    PollEnd End() const { return m_End.load(); }

    // For status lines and tests.
    uint64_t Cycles() const { return m_Cycles.load(); }
    bool TransportLost() const { return m_Lost.load(); }
    bool NotAnswering() const { return m_Silent.load(); }
    // Requests answered and requests failed since the start (any thread).
    uint64_t Answers() const { return m_Answers.load(); }
    uint64_t Failures() const { return m_Failures.load(); }
    // How old the readings are (any thread).
    const ReadingFreshness& Freshness() const { return m_Freshness; }
    // Called on the worker thread before each request with its command code (tests).
    void SetRequestHook(std::function<void(uint8_t)> hook) { m_Hook = std::move(hook); }

private:
    void Run();
    // A poll point: false when a stop was taken (and answered).
    bool PollPoint();
    // Repeats `request` with a poll point before each attempt until it succeeds; false on stop
    // (or when the worker gave up).
    template <class Fn>
    bool Repeat(uint8_t command, Fn&& request);
    // Asks the readings of m_Plan in runs of the link's pipeline depth, with a poll point before
    // each run, and keeps each that came. One that failed is asked again (with those after it)
    // after Failed(), as Repeat does; the clock only as Once does (skipped this cycle unless the
    // transport was reopened). False on stop (or when the worker gave up).
    bool AskPlan();
    // Stores one reading and tells of it.
    void Keep(const ReadingAsk& ask, const ReadingGot& got);
    // One attempt, repeated only when a lost transport was reopened in between (the request never
    // reached the unit). True when it succeeded.
    template <class Fn>
    bool Once(uint8_t command, Fn&& request);
    void Succeeded();
    // The unit answered (accepted or refused): it is not silent.
    void Answered();
    // After a failed attempt: the trouble states, the pause, the reopen. True when the transport
    // was reopened during this call (never once the worker gave up).
    bool Failed();
    // The last failed request was answered with a refusal (not a time-out or a lost transport).
    bool Refused() const;
    bool Reopen();
    // Waits up to `ms` for a command, keeping it for the next poll point; true when one came.
    bool PauseFor(int32_t ms);
    // Rests until `dueMs` on the clock, answering commands meanwhile; false when a stop was taken.
    bool RestUntil(uint64_t dueMs);

    bool InitialLogs();
    bool Cycle();
    bool ReadNewEvents(uint8_t log);
    enum class Sync { DONE, LATER, STOP };
    // Sets where the copy of `log` goes on, from the unit's state; LATER when the unit did not
    // give the event that tells (asked again next cycle), STOP on a stop.
    Sync Resync(uint8_t log, uint16_t count, uint16_t newest);

    CPolledIPC& m_Ipc;
    UnitLink& m_Link;
    const UnitConfig& m_Config;
    ReadingsStore& m_Readings;
    EventLogStores& m_Logs;
    NotifyQueue& m_Notify;
    const IClock& m_Clock;
    const PollTimings m_Timings;
    const PollLimits m_Limits;
    std::function<void(uint8_t)> m_Hook;

    std::thread m_Thread;
    std::atomic<bool> m_Running{false};
    std::atomic<uint64_t> m_Cycles{0};
    std::atomic<bool> m_Lost{false};
    std::atomic<bool> m_Silent{false};
    std::atomic<uint64_t> m_Answers{0};
    std::atomic<uint64_t> m_Failures{0};
    std::atomic<PollEnd> m_End{PollEnd::RUNNING};
    ReadingFreshness m_Freshness;
    LinkRecovery m_Recovery;  // the way back from a lost transport, on the worker's timings

    // Worker thread only.
    UnitClient* m_Client = nullptr;
    bool m_HavePending = false;  // a command taken during a wait, for the next poll point
    int m_PendingCmd = 0;
    int m_FailsInRow = 0;
    bool m_GaveUp = false;
    uint64_t m_LastReplyMs = 0;
    std::vector<ReadingAsk> m_Plan;  // a cycle's readings, in the order they are asked
    std::vector<ReadingGot> m_Got;   // what a run of them brought
    std::array<bool, 3> m_Resync{};  // per log: resynchronise at its next event step
    std::array<int, 3> m_LoggedResume{-1, -1, -1};  // per log: the resume point last logged
};

}  // namespace jvo::monitor
