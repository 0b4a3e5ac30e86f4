#include "monitor/ReadingsTable.h"

#include "monitor/DisplayModel.h"
#include "monitor/Dumps.h"
#include "monitor/ReadingsRecord.h"

namespace jvo {

namespace {

std::string Trimmed(const std::string& text) {
    const size_t b = text.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return text.substr(b, text.find_last_not_of(' ') - b + 1);
}

std::string Amps(const ReadingsSnapshot& s, uint32_t ct) {
    const CtReading* r = CtFor(s, ct);
    return r ? CsvNumber(r->m_IRms, 3) : std::string();
}

struct Row {
    char panel;
    const char* kind;
    int number;
    std::string name;
    int poles;
    int rating;
    float load;
    std::string amps[5];  // I1, I2, I3, In, Ig
    std::string volts[6];
    float power, va, pf, energy;
};

void Add(std::string& out, const std::string& lead, const Row& r) {
    out += lead + r.panel + ',' + r.kind + ',' + std::to_string(r.number) + ',' +
           CsvField(Trimmed(r.name)) + ',' + std::to_string(r.poles) + ',' +
           std::to_string(r.rating) + ',' + CsvNumber(r.load, 1);
    for (const std::string& a : r.amps)
        out += ',' + a;
    for (const std::string& v : r.volts)
        out += ',' + v;
    out += ',' + CsvNumber(r.power, 1) + ',' + CsvNumber(r.va, 1) + ',' + CsvNumber(r.pf, 3) + ',' +
           CsvNumber(r.energy, 3) + "\r\n";
}

}  // namespace

std::string ReadingsTable(const UnitConfig& config, const ReadingsSnapshot& s,
                          const std::string& time) {
    std::string out = kReadingsTableHeader;
    const std::string lead = CsvField(Trimmed(config.m_Unit.m_UnitName)) + ',' + time + ',';
    for (int p = 0; p < kPanelCount; ++p) {
        const char letter = static_cast<char>('A' + p);
        const PanelRecord& panel = config.m_Panels[p];
        const PanelReadings& r = s.m_Panels[p];
        const SubfeedRecord& mf = panel.m_MainFeed;
        const SubfeedReading& m = r.m_MainFeed;
        Row main{letter, "main", 0,         mf.m_Name, mf.m_Poles, mf.m_Rating,   m.m_Load,
                 {},     {},     m.m_Power, m.m_Va,    m.m_Pf,     r.m_MainEnergy};
        for (int i = 0; i < 4; ++i)
            main.amps[i] = Amps(s, mf.m_Ct[i]);
        // The ground current is the sum of its two CTs, as the window shows it.
        main.amps[4] = CsvNumber(GroundCurrent(s, mf), 3);
        for (int ph = 0; ph < 3; ++ph) {
            main.volts[ph] = CsvNumber(r.m_Vln[ph], 1);
            main.volts[3 + ph] = CsvNumber(r.m_Vll[ph], 1);
        }
        Add(out, lead, main);
        for (int i = 0; i < panel.UsedBreakers(); ++i) {
            const BreakerRecord& b = panel.m_Breakers[i];
            const BreakerSlot& slot = r.m_Breakers[i];
            Row row{letter,
                    "breaker",
                    i + 1,
                    b.m_Name,
                    b.m_Poles,
                    b.m_Rating,
                    slot.m_Reading.m_Load,
                    {},
                    {},
                    slot.m_Reading.m_Power,
                    slot.m_Reading.m_Va,
                    slot.m_Reading.m_Pf,
                    slot.m_Energy};
            for (int j = 0; j < b.m_Poles && j < 3; ++j)
                row.amps[j] = Amps(s, b.m_Ct[j]);
            Add(out, lead, row);
        }
        for (int i = 0; i < panel.UsedSubfeeds(); ++i) {
            const SubfeedRecord& f = panel.m_Subfeeds[i];
            const SubfeedSlot& slot = r.m_Subfeeds[i];
            Row row{letter,
                    "subfeed",
                    i + 1,
                    f.m_Name,
                    f.m_Poles,
                    f.m_Rating,
                    slot.m_Reading.m_Load,
                    {},
                    {},
                    slot.m_Reading.m_Power,
                    slot.m_Reading.m_Va,
                    slot.m_Reading.m_Pf,
                    slot.m_Energy};
            for (int j = 0; j < 5; ++j)
                row.amps[j] = Amps(s, f.m_Ct[j]);
            Add(out, lead, row);
        }
    }
    return out;
}

}  // namespace jvo
