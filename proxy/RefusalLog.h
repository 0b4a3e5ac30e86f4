#pragma once
// RefusalLog: a refusal is logged once per peer address, reason and interval, so that a peer that
// knocks again and again (or a crowd of them) cannot fill the log. The note that is written says
// how many refusals of that peer went unlogged before it.
#include <cstddef>
#include <cstdint>
#include <unordered_map>

namespace jvo {

class RefusalLog {
public:
    explicit RefusalLog(int32_t intervalMs) : m_IntervalMs(intervalMs) {}

    // True when the refusal of `peer` for `reason` at nowMs is to be logged; `unlogged` is then
    // the number of its refusals since the last note.
    bool ShouldLog(uint32_t peer, uint8_t reason, uint64_t nowMs, uint32_t& unlogged);

private:
    struct Note {
        uint64_t loggedMs = 0;
        uint32_t unlogged = 0;
    };
    static constexpr size_t kMaxPeers = 4096;  // beyond this, notes older than the interval go

    const int32_t m_IntervalMs;
    std::unordered_map<uint64_t, Note> m_Notes;
};

}  // namespace jvo
