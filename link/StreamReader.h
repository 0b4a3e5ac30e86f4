#pragma once
// StreamReader: the receiving half of STREAM framing (link/ProxyWire.h), without any socket. The
// caller either appends what a read brought (Append, then Next for each event) or reads straight
// into Space() and reports what arrived with Took(); Space() never asks for bytes beyond the end of
// the current header or body. A body's memory grows only as its bytes arrive, and bytes beyond the
// keep limit are read but not kept.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "link/ProxyWire.h"

namespace jvo {

class StreamReader {
public:
    static constexpr size_t kHeaderSize = proxywire::kStreamHeaderSize;

    enum class Event {
        None,       // more bytes are needed
        KeepAlive,  // a header with length 0
        Message,    // a body is complete: TakeBody()
        BadMarker,  // the header's marker is wrong (Marker())
        BadLength,  // the header announces more than the length limit (Length())
    };

    // Keeps at most `keepLimit` bytes of each body; a body's area starts at `firstStep` bytes (or
    // its kept length, when smaller) and doubles from there. A header announcing more than
    // `lengthLimit` bytes (at most proxywire::kStreamMaxBody) is BadLength.
    explicit StreamReader(uint32_t keepLimit = proxywire::kStreamMaxBody,
                          uint32_t firstStep = 64 * 1024,
                          uint32_t lengthLimit = proxywire::kStreamMaxBody);

    // Bytes received in pieces of any size: Append() keeps them (call it only once the last
    // ones are taken, !HasPending()), Next() gives the events one at a time from there; what
    // follows an event waits for the next Next(). So a caller may stop after any message and
    // read its socket again only once the bytes it already read are used up.
    void Append(const uint8_t* data, size_t n);
    Event Next();
    bool HasPending() const { return m_PendingPos < m_Pending.size(); }

    // Or straight: where the next received bytes go and how many at most (always at least 1).
    uint8_t* Space(size_t& want);
    // `got` bytes (1 .. the last `want`) were written at the last Space(). After BadMarker or
    // BadLength the reader starts over with a header; a connection is normally ended then.
    Event Took(size_t got);

    // After Message: the kept bytes of the body (KeptLength() of them; the area may be null when
    // none were kept). Length() is the announced length.
    std::unique_ptr<uint8_t[]> TakeBody();
    uint32_t KeptLength() const { return m_Kept; }
    uint32_t Length() const { return m_Length; }
    uint32_t Marker() const { return m_Marker; }
    bool InBody() const { return m_InBody; }
    // Bytes still to come before the current header or body ends.
    size_t Remaining() const { return m_InBody ? m_Length - m_Have : kHeaderSize - m_HeaderHave; }
    // Bytes of memory held for the body being received and for appended bytes.
    size_t Held() const {
        return m_Capacity + (m_Scratch ? kScratchSize : 0) + m_Pending.capacity();
    }

private:
    static constexpr size_t kScratchSize = 4096;
    uint32_t KeepTarget() const { return m_Length < m_KeepLimit ? m_Length : m_KeepLimit; }

    const uint32_t m_KeepLimit;
    const uint32_t m_FirstStep;
    const uint32_t m_LengthLimit;
    uint8_t m_Header[kHeaderSize] = {};
    size_t m_HeaderHave = 0;
    bool m_InBody = false;
    bool m_Discarding = false;  // the last Space() was the scratch area
    uint32_t m_Marker = 0;
    uint32_t m_Length = 0;
    uint32_t m_Have = 0;  // body bytes received (kept or not)
    uint32_t m_Kept = 0;
    uint32_t m_Capacity = 0;
    std::unique_ptr<uint8_t[]> m_Body;
    std::unique_ptr<uint8_t[]> m_Scratch;  // where bytes beyond the keep limit go
    std::vector<uint8_t> m_Pending;        // appended bytes, from m_PendingPos on not yet taken
    size_t m_PendingPos = 0;
};

}  // namespace jvo
