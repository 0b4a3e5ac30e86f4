#include "monitor/ReadingsRecord.h"

#include <charconv>

#include "monitor/DisplayModel.h"
#include "monitor/Dumps.h"

namespace jvo {

namespace {

struct Item {
    std::string power, va, pf, kwh;
};

Item ItemOf(float power, float va, float pf, float kwh) {
    return {CsvNumber(power, 1), CsvNumber(va, 1), CsvNumber(pf, 3), CsvNumber(kwh, 3)};
}

void Row(std::string& out, const std::string& time, int panel, const char* kind, int number,
         const std::string& name, const std::string& pole, const CtReading* ct, const Item& item) {
    out += time + ',' + static_cast<char>('A' + panel) + ',' + kind + ',' + std::to_string(number) +
           ',' + CsvField(name) + ',' + pole + ',' +
           (ct ? CsvNumber(ct->m_IRms, 3) : std::string()) + ',' + item.power + ',' + item.va +
           ',' + item.pf + ',' + item.kwh + "\r\n";
}

}  // namespace

std::string RecordRows(const UnitConfig& config, const ReadingsSnapshot& s,
                       const std::string& time) {
    static const char* const kPhase[3] = {"X", "Y", "Z"};
    std::string out;
    for (int p = 0; p < kPanelCount; ++p) {
        const PanelRecord& panel = config.m_Panels[p];
        const PanelReadings& r = s.m_Panels[p];
        const SubfeedReading& m = r.m_MainFeed;
        const Item main = ItemOf(m.m_Power, m.m_Va, m.m_Pf, r.m_MainEnergy);
        for (int ph = 0; ph < 3; ++ph)
            Row(out, time, p, "main", 0, panel.m_MainFeed.m_Name, kPhase[ph],
                CtFor(s, panel.m_MainFeed.m_Ct[ph]), main);
        for (int i = 0; i < panel.UsedBreakers(); ++i) {
            const BreakerRecord& b = panel.m_Breakers[i];
            const BreakerSlot& slot = r.m_Breakers[i];
            const BreakerReading& br = slot.m_Reading;
            const Item item = ItemOf(br.m_Power, br.m_Va, br.m_Pf, slot.m_Energy);
            for (int j = 0; j < b.m_Poles && j < 3; ++j)
                Row(out, time, p, "breaker", i + 1, b.m_Name, std::to_string(j + 1),
                    CtFor(s, b.m_Ct[j]), item);
        }
        for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
            const SubfeedRecord& f = panel.m_Subfeeds[i];
            const SubfeedSlot& slot = r.m_Subfeeds[i];
            const SubfeedReading& fr = slot.m_Reading;
            const Item item = ItemOf(fr.m_Power, fr.m_Va, fr.m_Pf, slot.m_Energy);
            for (int ph = 0; ph < 3; ++ph)
                Row(out, time, p, "subfeed", i + 1, f.m_Name, kPhase[ph], CtFor(s, f.m_Ct[ph]),
                    item);
        }
    }
    return out;
}

std::string IsoTime(std::time_t t) {
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", &tm);
    return buffer;
}

std::string IsoTimeMs(int64_t ms) {
    return IsoTime(static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000));
}

std::string CsvNumber(double value, int decimals) {
    char buffer[64];
    const auto r =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? std::string(buffer, r.ptr) : std::string();
}

}  // namespace jvo
