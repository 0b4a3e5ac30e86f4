// The poll worker against the simulated unit on a pseudo-terminal: what it reads and stores, its
// poll points, the event index wrap, and the trouble states of a unit that stops answering or a
// port that goes away.
#include <stdlib.h>

#include <atomic>

#include "link/Commands.h"
#include "monitor/PollWorker.h"
#include "proxy/ProxyServer.h"
#include "sim/SimProxy.h"
#include "tests/config/TestConfigs.h"
#include "tests/monitor/PollTestUtil.h"
#include "tests/monitor/TagCheck.h"
#include "tests/sim/SimClientFixture.h"
#include "tests/sim/SimProxyServer.h"

namespace jvo::test {
namespace {

using monitor::CPolledIPC;
using monitor::PollCmdStart;
using monitor::PollCmdStop;
using monitor::PollEnd;
using monitor::PollTimings;
using monitor::PollWorker;

PollTimings QuickReopen() {
    PollTimings t;
    t.reopenFirstMs = 50;
    t.reopenMaxMs = 200;
    return t;
}

sim::SimOptions WrapOptions() {
    sim::SimOptions o = SeededOptions();
    o.firstEventIndex = 65530;
    return o;
}

// The worker on the fixture's link, with the configuration the unit holds.
class PollWorkerTest : public SimClientTest {
protected:
    explicit PollWorkerTest(sim::SimOptions options = SeededOptions())
        : SimClientTest(sim::MakeDemoConfig(), options) {}

    void StartWorker(PollTimings timings = {}) {
        config = unit.Current();
        worker = std::make_unique<PollWorker>(ipc, link, config, readings, logs, notify,
                                              workerClock, timings);
        if (hook) worker->SetRequestHook(hook);
        worker->Launch();
        ASSERT_EQ(ipc.Post(PollCmdStart, 0), 0);
    }
    void TearDown() override {
        if (worker) worker->Stop();
    }
    bool CyclesPass(uint64_t n) {
        const uint64_t target = worker->Cycles() + n;
        return WaitUntil([&] { return worker->Cycles() >= target; });
    }

