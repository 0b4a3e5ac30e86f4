#include "exporter/FleetCollector.h"

#include <limits>
#include <string>

#include "monitor/DisplayModel.h"

namespace jvo::exporter {

namespace {

using prometheus::ClientMetric;
using prometheus::MetricFamily;
using prometheus::MetricType;
using Labels = std::vector<ClientMetric::Label>;

const char* const kPhases[3] = {"X", "Y", "Z"};
const char* const kModes[3] = {"raw", "filtered", "latched"};

MetricFamily Family(const char* name, const char* help, MetricType type) {
    MetricFamily f;
    f.name = name;
    f.help = help;
    f.type = type;
    return f;
}

void AddGauge(MetricFamily& f, Labels labels, double value) {
    ClientMetric m;
    m.label = std::move(labels);
    m.gauge.value = value;
    f.metric.push_back(std::move(m));
}

// The unit's kWh meters as counters in joules, the base unit.
void AddEnergy(MetricFamily& f, Labels labels, float kwh) {
    ClientMetric m;
    m.label = std::move(labels);
    m.counter.value = static_cast<double>(kwh) * 3.6e6;
    f.metric.push_back(std::move(m));
}

std::string PanelLetter(int panel) {
    return std::string(1, static_cast<char>('A' + panel));
}

// One alarm flag in each of the three modes.
void AddAlarm(MetricFamily& f, const Labels& item, const char* kind, const FlagTriple& flag) {
    for (int mode = 0; mode < 3; ++mode) {
        Labels labels = item;
        labels.push_back({"kind", kind});
        labels.push_back({"mode", kModes[mode]});
        AddGauge(f, std::move(labels), flag.ByMode(mode) != 0 ? 1 : 0);
    }
}

void AddFeedAlarms(MetricFamily& f, const Labels& item, const SubfeedReading& r) {
    AddAlarm(f, item, "over_current", r.m_OcAlarm);
    AddAlarm(f, item, "over_current_warning", r.m_OcWarning);
    AddAlarm(f, item, "neutral_over_current", r.m_NeutralAlarm);
    AddAlarm(f, item, "ground_over_current", r.m_GroundAlarm);
}

struct Families {
    MetricFamily up = Family("jvo_up", "1 while the unit answered a request within the last 10 s",
                             MetricType::Gauge);
    MetricFamily info = Family(
        "jvo_unit_info", "The unit's firmware build and configuration schema", MetricType::Gauge);
    MetricFamily ct = Family("jvo_ct_current_amperes", "I-RMS of each CT", MetricType::Gauge);
    MetricFamily voltage =
        Family("jvo_panel_voltage_volts", "Line-to-neutral voltage (VLN) of each panel phase",
               MetricType::Gauge);
    MetricFamily main =
        Family("jvo_main_current_amperes", "Current of each main feed phase", MetricType::Gauge);
    MetricFamily panelInfo =
        Family("jvo_panel_info", "The configured names of each panel and its main feed",
               MetricType::Gauge);
    MetricFamily breakerInfo =
        Family("jvo_breaker_info", "The configured name of each breaker", MetricType::Gauge);
    MetricFamily subfeedInfo =
        Family("jvo_subfeed_info", "The configured name of each subfeed", MetricType::Gauge);
    MetricFamily breaker =
        Family("jvo_breaker_current_amperes", "Current of each breaker pole", MetricType::Gauge);
    MetricFamily subfeed =
        Family("jvo_subfeed_current_amperes", "Current of each subfeed phase", MetricType::Gauge);
    MetricFamily panelEnergy =
        Family("jvo_panel_energy_joules_total",
               "Energy meter of each panel's main feed (the unit's kWh meter in joules)",
               MetricType::Counter);
    MetricFamily energy = Family("jvo_breaker_energy_joules_total",
                                 "Energy meter of each breaker (the unit's kWh meter in joules)",
                                 MetricType::Counter);
    MetricFamily alarm =
        Family("jvo_alarm_active", "1 while the alarm is set in the given mode", MetricType::Gauge);
    MetricFamily cycle =
        Family("jvo_poll_cycle_seconds", "Duration of each full poll cycle", MetricType::Histogram);
    MetricFamily errors =
        Family("jvo_poll_errors_total", "Requests that failed and connects that failed",
               MetricType::Counter);
};

void AddReadings(Families& fam, const UnitView& v) {
    const ReadingsSnapshot& s = v.m_Readings;
    for (int ct = 0; ct < kCtCount; ++ct)
        AddGauge(fam.ct, {{"unit", v.m_Name}, {"ct", std::to_string(ct)}}, s.m_Ct[ct].m_IRms);
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = v.m_Config.m_Panels[p];
        const PanelReadings& r = s.m_Panels[p];
        const std::string letter = PanelLetter(p);
        for (int ph = 0; ph < 3; ++ph) {
            AddGauge(fam.voltage, {{"unit", v.m_Name}, {"panel", letter}, {"phase", kPhases[ph]}},
                     r.m_Vln[ph]);
            if (const CtReading* ct = CtFor(s, panel.m_MainFeed.m_Ct[ph]))
                AddGauge(fam.main, {{"unit", v.m_Name}, {"panel", letter}, {"phase", kPhases[ph]}},
                         ct->m_IRms);
        }
        AddGauge(fam.panelInfo,
                 {{"unit", v.m_Name},
                  {"panel", letter},
                  {"name", panel.m_PanelName},
                  {"main_feed_name", panel.m_MainFeed.m_Name}},
                 1);
        AddEnergy(fam.panelEnergy, {{"unit", v.m_Name}, {"panel", letter}}, r.m_MainEnergy);
        const Labels mainItem{
            {"unit", v.m_Name}, {"panel", letter}, {"item", "main"}, {"number", "0"}};
        AddFeedAlarms(fam.alarm, mainItem, r.m_MainFeed);
        const Labels panelItem{
            {"unit", v.m_Name}, {"panel", letter}, {"item", "panel"}, {"number", "0"}};
        AddAlarm(fam.alarm, panelItem, "over_voltage", r.m_OverVoltage);
        AddAlarm(fam.alarm, panelItem, "under_voltage", r.m_UnderVoltage);

        for (int i = 0; i < panel.UsedBreakers(); ++i) {
            const BreakerRecord& b = panel.m_Breakers[i];
            const BreakerSlot& slot = r.m_Breakers[i];
            const std::string number = std::to_string(i + 1);
            const int poles = std::min<int>(b.m_Poles, 3);
            AddGauge(
                fam.breakerInfo,
                {{"unit", v.m_Name}, {"panel", letter}, {"breaker", number}, {"name", b.m_Name}},
                1);
            for (int j = 0; j < poles; ++j)
                if (const CtReading* ct = CtFor(s, b.m_Ct[j]))
                    AddGauge(fam.breaker,
                             {{"unit", v.m_Name},
                              {"panel", letter},
                              {"breaker", number},
                              {"pole", std::to_string(j + 1)}},
                             ct->m_IRms);
            AddEnergy(fam.energy, {{"unit", v.m_Name}, {"panel", letter}, {"breaker", number}},
                      slot.m_Energy);
            const Labels item{
                {"unit", v.m_Name}, {"panel", letter}, {"item", "breaker"}, {"number", number}};
            AddAlarm(fam.alarm, item, "over_current", slot.m_Reading.m_OcAlarm);
            AddAlarm(fam.alarm, item, "over_current_warning", slot.m_Reading.m_OcWarning);
            AddAlarm(fam.alarm, item, "under_current", slot.m_Reading.m_UcAlarm);
        }
        for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
            const SubfeedRecord& f = panel.m_Subfeeds[i];
            const std::string number = std::to_string(i + 1);
            AddGauge(
                fam.subfeedInfo,
                {{"unit", v.m_Name}, {"panel", letter}, {"subfeed", number}, {"name", f.m_Name}},
                1);
            for (int ph = 0; ph < 3; ++ph)
                if (const CtReading* ct = CtFor(s, f.m_Ct[ph]))
                    AddGauge(fam.subfeed,
                             {{"unit", v.m_Name},
                              {"panel", letter},
                              {"subfeed", number},
                              {"phase", kPhases[ph]}},
                             ct->m_IRms);
            const Labels item{
                {"unit", v.m_Name}, {"panel", letter}, {"item", "subfeed"}, {"number", number}};
            AddFeedAlarms(fam.alarm, item, r.m_Subfeeds[i].m_Reading);
        }
    }
}

