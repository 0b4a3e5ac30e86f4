#include "sim/SimMeter.h"

#include <algorithm>
#include <cmath>

namespace jvo::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSqrt2 = 1.41421356237309515;
constexpr double kSqrt3 = 1.73205080756887719;
constexpr uint64_t kMaxCatchUpSteps = 1000;
constexpr double kDailySwing = 0.15;      // loads move ±15 % over a day
constexpr double kCurrentNoise = 0.015;   // ±1.5 % from tick to tick
constexpr double kHouseLoad = 0.03;       // unmetered load on each main phase, fraction of rating
constexpr double kDefaultFrequency = 60;  // when the panel names no nominal frequency

// Keys that give every entry its own character and noise.
enum KeyKind : uint64_t { KEY_BREAKER = 1, KEY_SUBFEED = 2, KEY_MAIN = 3, KEY_PANEL = 4 };
constexpr uint64_t Key(KeyKind kind, int panel, int index, int sub = 0) {
    return (static_cast<uint64_t>(kind) << 40) | (static_cast<uint64_t>(panel) << 32) |
           (static_cast<uint64_t>(index) << 8) | static_cast<uint64_t>(sub);
}

uint64_t Mix(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double Unit(uint64_t h) {
    return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);  // [0, 1)
}

// A value in tenths for an event parameter, kept within 16 bits.
uint16_t Tenths(double v, double scale = 10) {
    const double t = std::round(v * scale);
    return static_cast<uint16_t>(std::clamp(t, 0.0, 65535.0));
}

// Neutral current of a four-wire feed: the phasor sum of the phase currents (120° apart, equal
// power factors) plus the triplen harmonics, which add up in the neutral.
double NeutralOf(const double a, const double b, const double c, double thd) {
    const double imbalance =
        std::sqrt(std::max(0.0, a * a + b * b + c * c - a * b - b * c - c * a));
    const double triplen = 1.5 * thd * (a + b + c) / 3;
    return std::sqrt(imbalance * imbalance + triplen * triplen);
}

CtReading ToCt(double amps, double volts, double pf, double thd) {
    CtReading r;
    if (amps <= 0) return r;
    r.m_IRms = static_cast<float>(amps);
    r.m_ICrest = static_cast<float>(kSqrt2 + 1.6 * thd);  // rectifier loads are peaky
    r.m_IThd = static_cast<float>(thd);
    r.m_Va = static_cast<float>(volts * amps);
    r.m_Pf = static_cast<float>(volts > 0 ? pf : 0);
    r.m_Power = static_cast<float>(volts * amps * pf);
    return r;
}

void Triple(uint8_t& raw, uint8_t& filtered, uint8_t& latched, const FlagTriple& f) {
    raw |= f.raw;
    filtered |= f.filtered;
    latched |= f.latched;
}

}  // namespace

SimMeter::SimMeter(MeterOptions options) : m_Options(options) {
    if (m_Options.tickMs == 0) m_Options.tickMs = 1000;
    if (m_Options.dayLengthMs == 0) m_Options.dayLengthMs = 86'400'000;
}

double SimMeter::Fixed(uint64_t key) const {
    return Unit(Mix(Mix(m_Options.seed) ^ key));
}

double SimMeter::Noise(uint64_t key, uint64_t tick) const {
    return 2 * Unit(Mix(Mix(Mix(m_Options.seed) ^ key) ^ Mix(tick + 0x5bd1e995))) - 1;
}

SimMeter::Load SimMeter::MakeLoad(uint64_t key, double lo, double hi,
                                  const std::string& name) const {
    Load l;
    l.base = lo + (hi - lo) * Fixed(key ^ 0x101);
    l.pf = 0.88 + 0.10 * Fixed(key ^ 0x102);
    l.thd = 0.06 + 0.16 * Fixed(key ^ 0x103);
    for (int k = 0; k < 3; ++k)
        l.imbalance[k] = 0.06 * (2 * Fixed(key ^ (0x104 + k)) - 1);
    l.idle = name.rfind("SPARE", 0) == 0;  // a spare breaker carries nothing
    return l;
}

double SimMeter::OverloadAmps(uint16_t rating, uint16_t ocAlarm, uint16_t ocWarning) {
    const double pct = ocAlarm > 0 ? ocAlarm : ocWarning > 0 ? ocWarning : 100;
    return rating * pct / 100.0 * 1.1;
}

