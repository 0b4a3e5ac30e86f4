#include "link/StreamReader.h"

#include <algorithm>
#include <cstring>

namespace jvo {

namespace {
uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
}  // namespace

StreamReader::StreamReader(uint32_t keepLimit, uint32_t firstStep, uint32_t lengthLimit)
    : m_KeepLimit(keepLimit),
      m_FirstStep(firstStep > 0 ? firstStep : 1),
      m_LengthLimit(lengthLimit < proxywire::kStreamMaxBody ? lengthLimit
                                                            : proxywire::kStreamMaxBody) {}

uint8_t* StreamReader::Space(size_t& want) {
    if (!m_InBody) {
        want = kHeaderSize - m_HeaderHave;
        return m_Header + m_HeaderHave;
    }
    const uint32_t target = KeepTarget();
    if (m_Kept < target) {
        m_Discarding = false;
        if (m_Kept == m_Capacity) {
            // Grow with the bytes that arrive, so that an announced body costs memory only as its
            // bytes come in.
            const uint64_t doubled = static_cast<uint64_t>(m_Capacity) * 2;
            const uint32_t capacity = static_cast<uint32_t>(
                std::min<uint64_t>(target, std::max<uint64_t>(m_FirstStep, doubled)));
            std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
            if (m_Kept > 0) std::memcpy(grown.get(), m_Body.get(), m_Kept);
            m_Body = std::move(grown);
            m_Capacity = capacity;
        }
        want = m_Capacity - m_Kept;
        return m_Body.get() + m_Kept;
    }
    m_Discarding = true;
    if (!m_Scratch) m_Scratch.reset(new uint8_t[kScratchSize]);
    want = std::min<size_t>(kScratchSize, m_Length - m_Have);
    return m_Scratch.get();
}

StreamReader::Event StreamReader::Took(size_t got) {
    if (!m_InBody) {
        m_HeaderHave += got;
        if (m_HeaderHave < kHeaderSize) return Event::None;
        m_HeaderHave = 0;
        m_Marker = Le32(m_Header);
        m_Length = Le32(m_Header + 4);
        if (m_Marker != proxywire::kStreamMarker) return Event::BadMarker;
        if (m_Length == 0) return Event::KeepAlive;
        if (m_Length > m_LengthLimit) return Event::BadLength;
        m_InBody = true;
        m_Have = m_Kept = m_Capacity = 0;
        m_Body.reset();
        m_Scratch.reset();
        return Event::None;
    }
    m_Have += static_cast<uint32_t>(got);
    if (!m_Discarding) m_Kept += static_cast<uint32_t>(got);
    if (m_Have < m_Length) return Event::None;
    m_InBody = false;
    m_Scratch.reset();
    return Event::Message;
}

void StreamReader::Append(const uint8_t* data, size_t n) {
    m_Pending.erase(m_Pending.begin(), m_Pending.begin() + static_cast<ptrdiff_t>(m_PendingPos));
    m_PendingPos = 0;
    m_Pending.insert(m_Pending.end(), data, data + n);
}

StreamReader::Event StreamReader::Next() {
    while (HasPending()) {
        size_t want = 0;
        uint8_t* into = Space(want);
        const size_t take = std::min(want, m_Pending.size() - m_PendingPos);
        std::memcpy(into, m_Pending.data() + m_PendingPos, take);
        m_PendingPos += take;
        const Event event = Took(take);
        if (event != Event::None) return event;
    }
    // All taken: small areas are kept for the next read, a large one is given back.
    m_PendingPos = 0;
    if (m_Pending.capacity() > kScratchSize)
        std::vector<uint8_t>().swap(m_Pending);
    else
        m_Pending.clear();
    return Event::None;
}

std::unique_ptr<uint8_t[]> StreamReader::TakeBody() {
    m_Capacity = 0;
    return std::move(m_Body);
}

}  // namespace jvo
