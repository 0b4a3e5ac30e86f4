#pragma once
// IUnitBackend: how the proxy server reaches a unit. The server calls it one transaction at a
// time: from its unit thread, or, while AnswersAtOnce() holds and the unit thread is idle, from
// its event loop (which saves two thread hand-overs per transaction).
#include <cstdint>
#include <vector>

namespace jvo {

class IUnitBackend {
public:
    virtual ~IUnitBackend() = default;
    // One request payload (command code + arguments) to unit `address`; fills the reply payload
    // (reply code + results). False when no reply came within timeoutMs.
    virtual bool Transact(uint8_t address, const uint8_t* request, int32_t length,
                          std::vector<uint8_t>& reply, int32_t timeoutMs) = 0;
    // The server is stopping: end a transaction in progress soon (from another thread). A backend
    // whose transactions always end soon need not do anything.
    virtual void Stop() {}
    // True when the next transaction will end at once, without waiting for a line or a time-out
    // (an in-process unit without pacing or delays). Asked before each request; false keeps
    // every transaction on the unit thread.
    virtual bool AnswersAtOnce() const { return false; }
};

}  // namespace jvo