void SimMeter::PhaseOf(int p, CtRef ct, int fallbackPhase, double& volts, int& phase) const {
    phase = fallbackPhase;
    int voltPanel = p;
    if (IsChannel(ct)) {
        const uint16_t vi = m_Config.m_Ct[ct].m_VoltageIndex;
        if (vi <= 5) {  // phase X, Y, Z of panel A or B
            voltPanel = vi / 3;
            phase = vi % 3;
        }
    }
    volts = m_Panels[voltPanel].vln[phase];
}

bool SimMeter::Update(Alarm& a, bool raw, uint64_t nowMs, uint64_t holdMs) {
    const uint8_t r = raw ? 1 : 0;
    if (a.flag.raw != r) {
        a.flag.raw = r;
        a.changedMs = nowMs;
    }
    bool rose = false;
    if (a.flag.filtered != a.flag.raw && nowMs - a.changedMs >= holdMs) {
        a.flag.filtered = a.flag.raw;
        rose = a.flag.filtered != 0;
    }
    if (a.flag.filtered) a.flag.latched = 1;
    return rose;
}

void SimMeter::Reconfigure(const UnitConfig& config, uint64_t nowMs, int64_t wallSeconds,
                           const EventSink& sink) {
    const bool first = !m_Configured;
    if (first) {
        m_PlacedAtMs = nowMs;
        const auto day = static_cast<int64_t>(m_Options.dayLengthMs);
        m_DayOffsetMs = static_cast<uint64_t>(((wallSeconds * 1000) % day + day) % day);
    }
    m_Config = config;
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = m_Config.m_Panels[p];
        PanelState& s = m_Panels[p];
        for (int ph = 0; ph < 3; ++ph)
            s.vImbalance[ph] = 0.008 * (2 * Fixed(Key(KEY_PANEL, p, 0, ph)) - 1);
        s.vThdBase = 0.015 + 0.02 * Fixed(Key(KEY_PANEL, p, 1));
        s.overVoltage = s.underVoltage = s.overFrequency = s.underFrequency = Alarm{};
        s.any = FlagTriple{};

        auto reset = [&](FeedState& f, const SubfeedRecord& rec, uint64_t key, double lo,
                         double hi) {
            f.load = MakeLoad(key, lo, hi, rec.m_Name);
            f.groundBase = 0.05 + 0.3 * Fixed(key ^ 0x109);
            f.oc = f.ocWarning = f.neutralAlarm = f.groundAlarm = Alarm{};
            for (Alarm* a : {&f.oc, &f.ocWarning, &f.neutralAlarm, &f.groundAlarm})
                a->changedMs = nowMs;
        };
        reset(s.main, panel.m_MainFeed, Key(KEY_MAIN, p, 0), kHouseLoad, kHouseLoad);
        for (int i = 0; i < kMaxSubfeeds; ++i)
            reset(s.subfeeds[i], panel.m_Subfeeds[i], Key(KEY_SUBFEED, p, i), 0.25, 0.50);
        for (int i = 0; i < kMaxBreakers; ++i) {
            BreakerState& b = s.breakers[i];
            // At most 58 % of the rating at the middle of the swing: with swing, imbalance and
            // noise a healthy breaker stays below a 75 % warning.
            b.load = MakeLoad(Key(KEY_BREAKER, p, i), 0.20, 0.58, panel.m_Breakers[i].m_Name);
            b.oc = b.ocWarning = b.uc = Alarm{};
            b.oc.changedMs = b.ocWarning.changedMs = b.uc.changedMs = nowMs;
        }
        for (Alarm* a : {&s.overVoltage, &s.underVoltage, &s.overFrequency, &s.underFrequency})
            a->changedMs = nowMs;
    }
    // Forced overloads follow their names into the new configuration.
    for (const std::string& name : m_Overloaded)
        ApplyOverload(name, true);
    m_Configured = true;
    m_LastTickMs = nowMs;
    Step(nowMs, 0, sink);

    if (first) {
        // A unit in service has been metering for a while: start each panel's meters from a
        // few months at the present power.
        for (int p = 0; p < kPanelCount; ++p) {
            PanelState& s = m_Panels[p];
            const double hours = 2000 + 6000 * Fixed(Key(KEY_PANEL, p, 2));
            s.main.kwh = s.main.power / 1000 * hours;
            for (BreakerState& b : s.breakers)
                b.kwh = b.power / 1000 * hours;
            for (FeedState& f : s.subfeeds)
                f.kwh = f.power / 1000 * hours;
        }
    }
}

