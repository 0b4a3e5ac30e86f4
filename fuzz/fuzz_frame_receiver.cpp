// The frame receive state machine, fed the input in chunks of the sizes the input itself chooses
// (as a device delivers them). Every frame it delivers must be one that a plain reading of the
// whole byte stream finds: between two flags, correctly escaped, within the size limit and with a
// good check sequence.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "link/Crc16.h"
#include "link/FrameReceiver.h"

using namespace jvo;

namespace {

struct Expected {
    std::vector<uint8_t> body;
    size_t end = 0;  // the index of its closing flag
};

// The frames a plain reading of `bytes` finds, in order, with where each one ends.
std::vector<Expected> ExpectedFrames(const uint8_t* bytes, size_t n) {
    std::vector<Expected> frames;
    std::vector<uint8_t> cur;
    bool escape = false;
    bool bad = false;
    for (size_t i = 0; i < n; ++i) {
        const uint8_t b = bytes[i];
        if (b == kFrameFlag) {
            if (!bad && !escape && cur.size() >= 3 && Crc16Check(cur.data(), cur.size()))
                frames.push_back({std::vector<uint8_t>(cur.begin(), cur.end() - 2), i});
            cur.clear();
            escape = bad = false;
            continue;
        }
        if (bad) continue;
        if (escape) {
            escape = false;
            if (b == 0x5D || b == 0x5E)
                cur.push_back(static_cast<uint8_t>(b ^ kFrameEscapeXor));
            else
                bad = true;
            continue;
        }
        if (cur.size() >= static_cast<size_t>(kMaxRecvFrame)) {
            bad = true;
            continue;
        }
        if (b == kFrameEscape)
            escape = true;
        else
            cur.push_back(b);
    }
    return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte seeds the chunk sizes; the rest is the line.
    uint32_t state = data[0] | 1u;
    const uint8_t* line = data + 1;
    const size_t n = size - 1;

    // The queue holds kMaxFrames and drops what arrives beyond them, so of the frames that end
    // in one chunk (the queue is emptied after each) only the first kMaxFrames are delivered.
    const std::vector<Expected> all = ExpectedFrames(line, n);
    std::vector<std::vector<uint8_t>> expected;
    size_t next = 0;
    FrameQueue queue;
    std::vector<std::vector<uint8_t>> got;
    {
        FrameReceiver receiver(queue);
        size_t at = 0;
        while (at < n) {
            state = state * 1103515245u + 12345u;
            const size_t chunk = 1 + (state >> 16) % 300;
            const size_t take = chunk < n - at ? chunk : n - at;
            receiver.Feed(line + at, take);
            at += take;
            for (int inChunk = 0; next < all.size() && all[next].end < at; ++next, ++inChunk)
                if (inChunk < FrameQueue::kMaxFrames) expected.push_back(all[next].body);
            while (FrameBuf* f = queue.Take(0)) {
                FUZZ_CHECK(f->length >= 1 && f->length <= kMaxRecvFrame - 2);
                got.emplace_back(f->data, f->data + f->length);
                FramePool::Instance().Release(f);
            }
        }
    }
    FUZZ_CHECK(got == expected);
    return 0;
}
