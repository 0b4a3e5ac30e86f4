#include "monitor/EventLogStore.h"

namespace jvo {

void EventLogStore::Start(uint16_t count, uint16_t newest) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Count = count;
    m_LastIndex = newest;
}

uint16_t EventLogStore::Count() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Count;
}

uint16_t EventLogStore::LastIndex() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_LastIndex;
}

uint16_t EventLogStore::AdvanceIndex() {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_LastIndex = static_cast<uint16_t>(m_LastIndex + 1);
    return m_LastIndex;
}

void EventLogStore::Resume(uint16_t index) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_LastIndex = index;
}

bool EventLogStore::OutOfStep(uint16_t count, uint16_t newest) const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return static_cast<uint16_t>(newest - m_LastIndex) > count;
}

std::optional<EventRecord> EventLogStore::Newest() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (m_Events.empty()) return std::nullopt;
    return m_Events.back();
}

void EventLogStore::AppendInitial(const EventRecord& e) {
    std::lock_guard<std::mutex> lock(m_Lock);
    m_Events.push_back(e);
    ++m_Generation;
}

void EventLogStore::AppendPolled(const EventRecord& e) {
    std::lock_guard<std::mutex> lock(m_Lock);
    if (e.m_Id == kEventLogFormatted) m_Events.clear();
    m_Events.push_back(e);
    ++m_Generation;
}

std::vector<EventRecord> EventLogStore::Events() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Events;
}

size_t EventLogStore::Size() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Events.size();
}

uint64_t EventLogStore::Generation() const {
    std::lock_guard<std::mutex> lock(m_Lock);
    return m_Generation;
}

std::vector<uint16_t> EventLogStore::InitialIndexes(uint16_t count, uint16_t newest) {
    std::vector<uint16_t> out;
    out.reserve(count);
    uint16_t index = static_cast<uint16_t>(newest - count + 1);
    for (uint32_t i = 0; i < count; ++i, ++index)
        out.push_back(index);
    return out;
}

bool EventLogStore::Holds(uint16_t index, uint16_t count, uint16_t newest) {
    return static_cast<uint16_t>(newest - index) < count;
}

}  // namespace jvo