void SimMeter::Advance(uint64_t nowMs, const EventSink& sink) {
    if (!m_Configured || nowMs < m_LastTickMs + m_Options.tickMs) return;
    const uint64_t gap = nowMs - m_LastTickMs;
    uint64_t step = m_Options.tickMs;
    if (gap / step > kMaxCatchUpSteps) step = gap / kMaxCatchUpSteps;
    while (m_LastTickMs + step <= nowMs) {
        m_LastTickMs += step;
        Step(m_LastTickMs, step, sink);
    }
}

void SimMeter::Step(uint64_t nowMs, uint64_t dtMs, const EventSink& sink) {
    const uint64_t elapsed = nowMs - m_PlacedAtMs;
    const double phase = static_cast<double>((m_DayOffsetMs + elapsed) % m_Options.dayLengthMs) /
                         static_cast<double>(m_Options.dayLengthMs);
    // Lowest at the unit's midnight, highest at noon.
    const double day = 1 - kDailySwing * std::cos(2 * kPi * phase);
    const uint64_t tick = elapsed / m_Options.tickMs;

    // Voltages of both panels first: a cross-configured channel may use the other panel's.
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = m_Config.m_Panels[p];
        PanelState& s = m_Panels[p];
        const double nominal = panel.m_Installed ? panel.m_MainVoltageRating / kSqrt3 : 0;
        for (int ph = 0; ph < 3; ++ph) {
            // Heavier load in the day pulls the voltage down a little.
            const double sag = 1 - 0.01 * (day - 1) / kDailySwing;
            const double noise = 1 + 0.002 * Noise(Key(KEY_PANEL, p, 3, ph), tick);
            s.vln[ph] = nominal * s.voltageFactor * (1 + s.vImbalance[ph]) * sag * noise;
            const double thd = s.vThdBase * (1 + 0.3 * (day - 1) / kDailySwing) +
                               0.002 * Noise(Key(KEY_PANEL, p, 4, ph), tick);
            s.vThd[ph] = nominal > 0 ? std::max(0.0, thd) : 0;
            s.vCrest[ph] = nominal > 0 ? kSqrt2 * (1 - 0.6 * s.vThd[ph]) : 0;  // flat-topped
        }
        for (int ph = 0; ph < 3; ++ph) {
            const double a = s.vln[ph], b = s.vln[(ph + 1) % 3];
            s.vll[ph] = std::sqrt(a * a + b * b + a * b);
        }
        const double f = panel.m_NominalFrequency ? panel.m_NominalFrequency : kDefaultFrequency;
        s.frequency = nominal > 0 ? f + 0.02 * Noise(Key(KEY_PANEL, p, 5), tick) : 0;
    }
    for (int p = 0; p < kPanelCount; ++p)
        StepPanel(p, day, tick);
    for (int p = 0; p < kPanelCount; ++p) {
        Integrate(p, dtMs);
        Alarms(p, nowMs, sink);
    }
    m_Ct.fill(CtReading{});
    for (int p = 0; p < kPanelCount; ++p)
        PublishCts(p);
}

void SimMeter::StepPanel(int p, double day, uint64_t tick) {
    const PanelRecord& panel = m_Config.m_Panels[p];
    PanelState& s = m_Panels[p];
    for (int i = 0; i < kMaxBreakers; ++i) {
        if (panel.m_Installed && i < panel.UsedBreakers()) {
            MeasureBreaker(p, i, day, tick);
        } else {
            BreakerState& b = s.breakers[i];
            b.poles = {};
            b.maxAmps = b.power = b.va = b.loadPct = 0;
        }
    }
    for (int i = 0; i < kMaxSubfeeds; ++i) {
        FeedState& f = s.subfeeds[i];
        if (panel.m_Installed && i < panel.UsedSubfeeds()) {
            MeasureFeed(panel.m_Subfeeds[i], f, p, static_cast<uint32_t>(i), day, tick);
        } else {
            f.phases = {};
            f.neutral = f.ground = f.maxAmps = f.power = f.va = f.loadPct = 0;
        }
    }
    MeasureMain(p, day, tick);
}

