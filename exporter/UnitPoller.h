#pragma once
// UnitPoller: one unit of the exporter, polled by a thread of its own so that a unit that is slow,
// silent or gone never holds up another unit or a scrape.
//
// The thread connects the way the monitor does (open the route, GetStatus probes on a serial
// route, schema check, configuration load, version), then runs the monitor's poll worker on it.
// A connect that fails is tried again after 1 s, then after intervals doubling up to 30 s. When
// the worker reports trouble (the transport was lost, or the unit stopped answering), the
// session is ended and the unit connected afresh, configuration included, with the same back-off:
// a unit that comes back may come back with another configuration. A lost route is brought back
// by LinkRecovery on those timings, only onto its own device.
//
// What the scrape sees (View) is taken under short locks and never waits on the unit. Readings
// come only from the current session, only after its first full poll cycle and only while the
// unit is up; a unit that is down shows none. With a minimum cycle time the worker rests between
// cycles, and the up window is longer by that time.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "base/Clock.h"
#include "base/SyncEvent.h"
#include "exporter/ExporterOptions.h"
#include "monitor/ConnectSequence.h"
#include "monitor/PollWorker.h"
#include "monitor/ReadingsStore.h"

namespace jvo::exporter {

struct PollerTimings {
    uint64_t upWindowMs = 10000;     // up while an answer came within this time
    int32_t retryFirstMs = 1000;     // first wait after a failed connect or a lost session
    int32_t retryMaxMs = 30000;      // the back-off ends here
    uint64_t notAnsweringMs = 3000;  // the worker's not-answering time on a healthy transport
    int32_t watchMs = 500;           // how often the thread looks at the worker
    int32_t replyTimeoutMs = 250;    // each request's reply time-out
    int32_t minCycleMs = 0;          // a poll cycle starts no sooner than this after the last
};

// Upper bounds of the poll cycle histogram, in seconds.
inline const std::vector<double>& CycleBuckets() {
    static const std::vector<double> b{0.1, 0.25, 0.5, 1, 2, 5, 10, 30, 60};
    return b;
}

struct CycleStats {
    std::vector<uint64_t> m_Counts;  // per bucket, not cumulative; the last is above every bound
    uint64_t m_Count = 0;
    double m_Sum = 0;
};

// What a view was taken from: two views of a poller with equal known stamps are equal.
struct ViewStamp {
    bool m_Known = false;    // false: a stamp that no view has
    uint64_t m_Session = 0;  // the session's number (0: none runs)
    uint64_t m_Cycles = 0;   // full poll cycles of the session
    uint64_t m_Errors = 0;
    uint64_t m_CycleCount = 0;  // cycles in the histogram
    bool m_Up = false;
    bool operator==(const ViewStamp&) const = default;
};

// What a scrape needs of one unit.
struct UnitView {
    std::string m_Name;
    ViewStamp m_Stamp;
    bool m_Same = false;  // the unit is as the stamp asked about says: nothing else is filled in
    bool m_Up = false;
    bool m_HaveReadings = false;  // up, and a full poll cycle of this session is stored
    UnitConfig m_Config;          // of the current session (names cleaned); valid with readings
    ReadingsSnapshot m_Readings;  // valid with readings
    int m_FirmwareBuild = -1;     // -1 when the version was not read
    int m_Schema = 0;
    uint64_t m_Errors = 0;  // failed requests and failed connects since the start
    CycleStats m_Cycles;
};

class UnitPoller {
public:
    UnitPoller(UnitEntry entry, PollerTimings timings = {},
               const IClock& clock = SystemClock::Instance());
    // Stop().
    ~UnitPoller();
    UnitPoller(const UnitPoller&) = delete;
    UnitPoller& operator=(const UnitPoller&) = delete;

    void Start();
    // Ends the thread: breaks a transaction in progress, stops the worker, closes the link.
    void Stop();

    const UnitEntry& Entry() const { return m_Entry; }
    // The readings in a view are the ones stored when the first view after a full poll cycle
    // was taken: a view changes at most once a cycle (and with the unit's state and errors).
    // When the view would be the one of `known`, only the name and the stamp are filled in.
    UnitView View(const ViewStamp& known = {}) const;
    // Full poll cycles of the current session (0 while none runs).
    uint64_t Cycles() const;

private:
    struct Session;

    void Run();
    // Opens the unit's route; false (logged) when it cannot be opened.
    bool OpenRoute();
    // Connects a session on the open route the way the monitor does.
    bool Connect(Session& s);
    // Runs the worker until it reports trouble or the poller stops.
    void Watch(Session& s);
    void EndSession();
    bool Up(const Session& s) const;
    // Waits up to `ms` unless stopped; true when stopped.
    bool Sleep(int32_t ms);
    void OnRequest(Session& s, uint8_t command);

    const UnitEntry m_Entry;
    const PollerTimings m_Timings;
    const IClock& m_Clock;
    UnitLink m_Link;
    SyncEvent m_Stop{SyncEvent::Reset::Manual};
    std::thread m_Thread;

    // The session pointer and the statistics below. Views copy under it; nothing waits while
    // holding it.
    mutable std::mutex m_Lock;
    Session* m_Session = nullptr;  // the running session, owned by Run()
    uint64_t m_PastErrors = 0;     // of ended sessions and failed connects
    uint64_t m_Sessions = 0;       // sessions started
    CycleStats m_Stats;
};

}  // namespace jvo::exporter
