#pragma once
// RecBuf: a heap buffer that can grow; the unit of transfer on the TCP stream and for the proxy
// form of a transaction. Ownership travels with the pointer (through MsgFifo entries).
#include <cstdint>
#include <memory>

namespace jvo {

class RecBuf {
public:
    // Growable (or fixed) owning buffer, zeroed, cursors at the start.
    explicit RecBuf(int32_t capacity, bool growable = true);
    // Takes ownership of `area` (length bytes): full unless `empty`. Not growable.
    RecBuf(std::unique_ptr<uint8_t[]> area, int32_t length, bool empty = false);
    // Wraps an area it does not own. Not growable.
    RecBuf(uint8_t* area, int32_t length, bool empty);
    virtual ~RecBuf() = default;
    RecBuf(const RecBuf&) = delete;
    RecBuf& operator=(const RecBuf&) = delete;

    bool Put8(uint8_t value);
    bool Put16(uint16_t value);
    bool Put32(uint32_t value);
    bool PutBytes(const void* data, int32_t count);
    uint8_t Get8();
    uint16_t Get16();
    uint32_t Get32();
    // Copies `count` bytes to `out` and advances; false (error set) when fewer remain.
    bool GetBytes(void* out, int32_t count);
    // Room for n more bytes after the write cursor: compacts or grows as needed.
    bool Reserve(int32_t n);
    // Marks n bytes written directly at WritePtr() (after a Reserve).
    void Commit(int32_t n) { m_Write += n; }

    bool Error() const { return m_Error; }
    bool Growable() const { return m_Growable; }
    bool HasData() const { return m_Data != nullptr; }
    int32_t Capacity() const { return m_Capacity; }
    int32_t Length() const { return m_Write - m_Read; }
    const uint8_t* ReadPtr() const { return m_Data + m_Read; }
    uint8_t* WritePtr() { return m_Data + m_Write; }
    void Skip(int32_t n) { m_Read += (n < Length() ? n : Length()); }

private:
    bool Take(int32_t n);
    std::unique_ptr<uint8_t[]> m_Owned;
    uint8_t* m_Data = nullptr;
    int32_t m_Capacity = 0;
    int32_t m_Write = 0;
    int32_t m_Read = 0;
    bool m_Growable = false;
    bool m_Error = false;
};

}  // namespace jvo