void SimMeter::MeasureBreaker(int p, int i, double day, uint64_t tick) {
    const BreakerRecord& rec = m_Config.m_Panels[p].m_Breakers[i];
    BreakerState& s = m_Panels[p].breakers[i];
    const int poles = BreakerRefCount(rec);
    const int first = rec.m_Position > 0 ? rec.m_Position - 1 : 0;
    s.maxAmps = s.power = s.va = 0;
    for (int k = 0; k < 3; ++k) {
        PoleSample& pole = s.poles[k];
        pole = PoleSample{};
        if (k >= poles) continue;
        const uint64_t key = Key(KEY_BREAKER, p, i, k);
        if (s.load.overload) {
            pole.amps = OverloadAmps(rec.m_Rating, rec.m_OcAlarm, rec.m_OcWarning) *
                        (1 + 0.005 * Noise(key, tick));
        } else if (!s.load.idle) {
            pole.amps = rec.m_Rating * s.load.base * day * (1 + s.load.imbalance[k]) *
                        (1 + kCurrentNoise * Noise(key, tick));
        }
        PhaseOf(p, rec.m_Ct[k], (first + k) % 3, pole.volts, pole.phase);
        pole.pf = std::clamp(s.load.pf + 0.01 * Noise(key ^ 0x201, tick), 0.85, 0.99);
        pole.thd = s.load.thd * (1 + 0.1 * Noise(key ^ 0x202, tick));
        if (!IsChannel(rec.m_Ct[k])) continue;  // flows, but nothing measures it
        s.maxAmps = std::max(s.maxAmps, pole.amps);
        s.power += pole.volts * pole.amps * pole.pf;
        s.va += pole.volts * pole.amps;
    }
    s.loadPct = rec.m_Rating ? 100 * s.maxAmps / rec.m_Rating : 0;
}

void SimMeter::MeasureFeed(const SubfeedRecord& rec, FeedState& s, int p, uint32_t index,
                           double day, uint64_t tick) {
    s.maxAmps = s.power = s.va = 0;
    for (int j = 0; j < 3; ++j) {
        PoleSample& ph = s.phases[j];
        ph = PoleSample{};
        const uint64_t key = Key(KEY_SUBFEED, p, static_cast<int>(index), j);
        if (s.load.overload) {
            ph.amps = OverloadAmps(rec.m_Rating, rec.m_OcAlarm, rec.m_OcWarning) *
                      (1 + 0.005 * Noise(key, tick));
        } else if (!s.load.idle) {
            ph.amps = rec.m_Rating * s.load.base * day * (1 + s.load.imbalance[j]) *
                      (1 + kCurrentNoise * Noise(key, tick));
        }
        PhaseOf(p, rec.m_Ct[j], j, ph.volts, ph.phase);
        ph.pf = std::clamp(s.load.pf + 0.01 * Noise(key ^ 0x201, tick), 0.85, 0.99);
        ph.thd = s.load.thd * (1 + 0.1 * Noise(key ^ 0x202, tick));
        if (!IsChannel(rec.m_Ct[j])) continue;
        s.maxAmps = std::max(s.maxAmps, ph.amps);
        s.power += ph.volts * ph.amps * ph.pf;
        s.va += ph.volts * ph.amps;
    }
    s.neutral = NeutralOf(s.phases[0].amps, s.phases[1].amps, s.phases[2].amps, s.load.thd);
    s.ground =
        s.groundBase * (1 + 0.05 * Noise(Key(KEY_SUBFEED, p, static_cast<int>(index), 4), tick));
    if (s.load.overload) {
        // A forced fault shows every alarm of the feed.
        if (rec.m_NeutralAlarm > 0)
            s.neutral = std::max(s.neutral, rec.m_Rating * rec.m_NeutralAlarm / 100.0 * 1.1);
        if (rec.m_GroundAlarm > 0) s.ground = std::max(s.ground, rec.m_GroundAlarm * 1.1);
    }
    s.loadPct = rec.m_Rating ? 100 * s.maxAmps / rec.m_Rating : 0;
}

