#pragma once
// The electrical side of the simulated unit: what its CTs and voltage inputs would measure in a
// real cabinet, the alarms it raises from the configured thresholds and the kWh meters.
//
// The model is refreshed once per tick (a second by default) from the time alone, so that a
// reading depends on when it is asked for, never on how often: per-phase voltages near the panel
// rating, branch currents that follow each breaker's rating with a slow daily swing and a little
// seeded noise, feeds that carry the sum of what hangs on them. Each alarm condition has a raw
// byte (this tick's comparison), a filtered byte that follows the raw one once it has held for
// the hysteresis interval, and a latched byte that stays set until the panel's alarms are
// cleared. Nothing here takes a lock: the unit that owns the meter serialises the calls.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/UnitConfig.h"
#include "link/Readings.h"

namespace jvo::sim {

struct MeterOptions {
    uint32_t seed = 1;                  // picks each load's character and the noise
    uint64_t dayLengthMs = 86'400'000;  // period of the daily load swing
    uint32_t tickMs = 1000;             // the readings are refreshed this often
};

// Alarm and metering event ids the meter logs.
enum MeterEvent : uint16_t {
    EVT_MAIN_OVER_VOLTAGE = 3000,
    EVT_MAIN_UNDER_VOLTAGE = 3001,
    EVT_MAIN_PHASE_OC_ALARM = 3002,
    EVT_MAIN_PHASE_OC_WARNING = 3003,
    EVT_MAIN_NEUTRAL_OC_ALARM = 3004,
    EVT_MAIN_GROUND_OC_ALARM = 3005,
    EVT_MAIN_OVER_FREQUENCY = 3006,
    EVT_MAIN_UNDER_FREQUENCY = 3007,
    EVT_BREAKER_OC_ALARM = 4000,
    EVT_BREAKER_OC_WARNING = 4001,
    EVT_BREAKER_UC_ALARM = 4002,
    EVT_SUBFEED_PHASE_OC_ALARM = 5000,
    EVT_SUBFEED_PHASE_OC_WARNING = 5001,
    EVT_SUBFEED_NEUTRAL_OC_ALARM = 5002,
    EVT_SUBFEED_GROUND_OC_ALARM = 5003,
    EVT_PANEL_METERING_RESET = 6001,
};

// Receives each alarm as it is declared (its filtered byte sets): the log (the panel's index),
// the event id and its two parameters.
using EventSink = std::function<void(int log, uint16_t id, uint16_t param1, uint16_t param2)>;

class SimMeter {
public:
    explicit SimMeter(MeterOptions options = {});

    // Takes a configuration (at start and after each commit) and measures once at `nowMs`.
    // Meters and forced conditions of entries that still exist are kept; alarm states restart.
    // `wallSeconds` places the daily swing: the unit's time of day at `nowMs`.
    void Reconfigure(const UnitConfig& config, uint64_t nowMs, int64_t wallSeconds,
                     const EventSink& sink);
    // Runs every tick up to `nowMs`. After a long pause the pending time is covered in at most
    // 1000 steps, so a catch-up never takes long.
    void Advance(uint64_t nowMs, const EventSink& sink);

    // Readings as of the last tick. Out-of-range indexes give all-zero readings.
    CtReading Ct(int ct) const;
    BreakerReading Breaker(int panel, int index) const;
    SubfeedReading Subfeed(int panel, int index) const;
    PanelReadingsReply Panel(int panel) const;
    PanelEnergy Energy(int panel) const;

    // Sets every kWh meter of the panel to zero.
    void ResetEnergy(int panel);
    // Clears the latched byte of every alarm of the panel (an alarm still present latches again
    // at the next tick).
    void ClearLatched(int panel);

