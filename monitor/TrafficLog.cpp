#include "monitor/TrafficLog.h"

#include <cstdio>
#include <ctime>

#include "base/Clock.h"
#include "base/FormatStr.h"
#include "link/Commands.h"

namespace jvo {

void TrafficLog::OnTransaction(const TrafficEntry& entry) {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_Entries.size() == kKept) m_Entries.pop_front();
    m_Entries.push_back(entry);
    ++m_Generation;
}

std::vector<TrafficEntry> TrafficLog::Entries() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return {m_Entries.begin(), m_Entries.end()};
}

uint64_t TrafficLog::Generation() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Generation;
}

void TrafficLog::Clear() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Entries.clear();
    ++m_Generation;
}

TrafficRow MakeTrafficRow(const TrafficEntry& e) {
    TrafficRow r;
    std::tm tm{};
    const std::time_t seconds = static_cast<std::time_t>(e.m_TimeMs / 1000);
    r.m_Time = ToLocalTime(seconds, tm) ? FormatStr("%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min,
                                                    tm.tm_sec, static_cast<int>(e.m_TimeMs % 1000))
                                        : std::string("?");
    r.m_Command = CommandName(e.m_Command) + FormatStr(" (%d)", e.m_Command);
    r.m_Sequence = e.m_Sequence >= 0 ? std::to_string(e.m_Sequence) : "-";
    r.m_Request = std::to_string(e.m_RequestBytes);
    r.m_Reply = e.m_ReplyCode >= 0 ? std::to_string(e.m_ReplyBytes) : "-";
    if (e.m_ReplyCode < 0)
        r.m_Code = "-";
    else if (e.m_ReplyCode >= 0x21 && e.m_ReplyCode < 0x7F)
        r.m_Code = FormatStr("'%c'", e.m_ReplyCode);
    else
        r.m_Code = FormatStr("0x%02X", e.m_ReplyCode);
    r.m_Status = LinkResultName(e.m_Result);
    if (!e.m_Detail.empty()) r.m_Status += ": " + e.m_Detail;
    r.m_RoundTrip = std::to_string(e.m_RoundTripMs) + " ms";
    r.m_Failed = e.Failed();
    return r;
}

std::string TrafficText(const std::vector<TrafficEntry>& entries) {
    std::string out = FormatStr("%-12s  %-28s %4s %7s %5s %5s %8s  %s\n", "Time", "Command", "Seq",
                                "Request", "Reply", "Code", "RTT", "Status");
    for (const TrafficEntry& e : entries) {
        const TrafficRow r = MakeTrafficRow(e);
        out += FormatStr("%-12s  %-28s %4s %7s %5s %5s %8s  %s%s\n", r.m_Time.c_str(),
                         r.m_Command.c_str(), r.m_Sequence.c_str(), r.m_Request.c_str(),
                         r.m_Reply.c_str(), r.m_Code.c_str(), r.m_RoundTrip.c_str(),
                         r.m_Status.c_str(), r.m_Failed ? "  FAILED" : "");
    }
    return out;
}

void LineRates::Sample(int64_t nowMs, uint64_t transactions, uint64_t failures) {
    if (!m_Points.empty() && nowMs < m_Points.back().ms)
        m_Points.clear();  // a clock that went back
    m_Points.push_back({nowMs, transactions, failures});
    while (m_Points.size() > 2 && nowMs - m_Points[1].ms >= 60'000)
        m_Points.pop_front();
}

double LineRates::Rate(int64_t windowMs, bool failures, double perMs) const {
    if (m_Points.size() < 2) return 0;
    const Point& last = m_Points.back();
    size_t i = 0;
    while (i + 2 < m_Points.size() && last.ms - m_Points[i + 1].ms >= windowMs)
        ++i;
    const Point& first = m_Points[i];
    const int64_t span = last.ms - first.ms;
    if (span <= 0) return 0;
    const uint64_t a = failures ? first.failures : first.transactions;
    const uint64_t b = failures ? last.failures : last.transactions;
    return b >= a ? static_cast<double>(b - a) * perMs / static_cast<double>(span) : 0;
}

double LineRates::RequestsPerSecond() const {
    return Rate(5'000, false, 1000.0);
}

double LineRates::FailuresPerMinute() const {
    return Rate(60'000, true, 60'000.0);
}

std::string LineRates::Text() const {
    return FormatStr("%.1f req/s, %.0f failures/min", RequestsPerSecond(), FailuresPerMinute());
}

}  // namespace jvo