void SimMeter::MeasureMain(int p, double day, uint64_t tick) {
    const PanelRecord& panel = m_Config.m_Panels[p];
    PanelState& s = m_Panels[p];
    FeedState& m = s.main;
    const SubfeedRecord& rec = panel.m_MainFeed;
    m.maxAmps = m.power = m.va = 0;
    if (!panel.m_Installed) {
        m.phases = {};
        m.neutral = m.ground = m.loadPct = 0;
        return;
    }
    // The main feed carries everything that hangs on the panel, metered or not, plus a little
    // house load of its own.
    std::array<double, 3> amps{}, watts{}, va{}, thdAmps{};
    for (int ph = 0; ph < 3; ++ph) {
        const double a = rec.m_Rating * kHouseLoad * day *
                         (1 + kCurrentNoise * Noise(Key(KEY_MAIN, p, 0, ph), tick));
        amps[ph] += a;
        watts[ph] += s.vln[ph] * a * 0.95;
        va[ph] += s.vln[ph] * a;
        thdAmps[ph] += a * 0.05;
    }
    auto add = [&](const PoleSample& pole) {
        amps[pole.phase] += pole.amps;
        watts[pole.phase] += pole.volts * pole.amps * pole.pf;
        va[pole.phase] += pole.volts * pole.amps;
        thdAmps[pole.phase] += pole.amps * pole.thd;
    };
    for (int i = 0; i < panel.UsedBreakers(); ++i)
        for (const PoleSample& pole : s.breakers[i].poles)
            add(pole);
    for (int i = 0; i < panel.UsedSubfeeds(); ++i)
        for (const PoleSample& pole : s.subfeeds[i].phases)
            add(pole);

    double thdSum = 0;
    for (int ph = 0; ph < 3; ++ph) {
        PoleSample& out = m.phases[ph];
        out.phase = ph;
        out.volts = s.vln[ph];
        if (m.load.overload) {
            out.amps = OverloadAmps(rec.m_Rating, rec.m_OcAlarm, rec.m_OcWarning) *
                       (1 + 0.005 * Noise(Key(KEY_MAIN, p, 1, ph), tick));
            out.pf = 0.95;
            out.thd = 0.05;
        } else {
            out.amps = amps[ph];
            out.pf = va[ph] > 0 ? watts[ph] / va[ph] : 0;
            // Harmonics of many loads partly cancel on the feed.
            out.thd = amps[ph] > 0 ? 0.6 * thdAmps[ph] / amps[ph] : 0;
        }
        thdSum += out.thd;
        if (!IsChannel(rec.m_Ct[ph])) continue;
        m.maxAmps = std::max(m.maxAmps, out.amps);
        m.power += out.volts * out.amps * out.pf;
        m.va += out.volts * out.amps;
    }
    m.neutral = NeutralOf(m.phases[0].amps, m.phases[1].amps, m.phases[2].amps, thdSum / 3);
    m.ground = m.groundBase * (1 + 0.05 * Noise(Key(KEY_MAIN, p, 2), tick));
    if (m.load.overload) {
        if (rec.m_NeutralAlarm > 0)
            m.neutral = std::max(m.neutral, rec.m_Rating * rec.m_NeutralAlarm / 100.0 * 1.1);
        if (rec.m_GroundAlarm > 0) m.ground = std::max(m.ground, rec.m_GroundAlarm * 1.1);
    }
    m.loadPct = rec.m_Rating ? 100 * m.maxAmps / rec.m_Rating : 0;
}

void SimMeter::Integrate(int p, uint64_t dtMs) {
    if (dtMs == 0 || !m_Config.m_Panels[p].m_Installed) return;
    PanelState& s = m_Panels[p];
    const double hours = static_cast<double>(dtMs) / 3.6e6;
    s.main.kwh += s.main.power / 1000 * hours;
    for (BreakerState& b : s.breakers)
        b.kwh += b.power / 1000 * hours;
    for (FeedState& f : s.subfeeds)
        f.kwh += f.power / 1000 * hours;
}

