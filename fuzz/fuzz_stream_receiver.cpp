// The STREAM receiver of the TCP socket worker (and of the proxy server, with its smaller keep
// limit), fed the input in recv-sized pieces the input chooses, appended or read into its space.
// The events and bodies must be those of a plain reading of the whole stream, and a body's memory
// must never run ahead of the bytes that arrived by more than its first step.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "link/StreamReader.h"

using namespace jvo;

namespace {

struct Seen {
    StreamReader::Event event;
    uint32_t length;
    std::vector<uint8_t> kept;
    bool operator==(const Seen&) const = default;
};

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// What a receiver must report for `n` bytes, up to the first bad header (which ends a
// connection). A body cut off by the end of the input reports nothing.
std::vector<Seen> Expected(const uint8_t* p, size_t n, uint32_t keep) {
    std::vector<Seen> out;
    size_t at = 0;
    while (n - at >= 8) {
        const uint32_t marker = Le32(p + at);
        const uint32_t length = Le32(p + at + 4);
        at += 8;
        if (marker != proxywire::kStreamMarker) {
            out.push_back({StreamReader::Event::BadMarker, length, {}});
            return out;
        }
        if (length == 0) {
            out.push_back({StreamReader::Event::KeepAlive, 0, {}});
            continue;
        }
        if (length > proxywire::kStreamMaxBody) {
            out.push_back({StreamReader::Event::BadLength, length, {}});
            return out;
        }
        if (n - at < length) return out;
        const size_t k = std::min<size_t>(length, keep);
        out.push_back({StreamReader::Event::Message, length, {p + at, p + at + k}});
        at += length;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // First byte: keep limit (whole bodies or the proxy server's request limit), first step, and
    // whether the pieces are appended (as a socket's reads are) or read into Space(); second:
    // seed of the piece sizes.
    const uint32_t keep = (data[0] & 1) ? 65538u : proxywire::kStreamMaxBody;
    const uint32_t step = (data[0] & 2) ? 256u : 64u * 1024u;
    const bool append = (data[0] & 4) != 0;
    uint32_t state = data[1] | 1u;
    data += 2;
    size -= 2;

    StreamReader reader(keep, step);
    std::vector<Seen> seen;
    bool ended = false;
    auto take = [&](StreamReader::Event event) {
        switch (event) {
            case StreamReader::Event::None:
                break;
            case StreamReader::Event::KeepAlive:
                seen.push_back({event, 0, {}});
                break;
            case StreamReader::Event::BadMarker:
            case StreamReader::Event::BadLength:
                seen.push_back({event, reader.Length(), {}});
                ended = true;
                break;
            case StreamReader::Event::Message: {
                std::unique_ptr<uint8_t[]> body = reader.TakeBody();
                const uint32_t kept = reader.KeptLength();
                FUZZ_CHECK(kept == std::min(reader.Length(), keep));
                FUZZ_CHECK(kept == 0 || body);
                std::vector<uint8_t> bytes;
                if (kept > 0) bytes.assign(body.get(), body.get() + kept);
                seen.push_back({event, reader.Length(), std::move(bytes)});
                break;
            }
        }
    };
    size_t at = 0;
    while (at < size && !ended) {
        state = state * 1103515245u + 12345u;
        const size_t piece = 1 + (state >> 16) % 97;
        if (append) {
            // A read's bytes, then its events one at a time, as a caller that may stop after any.
            const size_t got = std::min(piece, size - at);
            reader.Append(data + at, got);
            at += got;
            StreamReader::Event event;
            while (!ended && (event = reader.Next()) != StreamReader::Event::None)
                take(event);
            FUZZ_CHECK(ended || !reader.HasPending());
            continue;
        }
        size_t want = 0;
        uint8_t* into = reader.Space(want);
        FUZZ_CHECK(want >= 1 && want <= reader.Remaining());
        FUZZ_CHECK(reader.Held() <= 4096 + std::max<size_t>(step, 2 * size));
        const size_t got = std::min({want, piece, size - at});
        std::memcpy(into, data + at, got);
        at += got;
        take(reader.Took(got));
    }
    FUZZ_CHECK(seen == Expected(data, size, keep));
    return 0;
}
