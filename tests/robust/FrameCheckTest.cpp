// The frame check against line errors: every single-bit and every double-bit error in the body
// and check sequence of frames up to 64 bytes must be rejected, by the check itself and by the
// receiver that unstuffs the damaged frame from the line.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "link/Crc16.h"
#include "link/FrameReceiver.h"

namespace jvo {
namespace {

// A body of `length` bytes (flags and escapes included, so that damage can create and remove
// them) followed by its check sequence.
std::vector<uint8_t> CheckedFrame(size_t length, std::mt19937& rng) {
    std::vector<uint8_t> f(length);
    for (uint8_t& b : f)
        b = static_cast<uint8_t>(rng() % 4 == 0 ? (rng() & 1 ? kFrameFlag : kFrameEscape) : rng());
    const uint16_t fcs = Crc16Compute(f.data(), f.size());
    f.push_back(static_cast<uint8_t>(fcs & 0xFF));
    f.push_back(static_cast<uint8_t>(fcs >> 8));
    return f;
}

// These loops run on one thread: under ThreadSanitizer, which has nothing to find in them, the
// second bit of each pair takes every fifth position only.
#if defined(__SANITIZE_THREAD__)
constexpr size_t kSecondBitStep = 5;
#else
constexpr size_t kSecondBitStep = 1;
#endif

TEST(FrameCheck, EverySingleAndDoubleBitErrorIsRejected) {
    std::mt19937 rng(7);
    uint64_t damaged = 0;
    for (size_t total = 3; total <= 64; ++total) {  // body and check sequence
        std::vector<uint8_t> f = CheckedFrame(total - 2, rng);
        ASSERT_TRUE(Crc16Check(f.data(), f.size()));
        const size_t bits = f.size() * 8;
        for (size_t i = 0; i < bits; ++i) {
            f[i / 8] ^= static_cast<uint8_t>(1u << (i % 8));
            ASSERT_FALSE(Crc16Check(f.data(), f.size())) << total << " bit " << i;
            for (size_t j = i + 1; j < bits; j += kSecondBitStep) {
                f[j / 8] ^= static_cast<uint8_t>(1u << (j % 8));
                ASSERT_FALSE(Crc16Check(f.data(), f.size())) << total << " bits " << i << ", " << j;
                f[j / 8] ^= static_cast<uint8_t>(1u << (j % 8));
                ++damaged;
            }
            f[i / 8] ^= static_cast<uint8_t>(1u << (i % 8));
        }
    }
    EXPECT_GT(damaged, 1000000u / kSecondBitStep);
}

// The same damage on the line: the receiver delivers none of the damaged frames, and the good
// frame sent after each of them still arrives (the damage never swallows the next frame).
TEST(FrameCheck, TheReceiverDeliversNoDamagedFrame) {
    std::mt19937 rng(11);
    FrameQueue queue;
    FrameReceiver receiver(queue);
    std::vector<uint8_t> wire(kMaxWireFrame);
    const std::vector<uint8_t> good = CheckedFrame(10, rng);
    const size_t goodN = BuildWireFrame(good.data(), good.size(), wire.data(), wire.size());
    const std::vector<uint8_t> goodWire(wire.begin(), wire.begin() + static_cast<long>(goodN));
    for (size_t total = 3; total <= 64; total += 3) {
        std::vector<uint8_t> f = CheckedFrame(total - 2, rng);
        const size_t bits = f.size() * 8;
        for (size_t i = 0; i < bits; ++i) {
            // single (j == i) and double errors
            for (size_t j = i; j < bits; j += kSecondBitStep * (1 + (i + j) % 7)) {
                std::vector<uint8_t> bad = f;
                bad[i / 8] ^= static_cast<uint8_t>(1u << (i % 8));
                if (j != i) bad[j / 8] ^= static_cast<uint8_t>(1u << (j % 8));
                const size_t n = BuildWireFrame(bad.data(), bad.size(), wire.data(), wire.size());
                receiver.Feed(wire.data(), n);
                receiver.Feed(goodWire.data(), goodWire.size());
                FrameBuf* got = queue.Take(0);
                ASSERT_NE(got, nullptr) << total << " bits " << i << ", " << j;
                EXPECT_EQ(std::vector<uint8_t>(got->data, got->data + got->length),
                          std::vector<uint8_t>(good.begin(), good.end() - 2));
                FramePool::Instance().Release(got);
                ASSERT_EQ(queue.Count(), 0) << total << " bits " << i << ", " << j;
            }
        }
    }
    EXPECT_GT(receiver.CrcErrors(), 10000u);
}

}  // namespace
}  // namespace jvo
