#pragma once
// MsgBuf: a fixed byte area with one write cursor, one read cursor and a sticky error flag.
// Every request, reply and configuration record is written and read through it. A step that does
// not fit sets m_Error; every later step is a no-op, and the caller checks the flag once at the
// end.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace jvo {

class MsgBuf {
public:
    // Owning buffer of the given capacity, empty.
    explicit MsgBuf(int32_t capacity);
    // Wraps an existing area of `length` bytes without owning it: full, ready to be read.
    // Writing into a wrapped area starts with Rewind(0, 0).
    MsgBuf(uint8_t* area, int32_t length);
    MsgBuf(const MsgBuf&) = delete;
    MsgBuf& operator=(const MsgBuf&) = delete;

    void Put8(uint8_t value);
    void Put16(uint16_t value);
    void Put32(uint32_t value);
    void Put32(float value);
    void PutBytes(const void* data, int32_t count);
    void PutString(std::string_view text);
    void PutString(const char* text);
    // Copies `count` unread bytes of `source` (0, or more than it holds, means all of them). The
    // source's read cursor advances by that count even when the copy does not fit here.
    void AppendFrom(MsgBuf& source, int32_t count = 0);

    uint8_t Get8();
    uint16_t Get16();
    uint32_t Get32();
    float GetFloat();
    bool GetBool();
    // A 16-bit length, then that many bytes; trailing white space is removed.
    std::string GetString();
    // Copies `count` bytes to `out`; on a short buffer sets the error and copies nothing.
    bool GetBytes(void* out, int32_t count);

    // Clears the error, then places the cursors (offsets from the start of the area).
    void Rewind(int32_t writePos, int32_t readPos);

    bool Error() const { return m_Error; }
    int32_t Capacity() const { return m_Capacity; }
    int32_t WritePos() const { return m_Write; }
    int32_t ReadPos() const { return m_Read; }
    // Unread bytes and free space; both 0 while the error flag is set.
    int32_t Unread() const { return m_Error ? 0 : m_Write - m_Read; }
    int32_t Free() const { return m_Error ? 0 : m_Capacity - m_Write; }
    const uint8_t* Base() const { return m_Base; }
    uint8_t* Base() { return m_Base; }
    const uint8_t* ReadPtr() const { return m_Base + m_Read; }

private:
    bool Reserve(int32_t n);  // true when n bytes fit; else sets the error, cursor to the end
    bool Take(int32_t n);     // true when n unread bytes remain; else sets the error
    void Fail();              // sets the error and puts the write cursor at the end

    std::unique_ptr<uint8_t[]> m_Owned;
    uint8_t* m_Base = nullptr;
    int32_t m_Capacity = 0;
    int32_t m_Read = 0;
    int32_t m_Write = 0;
    bool m_Error = false;
};

// Removes trailing white space (space, tab, CR, LF, VT, FF) in place.
void TrimRight(std::string& text);

}  // namespace jvo