    ManualClock workerClock{0};
    UnitConfig config;
    ReadingsStore readings;
    monitor::EventLogStores logs;
    monitor::NotifyQueue notify;
    NoteCollector notes{notify};
    CPolledIPC ipc;
    std::function<void(uint8_t)> hook;
    std::unique_ptr<PollWorker> worker;
};

TEST_F(PollWorkerTest, ReadsLogsThenCyclesThroughEveryReadingAndNotifies) {
    notify.SetEventLogWindowOpen(true);
    std::array<int, 256> requests{};
    std::mutex lock;
    hook = [&](uint8_t c) {
        std::lock_guard<std::mutex> g(lock);
        ++requests[c];
    };
    Wait(30);  // some energy on the meters
    StartWorker();
    ASSERT_TRUE(CyclesPass(2));
    ASSERT_EQ(worker->End(), PollEnd::RUNNING);
    worker->Stop();
    EXPECT_EQ(worker->End(), PollEnd::STOPPED);
    const uint64_t cycles = worker->Cycles();

    // Each cycle asks for every CT, the clock, each used breaker and subfeed, both panels and
    // the three log states (the initial read adds three more states).
    const UnitConfig c = unit.Current();
    const int breakers = c.m_Panels[0].UsedBreakers() + c.m_Panels[1].UsedBreakers();
    const int subfeeds = c.m_Panels[0].UsedSubfeeds() + c.m_Panels[1].UsedSubfeeds();
    EXPECT_GE(requests[CMD_GET_CT_READING], static_cast<int>(cycles) * kCtCount);
    EXPECT_LE(requests[CMD_GET_CT_READING], static_cast<int>(cycles + 1) * kCtCount);
    EXPECT_GE(requests[CMD_GET_BREAKER_READING], static_cast<int>(cycles) * breakers);
    EXPECT_GE(requests[CMD_GET_SUBFEED_READING], static_cast<int>(cycles) * subfeeds);
    EXPECT_GE(requests[CMD_GET_PANEL_ENERGY], static_cast<int>(cycles) * 2);
    EXPECT_GE(requests[CMD_GET_EVENT_LOG_STATUS], static_cast<int>(cycles + 1) * 3);
    EXPECT_GE(requests[CMD_GET_CLOCK], static_cast<int>(cycles));

    // What the unit reports is what the store holds (the unit's time stood still).
    CtReading ct;
    ASSERT_TRUE(client.GetCtReading(5, ct));
    EXPECT_EQ(readings.Ct(5), ct);
    BreakerReading b;
    ASSERT_TRUE(client.GetBreakerReading(1, 2, b));
    EXPECT_EQ(readings.Panel(1).m_Breakers[2].m_Reading, b);
    PanelEnergy e;
    ASSERT_TRUE(client.GetPanelEnergy(0, e));
    EXPECT_GT(e.m_Main, 0.0f);
    EXPECT_EQ(readings.Panel(0).m_MainEnergy, e.m_Main);
    EXPECT_EQ(readings.Snapshot().m_Clock, kNoon + 30);
    EXPECT_EQ(logs[2].Events().size(), unit.Events(2).size());
    EXPECT_EQ(logs[0].Events().front().m_Id, 2000);

    // Notifications: at most one waiting per row or area, whatever the number of cycles.
    EXPECT_EQ(notes.Count(monitor::WM_APP_BREAKER_READING, 1, 2), 1);
    EXPECT_EQ(notes.Count(monitor::WM_APP_SUBFEED_READING, 0, 0), 1);
    EXPECT_EQ(notes.Count(monitor::WM_APP_PANEL_READINGS, 1), 1);
    EXPECT_EQ(notes.Count(monitor::WM_APP_EVENTLOG_CHANGED, 2), 1);
    EXPECT_EQ(notes.Count(monitor::WM_APP_CLOCK_TEXT), 1);
    EXPECT_EQ(notes.Wakes(), 1);  // nobody took the first batch, so no second wake-up
}

TEST_F(PollWorkerTest, StopDuringARunOfEventReadsIsAnsweredBeforeTheNextEvent) {
    for (int i = 0; i < 40; ++i)
        unit.LogEvent(0, 6001);
    std::atomic<int> events{0};
    std::atomic<bool> runUnderWay{false}, stopPosted{false};
    hook = [&](uint8_t c) {
        if (c == CMD_GET_EVENT && ++events == 5) {
            runUnderWay = true;
            // Hold the run until the stop waits in the mailbox.
            stopPosted = ipc.RequestEvent().WaitWithoutTaking(20000);
        }
    };
    StartWorker();
    ASSERT_TRUE(WaitUntil([&] { return runUnderWay.load(); }));
    EXPECT_EQ(ipc.Post(PollCmdStop, 0), 0);
    EXPECT_TRUE(stopPosted);
    worker->Stop();
    EXPECT_EQ(worker->End(), PollEnd::STOPPED);
    // The poll point before the sixth event took the stop: a long run cannot hold up an exit.
    EXPECT_EQ(events.load(), 5);
    EXPECT_EQ(logs[0].Size(), 5u);
    EXPECT_EQ(worker->Cycles(), 0u);
}

// A unit that refuses its events: the readings go on at full speed, each cycle asks for at most
// one event, the unit is never called silent; once it gives them again the log catches up, at
// most kEventsPerCycle a cycle, without a gap or a double.
TEST_F(PollWorkerTest, RefusedEventsNeitherStarveTheReadingsNorMakeTheUnitSilent) {
    std::atomic<int> events{0};
    hook = [&](uint8_t c) { events += c == CMD_GET_EVENT; };
    StartWorker();
    ASSERT_TRUE(CyclesPass(1));
    sim::SerialFaults refuse;
    refuse.refuseCommand = CMD_GET_EVENT;
    port.SetFaults(refuse);
    for (int i = 0; i < 100; ++i)
        unit.LogEvent(0, 6001, static_cast<uint16_t>(i));
    ASSERT_TRUE(CyclesPass(1));
    const int eventsBefore = events.load();
    const uint64_t cycles = worker->Cycles();
    workerClock.Advance(60000);  // long past the not-answering time
    ASSERT_TRUE(CyclesPass(5));
    EXPECT_LE(events.load() - eventsBefore, static_cast<int>(worker->Cycles() - cycles) + 1);
    EXPECT_FALSE(worker->NotAnswering());
    EXPECT_EQ(logs[0].Size(), 1u);

    port.SetFaults({});
    ASSERT_TRUE(WaitUntil([&] { return logs[0].Size() == 101u; }));
    const std::vector<EventRecord> got = logs[0].Events();
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_EQ(got[i].m_Index, i);
    EXPECT_TRUE(notes.Trouble().empty());
}

class WrapTest : public PollWorkerTest {
protected:
    WrapTest() : PollWorkerTest(WrapOptions()) {}
};

TEST_F(WrapTest, EventIndexWrapsAndAFormatEventEmptiesTheLog) {
    for (int i = 0; i < 3; ++i)
        unit.LogEvent(1, 3000, 0, static_cast<uint16_t>(2400 + i));  // 65530 .. 65533
    StartWorker();
    ASSERT_TRUE(CyclesPass(1));
    ASSERT_EQ(logs[1].Size(), 4u);
    EXPECT_EQ(logs[1].LastIndex(), 65533);

    for (int i = 0; i < 4; ++i)
        unit.LogEvent(1, 4000, static_cast<uint16_t>(i), 100);  // 65534, 65535, 0, 1
    ASSERT_TRUE(WaitUntil([&] { return logs[1].Size() == 8; }));
    std::vector<uint16_t> indexes;
    for (const EventRecord& e : logs[1].Events())
        indexes.push_back(e.m_Index);
    EXPECT_EQ(indexes, (std::vector<uint16_t>{65530, 65531, 65532, 65533, 65534, 65535, 0, 1}));

    unit.LogEvent(1, 1000);  // the unit formatted the log
    unit.LogEvent(1, 2004);
    ASSERT_TRUE(WaitUntil([&] {
        const auto e = logs[1].Events();
        return !e.empty() && e.back().m_Id == 2004;
    }));
    const auto after = logs[1].Events();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].m_Id, 1000);
    EXPECT_EQ(after[0].m_Index, 2);
    EXPECT_EQ(after[1].m_Id, 2004);
    EXPECT_EQ(logs[0].Size(), 1u);  // the other logs are untouched
}