void SimMeter::Alarms(int p, uint64_t nowMs, const EventSink& sink) {
    const PanelRecord& panel = m_Config.m_Panels[p];
    PanelState& s = m_Panels[p];
    const bool on = panel.m_Installed != 0;
    auto log = [&](uint16_t id, int param1, uint16_t param2) {
        if (sink) sink(p, id, static_cast<uint16_t>(param1), param2);
    };

    for (int i = 0; i < kMaxBreakers; ++i) {
        const BreakerRecord& rec = panel.m_Breakers[i];
        BreakerState& b = s.breakers[i];
        const bool used = on && i < panel.UsedBreakers();
        const uint64_t hold = uint64_t{rec.m_Hysteresis} * 1000;
        const double rating = rec.m_Rating;
        const bool oc = used && rec.m_OcAlarm > 0 && b.maxAmps > rating * rec.m_OcAlarm / 100;
        const bool ocw = used && rec.m_OcWarning > 0 && b.maxAmps > rating * rec.m_OcWarning / 100;
        const bool uc = used && rec.m_UcAlarm > 0 && b.loadPct < rec.m_UcAlarm;
        if (Update(b.oc, oc, nowMs, hold)) log(EVT_BREAKER_OC_ALARM, i, Tenths(b.maxAmps));
        if (Update(b.ocWarning, ocw, nowMs, hold))
            log(EVT_BREAKER_OC_WARNING, i, Tenths(b.maxAmps));
        if (Update(b.uc, uc, nowMs, hold)) log(EVT_BREAKER_UC_ALARM, i, Tenths(b.maxAmps));
    }

    // Feed alarms; the event ids of the main feed and of a subfeed differ only in their base.
    auto feed = [&](const SubfeedRecord& rec, FeedState& f, bool used, int index, uint16_t ocId,
                    uint16_t ocwId, uint16_t neutralId, uint16_t groundId) {
        const uint64_t hold = uint64_t{rec.m_Hysteresis} * 1000;
        const double rating = rec.m_Rating;
        const bool oc = used && rec.m_OcAlarm > 0 && f.maxAmps > rating * rec.m_OcAlarm / 100;
        const bool ocw = used && rec.m_OcWarning > 0 && f.maxAmps > rating * rec.m_OcWarning / 100;
        // Neutral and ground alarms need their CTs.
        const bool neutral = used && IsChannel(rec.m_Ct[3]) && rec.m_NeutralAlarm > 0 &&
                             f.neutral > rating * rec.m_NeutralAlarm / 100;
        const bool ground = used && (IsChannel(rec.m_Ct[4]) || IsChannel(rec.m_Ct[5])) &&
                            rec.m_GroundAlarm > 0 && f.ground > rec.m_GroundAlarm;
        if (Update(f.oc, oc, nowMs, hold)) log(ocId, index, Tenths(f.maxAmps));
        if (Update(f.ocWarning, ocw, nowMs, hold)) log(ocwId, index, Tenths(f.maxAmps));
        if (Update(f.neutralAlarm, neutral, nowMs, hold)) log(neutralId, index, Tenths(f.neutral));
        if (Update(f.groundAlarm, ground, nowMs, hold)) log(groundId, index, Tenths(f.ground));
    };
    for (int i = 0; i < kMaxSubfeeds; ++i)
        feed(panel.m_Subfeeds[i], s.subfeeds[i], on && i < panel.UsedSubfeeds(), i,
             EVT_SUBFEED_PHASE_OC_ALARM, EVT_SUBFEED_PHASE_OC_WARNING, EVT_SUBFEED_NEUTRAL_OC_ALARM,
             EVT_SUBFEED_GROUND_OC_ALARM);
    feed(panel.m_MainFeed, s.main, on, 0, EVT_MAIN_PHASE_OC_ALARM, EVT_MAIN_PHASE_OC_WARNING,
         EVT_MAIN_NEUTRAL_OC_ALARM, EVT_MAIN_GROUND_OC_ALARM);

    // Voltage (line to line, against the rating) and frequency, with the panel's hysteresis.
    const uint64_t hold = uint64_t{panel.m_HysteresisInterval} * 1000;
    const double rating = panel.m_MainVoltageRating;
    int hi = 0, lo = 0;
    for (int ph = 1; ph < 3; ++ph) {
        if (s.vll[ph] > s.vll[hi]) hi = ph;
        if (s.vll[ph] < s.vll[lo]) lo = ph;
    }
    const bool ov = on && rating > 0 && panel.m_OverVoltageSetpoint > 0 &&
                    s.vll[hi] > rating * panel.m_OverVoltageSetpoint / 100;
    const bool uv = on && rating > 0 && panel.m_UnderVoltageSetpoint > 0 &&
                    s.vll[lo] < rating * panel.m_UnderVoltageSetpoint / 100;
    const bool of = on && s.frequency > 0 && panel.m_OverFrequencySetpoint > 0 &&
                    s.frequency > panel.m_OverFrequencySetpoint;
    const bool uf = on && s.frequency > 0 && panel.m_UnderFrequencySetpoint > 0 &&
                    s.frequency < panel.m_UnderFrequencySetpoint;
    if (Update(s.overVoltage, ov, nowMs, hold)) log(EVT_MAIN_OVER_VOLTAGE, hi, Tenths(s.vll[hi]));
    if (Update(s.underVoltage, uv, nowMs, hold)) log(EVT_MAIN_UNDER_VOLTAGE, lo, Tenths(s.vll[lo]));
    if (Update(s.overFrequency, of, nowMs, hold))
        log(EVT_MAIN_OVER_FREQUENCY, 0, Tenths(s.frequency, 100));
    if (Update(s.underFrequency, uf, nowMs, hold))
        log(EVT_MAIN_UNDER_FREQUENCY, 0, Tenths(s.frequency, 100));

    // The panel's summary flag: any alarm (warnings do not count).
    FlagTriple any;
    auto orIn = [&](const Alarm& a) { Triple(any.raw, any.filtered, any.latched, a.flag); };
    for (const BreakerState& b : s.breakers) {
        orIn(b.oc);
        orIn(b.uc);
    }
    for (const FeedState* f : {&s.main}) {
        orIn(f->oc);
        orIn(f->neutralAlarm);
        orIn(f->groundAlarm);
    }
    for (const FeedState& f : s.subfeeds) {
        orIn(f.oc);
        orIn(f.neutralAlarm);
        orIn(f.groundAlarm);
    }
    for (const Alarm* a : {&s.overVoltage, &s.underVoltage, &s.overFrequency, &s.underFrequency})
        orIn(*a);
    s.any = any;
}

