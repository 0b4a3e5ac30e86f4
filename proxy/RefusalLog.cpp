#include "proxy/RefusalLog.h"

#include <iterator>

namespace jvo {

bool RefusalLog::ShouldLog(uint32_t peer, uint8_t reason, uint64_t nowMs, uint32_t& unlogged) {
    const uint64_t interval = static_cast<uint64_t>(m_IntervalMs > 0 ? m_IntervalMs : 0);
    const uint64_t key = (static_cast<uint64_t>(peer) << 8) | reason;
    auto it = m_Notes.find(key);
    if (it != m_Notes.end() && nowMs >= it->second.loggedMs &&
        nowMs - it->second.loggedMs < interval) {
        ++it->second.unlogged;
        return false;
    }
    if (it == m_Notes.end() && m_Notes.size() >= kMaxPeers) {
        for (auto n = m_Notes.begin(); n != m_Notes.end();)
            n = nowMs - n->second.loggedMs >= interval ? m_Notes.erase(n) : std::next(n);
        if (m_Notes.size() >= kMaxPeers) m_Notes.clear();  // a flood of peers: start over
    }
    Note& note = m_Notes[key];
    unlogged = note.unlogged;
    note = Note{nowMs, 0};
    return true;
}

}  // namespace jvo
