#include "monitor/ReadingsStore.h"

namespace jvo {

namespace {

bool ValidPanel(int panel) {
    return panel >= 0 && panel < kPanelCount;
}

}  // namespace

void ReadingsStore::SetCt(int ct, const CtReading& r) {
    if (!IsChannel(static_cast<uint32_t>(ct))) return;
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Data.m_Ct[ct] = r;
    ++m_Generation;
}

void ReadingsStore::SetPanelReadings(int panel, const PanelReadingsReply& r) {
    if (!ValidPanel(panel)) return;
    std::lock_guard<std::mutex> lock(m_Lock);
    PanelReadings& p = m_Data.m_Panels[panel];
    for (int i = 0; i < 3; ++i) {
        p.m_Vln[i] = r.m_Phase[i].m_Vln;
        p.m_Vll[i] = r.m_Phase[i].m_Vll;
        p.m_VCrest[i] = r.m_Phase[i].m_Crest;
        p.m_VThd[i] = r.m_Phase[i].m_Thd;
    }
    p.m_Unshown = r.m_Unshown;
    p.m_UnshownByte = r.m_UnshownByte;
    p.m_MainFeed = r.m_MainFeed;
    p.m_PanelFlag = r.m_PanelFlag;
    p.m_OverVoltage = r.m_OverVoltage;
    p.m_UnderVoltage = r.m_UnderVoltage;
    p.m_Further = r.m_Further;
    ++m_Generation;
}

void ReadingsStore::SetBreaker(int panel, int index, const BreakerReading& r) {
    if (!ValidPanel(panel) || index < 0 || index >= kMaxBreakers) return;
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Data.m_Panels[panel].m_Breakers[index].m_Reading = r;
    ++m_Generation;
}

void ReadingsStore::SetSubfeed(int panel, int index, const SubfeedReading& r) {
    if (!ValidPanel(panel) || index < 0 || index >= kMaxSubfeeds) return;
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Data.m_Panels[panel].m_Subfeeds[index].m_Reading = r;
    ++m_Generation;
}

void ReadingsStore::SetPanelEnergy(int panel, const PanelEnergy& e) {
    if (!ValidPanel(panel)) return;
    std::lock_guard<std::mutex> lock(m_Lock);
    PanelReadings& p = m_Data.m_Panels[panel];
    p.m_MainEnergy = e.m_Main;
    for (size_t i = 0; i < e.m_Breakers.size() && i < p.m_Breakers.size(); ++i)
        p.m_Breakers[i].m_Energy = e.m_Breakers[i];
    for (size_t i = 0; i < e.m_Subfeeds.size() && i < p.m_Subfeeds.size(); ++i)
        p.m_Subfeeds[i].m_Energy = e.m_Subfeeds[i];
    ++m_Generation;
}

void ReadingsStore::SetClock(int64_t seconds) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Data.m_Clock = seconds;
    m_Data.m_ClockValid = true;
    ++m_Generation;
}

ReadingsSnapshot ReadingsStore::Snapshot() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Data;
}

CtReading ReadingsStore::Ct(int ct) const {
    if (!IsChannel(static_cast<uint32_t>(ct))) return CtReading();
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Data.m_Ct[ct];
}

PanelReadings ReadingsStore::Panel(int panel) const {
    if (!ValidPanel(panel)) return PanelReadings();
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Data.m_Panels[panel];
}

uint64_t ReadingsStore::Generation() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Generation;
}

}  // namespace jvo