TEST_F(PollWorkerTest, AlarmsReachTheStoreRawFilteredAndLatched) {
    // Panel A's breaker 1 ("RACK A2 07": alarm at 80 %, 5 s hysteresis).
    StartWorker();
    ASSERT_TRUE(CyclesPass(1));
    const auto flags = [&] { return readings.Panel(0).m_Breakers[1].m_Reading.m_OcAlarm; };
    EXPECT_EQ(flags(), (FlagTriple{0, 0, 0}));
    ASSERT_EQ(unit.SetOverload("RACK A2 07", true), 1);
    Wait(1);
    ASSERT_TRUE(WaitUntil([&] { return flags() == FlagTriple{1, 0, 0}; }));
    Wait(5);
    ASSERT_TRUE(WaitUntil([&] { return flags() == FlagTriple{1, 1, 1}; }));
    EXPECT_EQ(readings.Panel(0).m_PanelFlag.raw, 1);
    ASSERT_EQ(unit.SetOverload("RACK A2 07", false), 1);
    Wait(6);
    ASSERT_TRUE(WaitUntil([&] { return flags() == FlagTriple{0, 0, 1}; }));
    // The alarm events reached panel A's log.
    ASSERT_TRUE(WaitUntil([&] {
        for (const EventRecord& e : logs[0].Events())
            if (e.m_Id == 4000 && e.m_Param1 == 1) return true;
        return false;
    }));
}

