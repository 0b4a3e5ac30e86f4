#include "monitor/ReadingsRecord.h"

#include <charconv>

#include "base/Clock.h"
#include "base/Files.h"

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
    ToUtcTime(t, tm);
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

std::string RecordFileFor(const std::string& path, RecordSplit split, std::time_t t) {
    if (split == RecordSplit::None) return path;
    std::tm tm{};
    ToUtcTime(t, tm);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, split == RecordSplit::Hourly ? "-%Y-%m-%dT%H" : "-%Y-%m-%d",
                  &tm);
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return hasExt ? path.substr(0, dot) + stamp + path.substr(dot) : path + stamp;
}

RecordWriter::RecordWriter(std::string path, RecordSplit split)
    : m_Path(std::move(path)), m_Split(split) {}

RecordWriter::~RecordWriter() = default;

bool RecordWriter::OpenFile(const std::string& file) {
    m_Out = std::make_unique<AppendFile>();
    m_File = file;
    m_HeaderOnly = false;
    if (!m_Out->Open(file)) return false;
    const int64_t size = m_Out->Size();
    if (size < 0) return false;
    m_HeaderOnly = size == 0;
    if (m_HeaderOnly) return m_Out->Write(kRecordHeader);
    char last = '\n';
    if (!m_Out->LastByte(last)) last = '\n';
    return last == '\n' || m_Out->Write("\r\n");
}

bool RecordWriter::Open(std::time_t t) {
    return OpenFile(RecordFileFor(m_Path, m_Split, t));
}

bool RecordWriter::Write(const UnitConfig& config, const ReadingsSnapshot& s, std::time_t t) {
    const std::string file = RecordFileFor(m_Path, m_Split, t);
    if ((!m_Out || file != m_File) && !OpenFile(file)) return false;
    if (!m_Out->Write(RecordRows(config, s, IsoTime(t)))) return false;
    m_HeaderOnly = false;
    ++m_Intervals;
    return true;
}

void RecordWriter::Discard() {
    if (!m_Out || !m_HeaderOnly) return;
    if (m_Out->Created()) {
        m_Out->Close();
        RemoveFile(m_File);
        return;
    }
    m_Out->Truncate();
}

}  // namespace jvo
