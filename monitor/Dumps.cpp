#include "monitor/Dumps.h"

#include "base/FormatStr.h"
#include "base/ReplaceFile.h"
#include "config/ConfigDump.h"
#include "monitor/DisplayModel.h"
#include "monitor/EventText.h"
#include "monitor/Formats.h"
#include "monitor/NameCleaning.h"

namespace jvo {

namespace {

constexpr const char* kEol = "\r\n";
const char* const kLogNames[kEventLogCount] = {"PANEL A", "PANEL B", "SERVICE"};

double D(float f) {
    return static_cast<double>(f);
}

void PhaseLine(std::string& out, const ReadingsSnapshot& s, const SubfeedRecord& feed,
               const PanelReadings& p, int ph) {
    out += FormatStr("%c-Phase, ", static_cast<char>('X' + ph));
    const CtReading* ct = CtFor(s, feed.m_Ct[ph]);
    if (!ct) {
        out += "0.0 A, 0.0 %, ----, ----, ";
    } else {
        out += FormatStr("%.1lf A, ", D(ct->m_IRms));
        out += feed.m_Rating == 0 ? std::string("----, ")
                                  : FormatStr("%.1lf %%, ", ct->m_IRms * 100.0 / feed.m_Rating);
        out += FormatStr("%.1lf %%, ", ct->m_IThd * 100.0);
        out += FormatStr("%.2lf, ", D(ct->m_ICrest));
    }
    out += FormatStr("%.1lf V, ", D(p.m_Vll[ph]));
    out += FormatStr("%.1lf V, ", D(p.m_Vln[ph]));
    if (p.m_Vln[ph] < 10) {
        out += "----, ----, ";
    } else {
        out += FormatStr("%.1lf %%, ", p.m_VThd[ph] * 100.0);
        out += FormatStr("%.2lf, ", D(p.m_VCrest[ph]));
    }
    if (!ct) {
        out += "----, ----, ----";
    } else {
        out += FormatStr("%.1lf kW, ", ct->m_Power / 1000.0);
        out += FormatStr("%.1lf kVA, ", ct->m_Va / 1000.0);
        out += FormatStr("%.2lf", D(ct->m_Pf));
    }
    out += kEol;
}

void PanelSection(std::string& out, const UnitConfig& config, const ReadingsSnapshot& s,
                  int panel) {
    const PanelRecord& rec = config.m_Panels[panel];
    const SubfeedRecord& feed = rec.m_MainFeed;
    const PanelReadings& p = s.m_Panels[panel];

    out += "Panel Name, " + QuotedCsvField(rec.m_PanelName) + kEol + kEol;
    out += ",I-RMS,I-PCT,I-THD,I-CF,VLL-RMS,VLN-RMS,V-THD,V-CF,Power,VA,PF";
    out += kEol;
    for (int ph = 0; ph < 3; ++ph)
        PhaseLine(out, s, feed, p, ph);

    const double ground = GroundCurrent(s, feed);
    out += FormatStr("Ground, %.1lf A,,,,,,,,--------,--------,--------", ground);
    out += kEol;
    const CtReading* neutral = CtFor(s, feed.m_Ct[3]);
    out += FormatStr("Neutral, %.1lf A,,,,,,,Total,", neutral ? D(neutral->m_IRms) : 0.0);
    out += FormatStr("%.1lf kW, ", p.m_MainFeed.m_Power / 1000.0);
    out += FormatStr("%.1lf kVA, ", p.m_MainFeed.m_Va / 1000.0);
    out += FormatStr("%.2lf", D(p.m_MainFeed.m_Pf));
    out += std::string(kEol) + kEol;

    out += "Branch No, Name, Type/Rating, Load, I1, I2, I3, Power, VA, PF, kWH";
    out += kEol;
    for (int i = 0; i < rec.UsedBreakers(); ++i) {
        const BreakerRecord& b = rec.m_Breakers[i];
        const BreakerSlot& slot = p.m_Breakers[i];
        out += FormatStr("%d,", i + 1) + QuotedCsvField(b.m_Name);
        out += FormatStr(",\"%d-Pole %dA\"", static_cast<int>(b.m_Poles),
                         static_cast<int>(b.m_Rating));
        out += FormatStr(",%.1lf %%", D(slot.m_Reading.m_Load));
        for (int j = 0; j < 3; ++j) {
            const CtReading* ct = j < b.m_Poles ? CtFor(s, b.m_Ct[j]) : nullptr;
            out += "," + (ct ? FormatCurrent(ct->m_IRms) : std::string("---"));
        }
        out += FormatStr(",%.0lf W", D(slot.m_Reading.m_Power));
        out += FormatStr(",%.0lf VA", D(slot.m_Reading.m_Va));
        out += FormatStr(",%.2lf", D(slot.m_Reading.m_Pf));
        out += FormatStr(",%.3lf", D(slot.m_Energy));
        out += kEol;
    }

    out += kEol;
    out += "Subfeed No, Name, Rating, Load, Ix, Iy, Iz, In, Ig, Power, VA, PF, kWH";
    out += kEol;
    for (int i = 0; i < rec.UsedSubfeeds(); ++i) {
        const SubfeedRecord& f = rec.m_Subfeeds[i];
        const SubfeedSlot& slot = p.m_Subfeeds[i];
        out += FormatStr("%d,", i + 1) + CsvField(f.m_Name);
        out += FormatStr(",%dA", static_cast<int>(f.m_Rating));
        out += FormatStr(",%.1lf %%", D(slot.m_Reading.m_Load));
        for (int k = 0; k < 5; ++k) {
            const CtReading* ct = CtFor(s, f.m_Ct[k]);
            out += "," + (ct ? FormatCurrent(ct->m_IRms) : FormatStr("%.4lf", 0.0));
        }
        out += FormatStr(",%.0lf W", D(slot.m_Reading.m_Power));
        out += FormatStr(",%.0lf VA", D(slot.m_Reading.m_Va));
        out += FormatStr(",%.2lf", D(slot.m_Reading.m_Pf));
        out += FormatStr(",%.3lf", D(slot.m_Energy));
        out += kEol;
    }
    out += kEol;
}

}  // namespace

std::string WithCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string QuotedCsvField(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::string CsvField(const std::string& name) {
    if (name.find_first_of(",\"\r\n") == std::string::npos) return name;
    return QuotedCsvField(name);
}

std::string ReadingsDump(const UnitConfig& config, const ReadingsSnapshot& s) {
    std::string out;
    for (int panel = 0; panel < kPanelCount; ++panel)
        PanelSection(out, config, s, panel);
    return out;
}

std::string MonitorConfigDump(const UnitConfig& config) {
    UnitConfig cleaned = config;
    CleanNames(cleaned);
    return WithCrLf(ConfigDump(cleaned));
}

std::string EventLogDump(const std::array<std::vector<EventRecord>, kEventLogCount>& logs,
                         bool serviceUser) {
    std::string out;
    const int count = serviceUser ? kEventLogCount : kEventLogCount - 1;
    for (int log = 0; log < count; ++log) {
        out += FormatStr("%s EVENT LOG", kLogNames[log]) + kEol + kEol;
        out += "Index, Timestamp, Event Description";
        out += kEol;
        for (const EventRecord& e : logs[log]) {
            out += EventIndexText(e.m_Index) + ", ";
            out += EventTimestampText(e.m_Time) + ", ";
            out += "\"" + FormatEventText(e) + "\"" + kEol;
        }
        out += kEol;
    }
    return out;
}

std::string EventLogDump(const std::array<EventLogStore, kEventLogCount>& logs, bool serviceUser) {
    std::array<std::vector<EventRecord>, kEventLogCount> copies;
    for (int log = 0; log < kEventLogCount; ++log)
        if (serviceUser || log < kEventLogCount - 1) copies[log] = logs[log].Events();
    return EventLogDump(copies, serviceUser);
}

bool WriteDumpFile(const std::string& path, const std::string& text) {
    return ReplaceFile(path, text);
}

std::string CreateFileFailedText(const std::string& path) {
    return FormatStr("Could not create output file: %s", path);
}

std::string ConfigDumpedText(const std::string& path) {
    return FormatStr("Successfully dumped configuration to: %s", path);
}

}  // namespace jvo