TEST_F(PollWorkerTest, UnitThatStopsAnsweringIsReportedOnceAndPolledAgainWhenItComesBack) {
    StartWorker();
    ASSERT_TRUE(CyclesPass(1));

    // A unit that refuses every CT reading fails at once: the worker pauses between attempts
    // instead of spinning.
    sim::SerialFaults refuse;
    refuse.refuseCommand = CMD_GET_CT_READING;
    port.SetFaults(refuse);
    ASSERT_TRUE(WaitUntil([&] { return port.IdleMs() < 50; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const uint64_t before = port.FramesReceived();
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    EXPECT_LE(port.FramesReceived() - before, 25u);  // about 10 at one per 100 ms

    sim::SerialFaults silent;
    silent.silent = true;
    port.SetFaults(silent);
    const uint64_t cycles = worker->Cycles();
    // A refusal already under way would restart the 5 s: the clock moves once the request after
    // it, sent to the silent unit, has failed.
    const uint64_t failures = worker->Failures();
    ASSERT_TRUE(WaitUntil([&] { return worker->Failures() >= failures + 2; }));
    workerClock.Advance(4900);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_FALSE(worker->NotAnswering());
    workerClock.Advance(200);
    ASSERT_TRUE(WaitUntil([&] { return worker->NotAnswering(); }));
    workerClock.Advance(60000);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(worker->Cycles(), cycles);

    port.SetFaults({});
    ASSERT_TRUE(WaitUntil([&] { return !worker->NotAnswering(); }));
    ASSERT_TRUE(CyclesPass(1));
    EXPECT_EQ(notes.Trouble(),
              (std::vector<std::pair<int, int>>{{monitor::TROUBLE_NOT_ANSWERING, 1},
                                                {monitor::TROUBLE_NOT_ANSWERING, 0}}));
}

TEST_F(PollWorkerTest, MinimumCycleTimeRestsOnTheClockAndStillAnswersCommands) {
    PollTimings timings;
    timings.minCycleMs = 1000;
    StartWorker(timings);
    ASSERT_TRUE(CyclesPass(1));
    // The clock stands: the worker rests after its first cycle and asks the unit nothing.
    ASSERT_TRUE(WaitUntil([&] { return port.IdleMs() >= 200; }));
    const uint64_t frames = port.FramesReceived();
    EXPECT_EQ(ipc.Post(PollCmdStart, 0), 1);  // answered during the rest
    workerClock.Advance(999);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(worker->Cycles(), 1u);
    EXPECT_EQ(port.FramesReceived(), frames);
    // A second after the first cycle began, the next one starts, and only that one.
    workerClock.Advance(1);
    ASSERT_TRUE(CyclesPass(1));
    ASSERT_TRUE(WaitUntil([&] { return port.IdleMs() >= 200; }));
    EXPECT_EQ(worker->Cycles(), 2u);
    EXPECT_FALSE(worker->NotAnswering());
    worker->Stop();  // prompt during a rest
    EXPECT_EQ(worker->End(), PollEnd::STOPPED);
}

// A poll worker on a link of the test's own, with the stores it fills and the queues it is
// commanded and heard through.
struct LinkWorker {
    LinkWorker(UnitLink& link, const UnitConfig& config, const IClock& clock,
               PollTimings timings = {})
        : worker(ipc, link, config, readings, logs, notify, clock, timings) {}
    void Start() {
        worker.Launch();
        ASSERT_EQ(ipc.Post(PollCmdStart, 0), 0);
    }

    ReadingsStore readings;
    monitor::EventLogStores logs;
    monitor::NotifyQueue notify;
    NoteCollector notes{notify};
    CPolledIPC ipc;
    PollWorker worker;
};

// A port that goes away (the device hung up) and comes back as another device under the same
// COM number: the worker reopens it and goes on.
TEST(PollWorkerLink, LostPortIsReopenedAndPollingGoesOn) {
    TempDir ports;
    ASSERT_FALSE(ports.Path().empty());
    ::setenv("JVO_PORT_DIR", ports.Path().c_str(), 1);
    ManualClock unitClock(10'000);
    sim::SimUnit unit(unitClock, sim::MakeDemoConfig(), SeededOptions());
    auto first = std::make_unique<sim::SimSerialPort>(unit);
    ASSERT_TRUE(first->Start());
    ASSERT_TRUE(first->Pin(6, ports.Path()));
    UnitLink link;
    ASSERT_TRUE(link.OpenSerial(6, kDefaultBaud));
    const UnitConfig config = unit.Current();
    LinkWorker w(link, config, SystemClock::Instance(), QuickReopen());
    w.Start();
    ASSERT_TRUE(WaitUntil([&] { return w.worker.Cycles() >= 1; }));

    first->Stop();
    ASSERT_TRUE(WaitUntil([&] { return w.worker.TransportLost(); }));
    const uint64_t cycles = w.worker.Cycles();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(w.worker.TransportLost());

    sim::SimSerialPort second(unit);
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Pin(6, ports.Path()));
    ASSERT_TRUE(WaitUntil([&] { return !w.worker.TransportLost(); }));
    ASSERT_TRUE(WaitUntil([&] { return w.worker.Cycles() >= cycles + 2; }));
    EXPECT_EQ(w.notes.Trouble(),
              (std::vector<std::pair<int, int>>{{monitor::TROUBLE_TRANSPORT_LOST, 1},
                                                {monitor::TROUBLE_TRANSPORT_LOST, 0}}));
    w.worker.Stop();
    EXPECT_EQ(w.worker.End(), PollEnd::STOPPED);
    ::unsetenv("JVO_PORT_DIR");
}

// The proxy connection ends (the server went away) and the server comes back on the same port:
// the worker reconnects and goes on; a stop while the connection is down is answered at once,
// without waiting out the reopen interval.
TEST(PollWorkerLink, EndedProxyConnectionIsReopenedAndAStopIsNotHeldUp) {
    ManualClock unitClock(10'000);
    sim::SimUnit unit(unitClock, sim::MakeDemoConfig(), SeededOptions());
    sim::SimUnitBackend backend(unit);
    ProxyServerOptions options;
    options.port = 0;
    auto server = std::make_unique<ProxyServer>(backend, options);
    ASSERT_TRUE(server->Start());
    options.port = server->Port();
    UnitLink link;
    ASSERT_TRUE(link.OpenProxy("127.0.0.1:" + std::to_string(options.port)));
    const UnitConfig config = unit.Current();
    PollTimings timings;
    timings.reopenFirstMs = 3000;
    timings.reopenMaxMs = 3000;
    LinkWorker w(link, config, SystemClock::Instance(), timings);
    w.Start();
    ASSERT_TRUE(WaitUntil([&] { return w.worker.Cycles() >= 1; }));

    server->Stop();
    server = std::make_unique<ProxyServer>(backend, options);
    ASSERT_TRUE(WaitUntil([&] { return w.worker.TransportLost(); }));
    ASSERT_TRUE(server->Start());
    ASSERT_TRUE(WaitUntil([&] { return !w.worker.TransportLost(); }));
    const uint64_t cycles = w.worker.Cycles();
    ASSERT_TRUE(WaitUntil([&] { return w.worker.Cycles() >= cycles + 1; }));

    server->Stop();
    ASSERT_TRUE(WaitUntil([&] { return w.worker.TransportLost(); }));
    const auto start = std::chrono::steady_clock::now();
    w.worker.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    EXPECT_EQ(w.worker.End(), PollEnd::STOPPED);
    EXPECT_EQ(w.notes.Trouble(),
              (std::vector<std::pair<int, int>>{{monitor::TROUBLE_TRANSPORT_LOST, 1},
                                                {monitor::TROUBLE_TRANSPORT_LOST, 0},
                                                {monitor::TROUBLE_TRANSPORT_LOST, 1}}));
    backend.Cancel();
}

// The proxy server's unit, swapped for another as a unit restarts behind a proxy that keeps its
// clients' connections: the monitor sees no transport loss.
class SwappableBackend final : public IUnitBackend {
public:
    explicit SwappableBackend(sim::SimUnitBackend* unit) : m_Unit(unit) {}
    void Swap(sim::SimUnitBackend* unit) { m_Unit = unit; }
    bool Transact(uint8_t address, const uint8_t* request, int32_t length,
                  std::vector<uint8_t>& reply, int32_t timeoutMs) override {
        return m_Unit.load()->Transact(address, request, length, reply, timeoutMs);
    }

private:
    std::atomic<sim::SimUnitBackend*> m_Unit;
};

// The unit restarts behind the proxy: first with a fresh log whose newest index is lower than the
// copy's, then, after more than 5 s without an answer, with a log that ends at the same index as
// the one before. Each time the copy follows the new unit's log and the readings go on.
TEST(PollWorkerLink, UnitRestartedBehindAProxyIsFollowed) {
    ManualClock unitClock(10'000), workerClock(0);
    const auto unitAt = [&](int64_t wall) {
        return std::make_unique<sim::SimUnit>(unitClock, sim::MakeDemoConfig(), SeededOptions(),
                                              [wall] { return wall; });
    };
    std::unique_ptr<sim::SimUnit> units[] = {unitAt(kNoon), unitAt(kNoon + 60),
                                             unitAt(kNoon + 120)};
    for (int i = 0; i < 5; ++i)
        units[0]->LogEvent(0, 6001);  // newest index 5
    sim::SimUnitBackend backends[] = {sim::SimUnitBackend(*units[0]),
                                      sim::SimUnitBackend(*units[1]),
                                      sim::SimUnitBackend(*units[2])};
    SwappableBackend backend(&backends[0]);
    ProxyServerOptions options;
    options.port = 0;
    ProxyServer server(backend, options);
    ASSERT_TRUE(server.Start());
    UnitLink link;
    ASSERT_TRUE(link.OpenProxy("127.0.0.1:" + std::to_string(server.Port())));
    const UnitConfig config = units[0]->Current();
    LinkWorker w(link, config, workerClock);
    w.Start();
    ASSERT_TRUE(WaitUntil([&] { return w.worker.Cycles() >= 1; }));
    ASSERT_EQ(w.logs[0].LastIndex(), 5);
    const auto follows = [&](const sim::SimUnit& unit) {
        const uint64_t cycles = w.worker.Cycles();
        return WaitUntil([&] { return w.worker.Cycles() >= cycles + 2; }) &&
               w.logs[0].Events().back().m_Time == unit.Events(0).back().time &&
               w.logs[0].LastIndex() == unit.Events(0).back().index;
    };

    backend.Swap(&backends[1]);
    EXPECT_TRUE(follows(*units[1]));
    EXPECT_EQ(w.logs[0].LastIndex(), 0);

    sim::UnitFaults silent;
    silent.silent = true;
    const uint64_t failures = w.worker.Failures();
    backends[1].SetFaults(silent);
    // Once a request failed no reply can come: only then does the clock move past the 5 s.
    ASSERT_TRUE(WaitUntil([&] { return w.worker.Failures() > failures; }));
    workerClock.Advance(6000);
    ASSERT_TRUE(WaitUntil([&] { return w.worker.NotAnswering(); }));
    backend.Swap(&backends[2]);
    ASSERT_TRUE(WaitUntil([&] { return !w.worker.NotAnswering(); }));
    EXPECT_TRUE(follows(*units[2]));
    EXPECT_FALSE(w.worker.TransportLost());
    w.worker.Stop();
    for (sim::SimUnitBackend& b : backends)
        b.Cancel();
}

// A cycle's readings go through the proxy in pipelined runs, and the unit refuses the clock,
// which sits in the middle of a run. Every reading still lands in its own slot and none is left
// out; the clock is tried once a cycle, not again and again.
TEST(PollWorkerLink, PipelinedReadingsEachLandInTheirOwnSlot) {
    ManualClock unitClock(10'000), workerClock(0);
    sim::SimOptions tagged = SeededOptions();
    tagged.tagReadings = true;
    sim::SimUnit unit(unitClock, sim::MakeDemoConfig(), tagged);
    SimProxyServer proxy(unit);
    sim::UnitFaults refuseClock;
    refuseClock.refuseCommand = CMD_GET_CLOCK;
    proxy.backend.SetFaults(refuseClock);
    ASSERT_TRUE(proxy.Start());
    UnitLink link;
    ASSERT_TRUE(link.OpenProxy(proxy.Address()));
    ASSERT_GT(link.PipelineDepth(), 1);
    const UnitConfig config = unit.Current();
    LinkWorker w(link, config, workerClock);
    std::atomic<int> clockAsks{0};
    w.worker.SetRequestHook([&](uint8_t command) {
        if (command == CMD_GET_CLOCK) ++clockAsks;
    });
    w.Start();
    ASSERT_TRUE(WaitUntil([&] { return w.worker.Cycles() >= 3; }));
    w.worker.Stop();
    TagCheck check;
    check.Store(w.readings.Snapshot(), config);
    EXPECT_EQ(check.m_Bad, 0);
    EXPECT_EQ(check.m_Empty, 0);
    EXPECT_FALSE(w.readings.Snapshot().m_ClockValid);
    EXPECT_GE(clockAsks.load(), 3);
    EXPECT_LE(static_cast<uint64_t>(clockAsks.load()), w.worker.Cycles() + 1);
    proxy.Stop();
}

}  // namespace
}  // namespace jvo::test