void SimMeter::PublishCts(int p) {
    const PanelRecord& panel = m_Config.m_Panels[p];
    const PanelState& s = m_Panels[p];
    auto put = [&](CtRef ct, const CtReading& r) {
        if (IsChannel(ct)) m_Ct[ct] = r;
    };
    auto feed = [&](const SubfeedRecord& rec, const FeedState& f) {
        for (int j = 0; j < 3; ++j) {
            const PoleSample& ph = f.phases[j];
            put(rec.m_Ct[j], ToCt(ph.amps, ph.volts, ph.pf, ph.thd));
        }
        // Neutral: mostly third harmonic; ground: what leaks. Neither has a voltage.
        CtReading n = ToCt(f.neutral, 0, 0, 0.3);
        CtReading g = ToCt(f.ground, 0, 0, 0);
        put(rec.m_Ct[3], n);
        put(rec.m_Ct[4], g);
        put(rec.m_Ct[5], CtReading{});
    };
    if (!panel.m_Installed) return;
    feed(panel.m_MainFeed, s.main);
    for (int i = 0; i < panel.UsedBreakers(); ++i) {
        const BreakerRecord& rec = panel.m_Breakers[i];
        for (int k = 0; k < BreakerRefCount(rec); ++k) {
            const PoleSample& pole = s.breakers[i].poles[k];
            put(rec.m_Ct[k], ToCt(pole.amps, pole.volts, pole.pf, pole.thd));
        }
    }
    for (int i = 0; i < panel.UsedSubfeeds(); ++i)
        feed(panel.m_Subfeeds[i], s.subfeeds[i]);
}

CtReading SimMeter::Ct(int ct) const {
    return ct >= 0 && ct < kCtCount ? m_Ct[ct] : CtReading{};
}

BreakerReading SimMeter::Breaker(int p, int i) const {
    BreakerReading r;
    if (p < 0 || p >= kPanelCount || i < 0 || i >= kMaxBreakers) return r;
    const BreakerState& b = m_Panels[p].breakers[i];
    r.m_Unshown = static_cast<float>(b.maxAmps);
    r.m_Load = static_cast<float>(b.loadPct);
    r.m_Power = static_cast<float>(b.power);
    r.m_Va = static_cast<float>(b.va);
    r.m_Pf = static_cast<float>(b.va > 0 ? b.power / b.va : 0);
    r.m_OcAlarm = b.oc.flag;
    r.m_OcWarning = b.ocWarning.flag;
    r.m_UcAlarm = b.uc.flag;
    return r;
}

namespace {
template <class Feed>
SubfeedReading FeedReading(const Feed& f) {
    SubfeedReading r;
    r.m_Unshown = static_cast<float>(f.maxAmps);
    r.m_Load = static_cast<float>(f.loadPct);
    r.m_Power = static_cast<float>(f.power);
    r.m_Va = static_cast<float>(f.va);
    r.m_Pf = static_cast<float>(f.va > 0 ? f.power / f.va : 0);
    r.m_OcAlarm = f.oc.flag;
    r.m_OcWarning = f.ocWarning.flag;
    r.m_NeutralAlarm = f.neutralAlarm.flag;
    r.m_GroundAlarm = f.groundAlarm.flag;
    return r;
}
}  // namespace

SubfeedReading SimMeter::Subfeed(int p, int i) const {
    if (p < 0 || p >= kPanelCount || i < 0 || i >= kMaxSubfeeds) return SubfeedReading{};
    return FeedReading(m_Panels[p].subfeeds[i]);
}

