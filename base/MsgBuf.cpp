#include "base/MsgBuf.h"

#include <cstring>

namespace jvo {

MsgBuf::MsgBuf(int32_t capacity)
    : m_Owned(capacity > 0 ? std::make_unique<uint8_t[]>(capacity) : nullptr),
      m_Base(m_Owned.get()),
      m_Capacity(capacity > 0 ? capacity : 0) {}

MsgBuf::MsgBuf(uint8_t* area, int32_t length)
    : m_Base(area), m_Capacity(length > 0 ? length : 0), m_Write(m_Capacity) {}

bool MsgBuf::Reserve(int32_t n) {
    if (m_Error) return false;
    if (n > m_Capacity - m_Write) {
        Fail();
        return false;
    }
    return true;
}

void MsgBuf::Fail() {
    m_Error = true;
    m_Write = m_Capacity;
}

bool MsgBuf::Take(int32_t n) {
    if (m_Error) return false;
    if (n > m_Write - m_Read) {
        m_Error = true;
        return false;
    }
    return true;
}

void MsgBuf::Put8(uint8_t value) {
    if (!Reserve(1)) return;
    m_Base[m_Write++] = value;
}

void MsgBuf::Put16(uint16_t value) {
    if (!Reserve(2)) return;
    m_Base[m_Write++] = static_cast<uint8_t>(value);
    m_Base[m_Write++] = static_cast<uint8_t>(value >> 8);
}

void MsgBuf::Put32(uint32_t value) {
    if (!Reserve(4)) return;
    for (int i = 0; i < 4; ++i)
        m_Base[m_Write++] = static_cast<uint8_t>(value >> (8 * i));
}

void MsgBuf::Put32(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    Put32(bits);
}

void MsgBuf::PutBytes(const void* data, int32_t count) {
    if (count <= 0 || !Reserve(count)) return;
    std::memcpy(m_Base + m_Write, data, static_cast<size_t>(count));
    m_Write += count;
}

void MsgBuf::PutString(std::string_view text) {
    // A text that its 16-bit length cannot describe cannot be encoded at all.
    if (text.size() > 0xFFFF) {
        if (!m_Error) Fail();
        return;
    }
    if (!Reserve(2)) return;
    Put16(static_cast<uint16_t>(text.size()));
    PutBytes(text.data(), static_cast<int32_t>(text.size()));
}

void MsgBuf::PutString(const char* text) {
    PutString(text ? std::string_view(text) : std::string_view());
}

void MsgBuf::AppendFrom(MsgBuf& source, int32_t count) {
    const int32_t available = source.Unread();
    if (count <= 0 || count > available) count = available;
    if (count > 0 && Reserve(count)) {
        std::memmove(m_Base + m_Write, source.m_Base + source.m_Read, static_cast<size_t>(count));
        m_Write += count;
    }
    source.m_Read += count;
}

uint8_t MsgBuf::Get8() {
    if (!Take(1)) return 0;
    return m_Base[m_Read++];
}

uint16_t MsgBuf::Get16() {
    if (!Take(2)) return 0;
    uint16_t v = static_cast<uint16_t>(m_Base[m_Read] | (m_Base[m_Read + 1] << 8));
    m_Read += 2;
    return v;
}

uint32_t MsgBuf::Get32() {
    if (!Take(4)) return 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= static_cast<uint32_t>(m_Base[m_Read + i]) << (8 * i);
    m_Read += 4;
    return v;
}

float MsgBuf::GetFloat() {
    uint32_t bits = Get32();
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

bool MsgBuf::GetBool() {
    return Get8() != 0;
}

std::string MsgBuf::GetString() {
    const uint16_t length = Get16();
    if (m_Error || !Take(length)) return std::string();
    std::string text(reinterpret_cast<const char*>(m_Base + m_Read), length);
    m_Read += length;
    TrimRight(text);
    return text;
}

bool MsgBuf::GetBytes(void* out, int32_t count) {
    if (count < 0 || !Take(count)) return false;
    if (count > 0) std::memcpy(out, m_Base + m_Read, static_cast<size_t>(count));
    m_Read += count;
    return true;
}

void MsgBuf::Rewind(int32_t writePos, int32_t readPos) {
    m_Error = false;
    if (writePos < 0 || writePos > m_Capacity) {
        m_Write = m_Capacity;
        m_Error = true;
    } else {
        m_Write = writePos;
    }
    if (readPos < 0 || readPos > m_Write) {
        m_Read = m_Write;
        m_Error = true;
    } else {
        m_Read = readPos;
    }
}

void TrimRight(std::string& text) {
    size_t end = text.size();
    while (end > 0) {
        char c = text[end - 1];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f') {
            --end;
        } else {
            break;
        }
    }
    text.resize(end);
}

}  // namespace jvo
