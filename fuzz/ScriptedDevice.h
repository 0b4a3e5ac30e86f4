#pragma once
// A serial device whose far end is the harness: every frame the link writes is handed to a
// callback on the writing thread, which answers by Deliver()ing bytes before the write returns.
// The transaction that sent it reads the device itself while it waits for its reply, so with a
// reply time-out of 0 it sees the frames its request provoked, with no real waits.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace jvo::fuzz {

// Called with the stuffed bytes of each frame the link sends.
void SetFarEnd(std::function<void(const uint8_t* data, size_t count)> farEnd);
// Bytes for the link's reader (call from the far end).
void Deliver(const uint8_t* data, size_t count);

}  // namespace jvo::fuzz
