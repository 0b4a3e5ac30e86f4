// The proxy client's reply handling: a STREAM body from the server (status, payload length,
// payload) taken into a reply buffer the size the client uses, or a smaller one the input picks.
// A reply is taken only when the status is set, the announced payload arrived in full and fits;
// then the buffer holds exactly those bytes after what it held before.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "fuzz/FuzzCheck.h"
#include "link/AppLog.h"
#include "link/ProxyReply.h"

using namespace jvo;

// Refused replies are logged; formatting stays covered, but the lines would swamp the run's output.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    CAppLog::Instance().SetDebugChannel(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int32_t capacity = (data[0] & 0x80) ? 1200 : data[0] * 9;
    const int32_t already = capacity > 0 ? data[0] % 5 % (capacity + 1) : 0;
    ++data;
    --size;

    std::unique_ptr<uint8_t[]> area(new uint8_t[size > 0 ? size : 1]);
    if (size > 0) std::memcpy(area.get(), data, size);
    RecBuf body(std::move(area), static_cast<int32_t>(size));
    MsgBuf reply(capacity);
    for (int32_t i = 0; i < already; ++i)
        reply.Put8(0xA5);
    const bool ok = TakeProxyReply(body, reply);

    const bool headerOk = size >= 3 && data[0] != 0;
    const size_t payload = size >= 3 ? static_cast<size_t>(data[1] | data[2] << 8) : 0;
    const bool expected =
        headerOk && payload <= size - 3 && already + payload <= static_cast<size_t>(capacity);
    FUZZ_CHECK(ok == expected);
    if (!ok) return 0;
    FUZZ_CHECK(reply.WritePos() == already + static_cast<int32_t>(payload));
    FUZZ_CHECK(payload == 0 || std::memcmp(reply.Base() + already, data + 3, payload) == 0);
    return 0;
}