PanelReadingsReply SimMeter::Panel(int p) const {
    PanelReadingsReply r;
    if (p < 0 || p >= kPanelCount) return r;
    const PanelState& s = m_Panels[p];
    r.m_Unshown = static_cast<float>(s.frequency);  // the line frequency, Hz
    r.m_UnshownByte = m_Config.m_Panels[p].m_Installed ? 1 : 0;
    for (int ph = 0; ph < 3; ++ph) {
        r.m_Phase[ph].m_Vln = static_cast<float>(s.vln[ph]);
        r.m_Phase[ph].m_Vll = static_cast<float>(s.vll[ph]);
        r.m_Phase[ph].m_Crest = static_cast<float>(s.vCrest[ph]);
        r.m_Phase[ph].m_Thd = static_cast<float>(s.vThd[ph]);
    }
    r.m_MainFeed = FeedReading(s.main);
    r.m_PanelFlag = s.any;
    r.m_OverVoltage = s.overVoltage.flag;
    r.m_UnderVoltage = s.underVoltage.flag;
    r.m_Further = {s.overFrequency.flag, s.underFrequency.flag};
    return r;
}

PanelEnergy SimMeter::Energy(int p) const {
    PanelEnergy e;
    if (p < 0 || p >= kPanelCount) return e;
    const PanelRecord& panel = m_Config.m_Panels[p];
    const PanelState& s = m_Panels[p];
    e.m_Main = static_cast<float>(s.main.kwh);
    for (int i = 0; i < panel.UsedBreakers(); ++i)
        e.m_Breakers.push_back(static_cast<float>(s.breakers[i].kwh));
    for (int i = 0; i < panel.UsedSubfeeds(); ++i)
        e.m_Subfeeds.push_back(static_cast<float>(s.subfeeds[i].kwh));
    return e;
}

void SimMeter::ResetEnergy(int p) {
    if (p < 0 || p >= kPanelCount) return;
    PanelState& s = m_Panels[p];
    s.main.kwh = 0;
    for (BreakerState& b : s.breakers)
        b.kwh = 0;
    for (FeedState& f : s.subfeeds)
        f.kwh = 0;
}

void SimMeter::ClearLatched(int p) {
    if (p < 0 || p >= kPanelCount) return;
    PanelState& s = m_Panels[p];
    for (BreakerState& b : s.breakers)
        for (Alarm* a : {&b.oc, &b.ocWarning, &b.uc})
            a->flag.latched = 0;
    auto feed = [](FeedState& f) {
        for (Alarm* a : {&f.oc, &f.ocWarning, &f.neutralAlarm, &f.groundAlarm})
            a->flag.latched = 0;
    };
    feed(s.main);
    for (FeedState& f : s.subfeeds)
        feed(f);
    for (Alarm* a : {&s.overVoltage, &s.underVoltage, &s.overFrequency, &s.underFrequency})
        a->flag.latched = 0;
    s.any.latched = 0;
}

int SimMeter::SetOverload(const std::string& name, bool on) {
    const int matches = ApplyOverload(name, on);
    auto it = std::find(m_Overloaded.begin(), m_Overloaded.end(), name);
    if (on && matches > 0 && it == m_Overloaded.end()) m_Overloaded.push_back(name);
    if (!on && it != m_Overloaded.end()) m_Overloaded.erase(it);
    return matches;
}

int SimMeter::ApplyOverload(const std::string& name, bool on) {
    if (name.empty()) return 0;
    int matches = 0;
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = m_Config.m_Panels[p];
        PanelState& s = m_Panels[p];
        for (int i = 0; i < panel.UsedBreakers(); ++i)
            if (panel.m_Breakers[i].m_Name == name) {
                s.breakers[i].load.overload = on;
                ++matches;
            }
        for (int i = 0; i < panel.UsedSubfeeds(); ++i)
            if (panel.m_Subfeeds[i].m_Name == name) {
                s.subfeeds[i].load.overload = on;
                ++matches;
            }
        if (panel.m_MainFeed.m_Name == name) {
            s.main.load.overload = on;
            ++matches;
        }
    }
    return matches;
}

bool SimMeter::SetVoltageFactor(int panel, double factor) {
    if (panel < 0 || panel >= kPanelCount || !(factor >= 0) || factor > 10) return false;
    m_Panels[panel].voltageFactor = factor;
    return true;
}

}  // namespace jvo::sim