    // Forces every breaker, subfeed or main feed called `name` (in either panel) into overload:
    // its phases carry 110 % of the over-current alarm level; a feed also gets a neutral and a
    // ground current above their alarm levels. Returns how many entries matched.
    int SetOverload(const std::string& name, bool on);
    // Scales a panel's voltages (1.0 nominal), to show the voltage alarms.
    bool SetVoltageFactor(int panel, double factor);

private:
    struct Alarm {
        FlagTriple flag;
        uint64_t changedMs = 0;  // when the raw byte last changed
    };
    // The steady character of one load, fixed by the seed and the entry's place.
    struct Load {
        double base = 0;  // fraction of the rating at the middle of the daily swing
        double pf = 0.95;
        double thd = 0.1;
        std::array<double, 3> imbalance{};
        bool idle = false;
        bool overload = false;
    };
    struct PoleSample {
        double amps = 0;
        double volts = 0;
        double pf = 0;
        double thd = 0;
        int phase = 0;  // 0..2 within its own panel, for the main feed's sums
    };
    struct BreakerState {
        Load load;
        std::array<PoleSample, 3> poles{};
        double maxAmps = 0, power = 0, va = 0, loadPct = 0, kwh = 0;
        Alarm oc, ocWarning, uc;
    };
    struct FeedState {
        Load load;
        std::array<PoleSample, 3> phases{};
        double neutral = 0, ground = 0, groundBase = 0;
        double maxAmps = 0, power = 0, va = 0, loadPct = 0, kwh = 0;
        Alarm oc, ocWarning, neutralAlarm, groundAlarm;
    };
    struct PanelState {
        std::array<double, 3> vln{}, vll{}, vCrest{}, vThd{};
        std::array<double, 3> vImbalance{};
        double vThdBase = 0.02;
        double frequency = 0;
        double voltageFactor = 1.0;
        FeedState main;
        std::array<BreakerState, kMaxBreakers> breakers{};
        std::array<FeedState, kMaxSubfeeds> subfeeds{};
        Alarm overVoltage, underVoltage, overFrequency, underFrequency;
        FlagTriple any;  // any alarm of the panel (warnings excluded)
    };

    // One tick at `nowMs`, `dtMs` after the previous one.
    void Step(uint64_t nowMs, uint64_t dtMs, const EventSink& sink);
    void StepPanel(int p, double day, uint64_t tick);
    void MeasureBreaker(int p, int i, double day, uint64_t tick);
    void MeasureFeed(const SubfeedRecord& rec, FeedState& s, int p, uint32_t key, double day,
                     uint64_t tick);
    void MeasureMain(int p, double day, uint64_t tick);
    void Alarms(int p, uint64_t nowMs, const EventSink& sink);
    void Integrate(int p, uint64_t dtMs);
    void PublishCts(int p);

    // The filter of one alarm condition; true when the filtered byte has just set.
    static bool Update(Alarm& a, bool raw, uint64_t nowMs, uint64_t holdMs);
    // Deterministic noise in [-1, 1] for (key, tick).
    double Noise(uint64_t key, uint64_t tick) const;
    // A seeded value in [0, 1) for a key.
    double Fixed(uint64_t key) const;
    Load MakeLoad(uint64_t key, double lo, double hi, const std::string& name) const;
    // The voltage and own-panel phase of a channel of panel p; `fallbackPhase` when the channel
    // names no phase voltage.
    void PhaseOf(int p, CtRef ct, int fallbackPhase, double& volts, int& phase) const;
    static double OverloadAmps(uint16_t rating, uint16_t ocAlarm, uint16_t ocWarning);
    int ApplyOverload(const std::string& name, bool on);

    MeterOptions m_Options;
    UnitConfig m_Config;
    std::array<PanelState, kPanelCount> m_Panels{};
    std::array<CtReading, kCtCount> m_Ct{};
    uint64_t m_LastTickMs = 0;
    uint64_t m_DayOffsetMs = 0;  // time of day at m_LastTickMs when the swing was placed
    uint64_t m_PlacedAtMs = 0;
    bool m_Configured = false;
    std::vector<std::string> m_Overloaded;  // names forced into overload
};

}  // namespace jvo::sim
