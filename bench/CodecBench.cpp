// jvo-bench-codec: the frame codec's throughput in MB/s (of frame bodies), for insight: the
// CRC-16/X.25 as the link computes it, a plain table-driven CRC loop over the same bytes, the
// stuffing into a wire frame, and the receive state machine over wire frames (unstuffing, the
// check and the queue).
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "link/Crc16.h"
#include "link/FrameReceiver.h"

namespace {

using namespace jvo;

// Frame bodies as the line carries them: random bytes, with the flag and escape values as often
// as any other byte.
std::vector<uint8_t> Body(size_t n) {
    std::mt19937 random(7);
    std::vector<uint8_t> b(n);
    for (uint8_t& v : b)
        v = static_cast<uint8_t>(random());
    return b;
}

void SetBytes(benchmark::State& state, size_t perIteration) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * perIteration));
}

void BM_Crc16(benchmark::State& state) {
    const std::vector<uint8_t> body = Body(static_cast<size_t>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(Crc16Compute(body.data(), body.size()));
    SetBytes(state, body.size());
}

// The textbook loop with a table of its own, as a reference for the link's CRC.
void BM_PlainTableCrc(benchmark::State& state) {
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            unsigned v = i;
            for (int bit = 0; bit < 8; ++bit)
                v = (v & 1) ? (v >> 1) ^ 0x8408 : v >> 1;
            t[i] = static_cast<uint16_t>(v);
        }
        return t;
    }();
    const std::vector<uint8_t> body = Body(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        uint16_t crc = 0xFFFF;
        for (uint8_t b : body)
            crc = static_cast<uint16_t>((crc >> 8) ^ table[(crc ^ b) & 0xFF]);
        benchmark::DoNotOptimize(static_cast<uint16_t>(~crc));
    }
    SetBytes(state, body.size());
}

void BM_Stuff(benchmark::State& state) {
    const std::vector<uint8_t> body = Body(static_cast<size_t>(state.range(0)));
    std::vector<uint8_t> wire(kMaxWireFrame);
    for (auto _ : state)
        benchmark::DoNotOptimize(
            BuildWireFrame(body.data(), body.size(), wire.data(), wire.size()));
    SetBytes(state, body.size());
}

// Check sequence and stuffing: what SendFrame does before the write.
void BM_Encode(benchmark::State& state) {
    std::vector<uint8_t> body = Body(static_cast<size_t>(state.range(0)));
    const size_t n = body.size();
    body.resize(n + 2);
    std::vector<uint8_t> wire(kMaxWireFrame);
    for (auto _ : state) {
        const uint16_t fcs = Crc16Compute(body.data(), n);
        body[n] = static_cast<uint8_t>(fcs);
        body[n + 1] = static_cast<uint8_t>(fcs >> 8);
        benchmark::DoNotOptimize(BuildWireFrame(body.data(), n + 2, wire.data(), wire.size()));
    }
    SetBytes(state, n);
}

// The receive state machine over a whole wire frame: unstuffing, the check, queueing the body
// (taken out again at once, as the link would).
void BM_Decode(benchmark::State& state) {
    std::vector<uint8_t> body = Body(static_cast<size_t>(state.range(0)));
    const size_t n = body.size();
    const uint16_t fcs = Crc16Compute(body.data(), n);
    body.push_back(static_cast<uint8_t>(fcs));
    body.push_back(static_cast<uint8_t>(fcs >> 8));
    std::vector<uint8_t> wire(kMaxWireFrame);
    const size_t w = BuildWireFrame(body.data(), body.size(), wire.data(), wire.size());
    FramePool::Instance().SetUp();
    FrameQueue queue;
    FrameReceiver receiver(queue);
    for (auto _ : state) {
        receiver.Feed(wire.data(), w);
        FrameBuf* frame = queue.Take(0);
        if (!frame) {
            state.SkipWithError("a frame was not received");
            break;
        }
        FramePool::Instance().Release(frame);
    }
    SetBytes(state, n);
}

}  // namespace

BENCHMARK(BM_Crc16)->Arg(32)->Arg(1200);
BENCHMARK(BM_PlainTableCrc)->Arg(32)->Arg(1200);
BENCHMARK(BM_Stuff)->Arg(32)->Arg(1200);
BENCHMARK(BM_Encode)->Arg(32)->Arg(1200);
BENCHMARK(BM_Decode)->Arg(32)->Arg(1200);

BENCHMARK_MAIN();
