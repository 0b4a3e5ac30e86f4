#pragma once
// LinkTap: a view of a link's transactions for a traffic window. A link holds no tap unless a
// window that shows the traffic is open; without one it copies nothing and calls nothing, and
// keeps only two counters (transactions, failures) for the rates beside the data's age.
#include <cstdint>
#include <string>

#include "link/LinkStatus.h"

namespace jvo {

// One transaction as the tap sees it: what went out, what came back, how it ended.
struct TrafficEntry {
    int64_t m_TimeMs = 0;  // when the request went out, milliseconds since 1970 (UTC)
    uint8_t m_Command = 0;
    int m_Sequence = -1;          // the frame's sequence number; -1 where the proxy server has it
    uint32_t m_RequestBytes = 0;  // payload, the command code included
    uint32_t m_ReplyBytes = 0;    // payload, the reply code included; 0 when none came
    int m_ReplyCode = -1;         // -1 when no reply came
    LinkResult m_Result = LinkResult::Done;  // Refused when a reply came with another code
    std::string m_Detail;
    int32_t m_RoundTripMs = 0;

    bool Failed() const { return m_Result != LinkResult::Done; }
};

class LinkTap {
public:
    virtual ~LinkTap() = default;
    // Called on the transacting thread, after the transaction, with the link's lock held: keep it
    // short and never call back into the link.
    virtual void OnTransaction(const TrafficEntry& entry) = 0;
};

}  // namespace jvo
