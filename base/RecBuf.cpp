#include "base/RecBuf.h"

#include <cstring>

namespace jvo {

RecBuf::RecBuf(int32_t capacity, bool growable) : m_Growable(growable) {
    if (capacity > 0) {
        m_Owned = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));  // zeroed
        m_Data = m_Owned.get();
        m_Capacity = capacity;
    }
}

RecBuf::RecBuf(std::unique_ptr<uint8_t[]> area, int32_t length, bool empty)
    : m_Owned(std::move(area)), m_Data(m_Owned.get()), m_Capacity(length > 0 ? length : 0) {
    m_Write = empty ? 0 : m_Capacity;
}

RecBuf::RecBuf(uint8_t* area, int32_t length, bool empty)
    : m_Data(area), m_Capacity(length > 0 ? length : 0) {
    m_Write = empty ? 0 : m_Capacity;
}

bool RecBuf::Reserve(int32_t n) {
    if (m_Error) return false;
    if (n < 0) {
        m_Error = true;
        return false;
    }
    if (m_Capacity - m_Write >= n) return true;
    if (!m_Growable) {
        m_Error = true;
        return false;
    }
    const int64_t unread = m_Write - m_Read;
    if (unread + n < m_Capacity) {
        // Enough room once the consumed bytes are dropped: move the unread ones to the start.
        std::memmove(m_Data, m_Data + m_Read, static_cast<size_t>(unread));
        m_Read = 0;
        m_Write = static_cast<int32_t>(unread);
        return true;
    }
    int64_t capacity = static_cast<int64_t>(m_Capacity) * 2;
    if (capacity < 256) capacity = 256;
    if (capacity < unread + n) capacity = unread + n;
    if (capacity > INT32_MAX) {
        if (unread + n > INT32_MAX) {
            m_Error = true;
            return false;
        }
        capacity = INT32_MAX;
    }
    auto area = std::make_unique<uint8_t[]>(static_cast<size_t>(capacity));
    if (unread > 0) std::memcpy(area.get(), m_Data + m_Read, static_cast<size_t>(unread));
    m_Owned = std::move(area);
    m_Data = m_Owned.get();
    m_Capacity = static_cast<int32_t>(capacity);
    m_Read = 0;
    m_Write = static_cast<int32_t>(unread);
    return true;
}

bool RecBuf::Put8(uint8_t value) {
    if (!Reserve(1)) return false;
    m_Data[m_Write++] = value;
    return true;
}

bool RecBuf::Put16(uint16_t value) {
    if (!Reserve(2)) return false;
    m_Data[m_Write++] = static_cast<uint8_t>(value);
    m_Data[m_Write++] = static_cast<uint8_t>(value >> 8);
    return true;
}

bool RecBuf::Put32(uint32_t value) {
    if (!Reserve(4)) return false;
    for (int i = 0; i < 4; ++i)
        m_Data[m_Write++] = static_cast<uint8_t>(value >> (8 * i));
    return true;
}

bool RecBuf::PutBytes(const void* data, int32_t count) {
    if (count <= 0) return !m_Error;
    if (!Reserve(count)) return false;
    std::memcpy(m_Data + m_Write, data, static_cast<size_t>(count));
    m_Write += count;
    return true;
}

bool RecBuf::Take(int32_t n) {
    if (m_Error) return false;
    if (n < 0 || Length() < n) {
        m_Error = true;
        return false;
    }
    return true;
}

uint8_t RecBuf::Get8() {
    if (!Take(1)) return 0;
    return m_Data[m_Read++];
}

uint16_t RecBuf::Get16() {
    if (!Take(2)) return 0;
    uint16_t v = static_cast<uint16_t>(m_Data[m_Read] | (m_Data[m_Read + 1] << 8));
    m_Read += 2;
    return v;
}

uint32_t RecBuf::Get32() {
    if (!Take(4)) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(m_Data[m_Read + i]) << (8 * i);
    m_Read += 4;
    return v;
}

bool RecBuf::GetBytes(void* out, int32_t count) {
    if (!Take(count)) return false;
    if (count > 0) std::memcpy(out, m_Data + m_Read, static_cast<size_t>(count));
    m_Read += count;
    return true;
}

}  // namespace jvo