void AddCycles(MetricFamily& f, const UnitView& v) {
    ClientMetric m;
    m.label = {{"unit", v.m_Name}};
    m.histogram.sample_count = v.m_Cycles.m_Count;
    m.histogram.sample_sum = v.m_Cycles.m_Sum;
    const std::vector<double>& bounds = CycleBuckets();
    uint64_t cumulative = 0;
    for (size_t i = 0; i <= bounds.size(); ++i) {
        cumulative += i < v.m_Cycles.m_Counts.size() ? v.m_Cycles.m_Counts[i] : 0;
        ClientMetric::Bucket b;
        b.cumulative_count = cumulative;
        b.upper_bound = i < bounds.size() ? bounds[i] : std::numeric_limits<double>::infinity();
        m.histogram.bucket.push_back(b);
    }
    f.metric.push_back(std::move(m));
}

}  // namespace

namespace {

void AddUnit(Families& fam, const UnitView& v) {
    AddGauge(fam.up, {{"unit", v.m_Name}}, v.m_Up ? 1 : 0);
    if (v.m_Up)
        AddGauge(fam.info,
                 {{"unit", v.m_Name},
                  {"firmware_build",
                   v.m_FirmwareBuild < 0 ? "unknown" : std::to_string(v.m_FirmwareBuild)},
                  {"schema", std::to_string(v.m_Schema)}},
                 1);
    if (v.m_HaveReadings) AddReadings(fam, v);
    AddCycles(fam.cycle, v);
    ClientMetric errors;
    errors.label = {{"unit", v.m_Name}};
    errors.counter.value = static_cast<double>(v.m_Errors);
    fam.errors.metric.push_back(std::move(errors));
}

std::vector<MetricFamily> InOrder(Families& fam, bool keepEmpty) {
    std::vector<MetricFamily> out;
    for (MetricFamily* f : {&fam.up, &fam.info, &fam.panelInfo, &fam.breakerInfo, &fam.subfeedInfo,
                            &fam.ct, &fam.voltage, &fam.main, &fam.breaker, &fam.subfeed,
                            &fam.panelEnergy, &fam.energy, &fam.alarm, &fam.cycle, &fam.errors})
        if (keepEmpty || !f->metric.empty()) out.push_back(std::move(*f));
    return out;
}

}  // namespace

std::vector<MetricFamily> BuildFamilies(const std::vector<UnitView>& views) {
    Families fam;
    for (const UnitView& v : views)
        AddUnit(fam, v);
    return InOrder(fam, false);
}

std::vector<MetricFamily> UnitFamilies(const UnitView& view) {
    Families fam;
    AddUnit(fam, view);
    return InOrder(fam, true);
}

}  // namespace jvo::exporter
