#pragma once
// The simulated JVO unit, independent of any transport: a request payload goes in, a reply payload
// comes out (or none, while the unit is silent). Its state (configuration, status, clock, event
// logs, the readings with their alarms and kWh meters) lives inside; its time comes from an
// injectable clock so that tests need not wait. Alarm events go to the log of their panel (0 A,
// 1 B), unit events to the service log (2). Thread-safe: one lock around each call.
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/Clock.h"
#include "config/UnitConfig.h"
#include "sim/SimMeter.h"

namespace jvo {
class MsgBuf;
}

namespace jvo::sim {

struct SimOptions {
    uint8_t dipAddress = 0;
    uint16_t schemaVersion = 4;
    std::string versionText = "JVO SIM";
    uint16_t versionNumber1 = 1;
    uint16_t versionNumber2 = 0;
    uint16_t firmwareBuild = 412;
    uint16_t hardwareVersion = 3;
    uint32_t rebootSilenceMs = 1500;  // no answers at all after a reboot request
    int bootingStatusReplies = 3;     // then GetStatus reports "starting" this often
    uint16_t bootingState = 0x2222;   // the state reported while starting
    uint16_t firstEventIndex = 0;     // index of the first event ever logged (tests of the wrap)
    MeterOptions meter;               // seed, day length and tick of the simulated readings
    // Readings that name their request, for tests that must tell which request a reading answers:
    // the tagged values of a reply (see ReadingKey) are its key plus k/64, k counting the readings
    // answered modulo 64. Alarms and meters run as usual underneath.
    bool tagReadings = false;
};

// The key of a tagged reading. Tagged are: a CT's I-RMS and power (1000 + CT), a breaker's load
// and power (2000 + 100 panel + index), a subfeed's load and power (3000 + 100 panel + index),
// the main feed's load and power in the panel readings (4000 + panel), a panel's main energy
// (5000 + panel) and its breaker and subfeed energies (6000 and 7000 + 100 panel + index).
enum class TagKind { Ct, Breaker, Subfeed, MainFeed, MainEnergy, BreakerEnergy, SubfeedEnergy };
constexpr int ReadingKey(TagKind kind, int panel, int index = 0) {
    return 1000 * (static_cast<int>(kind) + 1) + 100 * panel + index;
}

struct SimEvent {
    uint16_t index = 0;
    uint16_t id = 0;
    uint32_t time = 0;
    uint16_t param1 = 0;
    uint16_t param2 = 0;
};

class SimUnit {
public:
    // `wallSeconds` gives the host's time (seconds since 1970); the unit clock runs from it plus
    // an offset set by SetClock.
    SimUnit(const IClock& clock, UnitConfig config, SimOptions options = {},
            std::function<int64_t()> wallSeconds = {});

    // True when the unit answers frames addressed to `address` (0 and its own software address).
    bool Accepts(uint8_t address) const;
    // Carries out one request. False when the unit gives no answer (it is restarting). With
    // `refuse` the request is answered with a refusal and not carried out (a fault for tests).
    bool Handle(const uint8_t* request, int32_t length, std::vector<uint8_t>& reply,
                bool refuse = false);

    // Brings the readings, alarms and meters up to the clock's time. Every request does this
    // first; a program calls it now and then so that alarm events carry their time.
    void Advance();
    // Forces every breaker, subfeed or main feed called `name` into overload (or back); returns
    // how many matched. Takes effect at the next tick of the readings.
    int SetOverload(const std::string& name, bool on);
    // Scales a panel's voltages (1.0 nominal), to show the voltage alarms.
    bool SetVoltageFactor(int panel, double factor);

    // True while the unit restarts after a reboot (it answers nothing).
    bool Restarting() const;

    // Introspection for tests and the status line.
    UnitConfig Current() const;
    UnitConfig Pending() const;
    uint64_t Transactions() const;
    std::vector<SimEvent> Events(int log) const;
    void LogEvent(int log, uint16_t id, uint16_t param1 = 0, uint16_t param2 = 0);

private:
    void LogEventLocked(int log, uint16_t id, uint16_t param1 = 0, uint16_t param2 = 0);
    uint32_t UnitTime() const;
    bool Silent() const;
    // The reading commands; false refuses.
    bool Readings(uint8_t command, MsgBuf& in, MsgBuf& out);

    const IClock& m_Clock;
    SimOptions m_Options;
    std::function<int64_t()> m_WallSeconds;
    mutable std::mutex m_Lock;
    UnitConfig m_Current;
    UnitConfig m_Pending;
    int64_t m_ClockOffset = 0;
    bool m_AutoZero = false;
    uint64_t m_SilentUntilMs = 0;
    int m_BootingRepliesLeft = 0;
    uint64_t m_Transactions = 0;
    std::deque<SimEvent> m_Logs[3];
    uint16_t m_NextIndex[3] = {0, 0, 0};
    SimMeter m_Meter;
    uint64_t m_TaggedReadings = 0;
    EventSink m_Sink;  // alarm events into the panel logs (called with m_Lock held)
};

}  // namespace jvo::sim
