// CRC, stuffing, the receive state machine, the receive queue and the frame pool, driven directly
// with bytes (no device).
#include <gtest/gtest.h>

#include <cstring>

#include "link/Crc16.h"
#include "link/FrameBuf.h"
#include "link/FrameReceiver.h"
#include "tests/link/serial/SerialTestUtil.h"

namespace jvo {
namespace {

using test::Bytes;
using test::Stuff;
using test::Wire;
using test::WithFcs;

Bytes BuildWire(const Bytes& body) {
    Bytes raw = body;
    const uint16_t fcs = Crc16Compute(raw.data(), raw.size());
    raw.push_back(static_cast<uint8_t>(fcs & 0xFF));
    raw.push_back(static_cast<uint8_t>(fcs >> 8));
    Bytes out(kMaxWireFrame);
    out.resize(BuildWireFrame(raw.data(), raw.size(), out.data(), out.size()));
    return out;
}

Bytes Body(const FrameBuf* f) {
    return Bytes(f->data, f->data + f->length);
}

TEST(Crc16, TableAndKnownValues) {
    const uint16_t* t = Crc16Table();
    EXPECT_EQ(t[0], 0x0000);
    EXPECT_EQ(t[1], 0x1189);
    EXPECT_EQ(t[2], 0x2312);
    EXPECT_EQ(t[128], 0x8408);
    // The catalogued check value of CRC-16/X.25 over "123456789".
    const char* digits = "123456789";
    EXPECT_EQ(Crc16Compute(reinterpret_cast<const uint8_t*>(digits), 9), 0x906E);
    EXPECT_EQ(Crc16Compute(nullptr, 0), 0x0000);  // ~0xFFFF
}

TEST(Crc16, BodyWithCheckBytesGivesResidueAndSwappedBytesFail) {
    for (size_t len : {1u, 2u, 5u, 64u, 1200u}) {
        Bytes body(len);
        for (size_t i = 0; i < len; ++i)
            body[i] = static_cast<uint8_t>(i * 37 + len);
        Bytes framed = WithFcs(body);
        ASSERT_EQ(Crc16Compute(body.data(), body.size()), framed[len] | (framed[len + 1] << 8));
        EXPECT_EQ(Crc16Update(kCrc16Init, framed.data(), framed.size()), kCrc16Good) << len;
        EXPECT_TRUE(Crc16Check(framed.data(), framed.size()));
        if (framed[len] != framed[len + 1]) {
            std::swap(framed[len], framed[len + 1]);
            EXPECT_FALSE(Crc16Check(framed.data(), framed.size())) << len;
        }
    }
}

TEST(Stuffing, OnlyFlagAndEscapeAreEscaped) {
    const Bytes raw = {0x7E, 0x01, 0x7D, 0x11, 0x13, 0x00, 0x5D, 0x5E, 0xFF};
    uint8_t out[64];
    const size_t n = BuildWireFrame(raw.data(), raw.size(), out, sizeof out);
    const Bytes expect = {0x7E, 0x7D, 0x5E, 0x01, 0x7D, 0x5D, 0x11,
                          0x13, 0x00, 0x5D, 0x5E, 0xFF, 0x7E};
    EXPECT_EQ(Bytes(out, out + n), expect);
    // Too small a target is refused rather than overrun.
    EXPECT_EQ(BuildWireFrame(raw.data(), raw.size(), out, expect.size() - 1), 0u);
    EXPECT_EQ(BuildWireFrame(raw.data(), raw.size(), out, expect.size()), expect.size());
    // A full buffer of escaped bytes fits the documented worst case.
    Bytes worst(kFrameBufSize, 0x7E);
    Bytes big(kMaxWireFrame);
    EXPECT_EQ(BuildWireFrame(worst.data(), worst.size(), big.data(), big.size()), kMaxWireFrame);
}

TEST(Stuffing, WireVectorsOfTheUnitProtocol) {
    // GetSchemaVersion request to unit 0, sequence 5, and the reply carrying version 4.
    EXPECT_EQ(BuildWire({0x00, 0xFE, 0x05, 0x02, 0x94}),
              (Bytes{0x7E, 0x00, 0xFE, 0x05, 0x02, 0x94, 0xBE, 0xCE, 0x7E}));
    EXPECT_EQ(BuildWire({0xFE, 0x00, 0x05, 0x02, 0x64, 0x04, 0x00}),
              (Bytes{0x7E, 0xFE, 0x00, 0x05, 0x02, 0x64, 0x04, 0x00, 0x6E, 0x83, 0x7E}));
    // GetStatus with sequence 0x7E: the sequence byte is stuffed.
    EXPECT_EQ(BuildWire({0x00, 0xFE, 0x7E, 0x02, 0x47}),
              (Bytes{0x7E, 0x00, 0xFE, 0x7D, 0x5E, 0x02, 0x47, 0xD6, 0x83, 0x7E}));
}

class ReceiverTest : public ::testing::Test {
protected:
    void SetUp() override { FramePool::Instance().SetUp(); }
    void Feed(const Bytes& bytes) { rx.Feed(bytes.data(), bytes.size()); }
    // Takes the next queued frame's body; fails the test when there is none.
    Bytes Next() {
        FrameBuf* f = queue.Take(0);
        EXPECT_NE(f, nullptr);
        if (!f) return {};
        EXPECT_EQ(f->link, f);
        Bytes b = Body(f);
        FramePool::Instance().Release(f);
        return b;
    }
    void ExpectCounters(uint32_t esc, uint32_t shrt, uint32_t over, uint32_t crc) {
        EXPECT_EQ(rx.BadEscapes(), esc);
        EXPECT_EQ(rx.ShortFrames(), shrt);
        EXPECT_EQ(rx.Overruns(), over);
        EXPECT_EQ(rx.CrcErrors(), crc);
    }
    FrameQueue queue;
    FrameReceiver rx{queue};
};

TEST_F(ReceiverTest, RoundTripOfBodiesWithFlagAndEscapeBytes) {
    const Bytes body = {0x7E, 0x7D, 0x7E, 0x7E, 0x11, 0x13, 0x00, 0x7D};
    Feed(BuildWire(body));
    EXPECT_EQ(Next(), body);
    // Fed one byte at a time, across two frames.
    const Bytes second = {0x01, 0x02, 0x03};
    for (uint8_t b : BuildWire(second))
        rx.Feed(b);
    EXPECT_EQ(Next(), second);
    EXPECT_EQ(queue.Count(), 0);
    ExpectCounters(0, 0, 0, 0);
}

TEST_F(ReceiverTest, FlagsAndShortFrames) {
    Feed({0x7E, 0x7E, 0x7E, 0x7E});
    EXPECT_EQ(queue.Count(), 0);
    ExpectCounters(0, 0, 0, 0);
    Feed({0x7E, 0x41, 0x7E});
    Feed({0x42, 0x43, 0x7E});
    ExpectCounters(0, 2, 0, 0);
    // Three bytes: one body byte and a good check sequence.
    Feed(Wire({0x5A}));
    EXPECT_EQ(Next(), Bytes{0x5A});
    // An escaped byte counts once unstuffed: 7D 5E + 2 check bytes is a 3-byte frame.
    Feed(Wire({0x7E}));
    EXPECT_EQ(Next(), Bytes{0x7E});
    ExpectCounters(0, 2, 0, 0);
}

TEST_F(ReceiverTest, CrcErrorsAndSwappedCheckBytes) {
    Bytes raw = WithFcs({0x10, 0x20, 0x30});
    std::swap(raw[3], raw[4]);
    Feed(Stuff(raw));
    Bytes corrupt = WithFcs({0x10, 0x20, 0x30});
    corrupt[1] ^= 0x04;
    Feed(Stuff(corrupt));
    EXPECT_EQ(queue.Count(), 0);
    ExpectCounters(0, 0, 0, 2);
    Feed(Wire({0x10, 0x20, 0x30}));
    EXPECT_EQ(Next(), (Bytes{0x10, 0x20, 0x30}));
}

TEST_F(ReceiverTest, BadEscapeDiscardsUpToTheNextFlag) {
    // 7D 41 spoils the frame; everything up to the flag is ignored, even a would-be escape.
    Feed({0x7E, 0x01, 0x02, 0x7D, 0x41, 0x03, 0x7D, 0x7D, 0x04});
    ExpectCounters(1, 0, 0, 0);
    Feed(Wire({0x09, 0x08, 0x07}));
    EXPECT_EQ(Next(), (Bytes{0x09, 0x08, 0x07}));
    // Escape directly followed by a flag: counted, and the flag still opens the next frame.
    Feed({0x01, 0x02, 0x03, 0x7D});
    Feed(Wire({0x0A, 0x0B}));
    EXPECT_EQ(Next(), (Bytes{0x0A, 0x0B}));
    ExpectCounters(2, 0, 0, 0);
    EXPECT_EQ(queue.Count(), 0);
}

TEST_F(ReceiverTest, FrameSizeLimit) {
    // 1200-byte body + 2 check bytes = 1202 unstuffed bytes: delivered.
    Bytes body(1200);
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<uint8_t>(i);  // some 7D/7E
    Feed(Wire(body));
    EXPECT_EQ(Next(), body);
    // One more byte: overrun, counted once, and the next frame is received.
    body.push_back(0x55);
    Feed(Wire(body));
    EXPECT_EQ(queue.Count(), 0);
    ExpectCounters(0, 0, 1, 0);
    // Overrun where the 1203rd byte is an escape.
    Bytes escaped(1202, 0x33);
    escaped.push_back(0x7D);
    Feed(Stuff(escaped));
    ExpectCounters(0, 0, 2, 0);
    Feed(Wire({0x01, 0x02}));
    EXPECT_EQ(Next(), (Bytes{0x01, 0x02}));
    ExpectCounters(0, 0, 2, 0);
}

TEST_F(ReceiverTest, QueueKeepsSixteenFramesAndFreesTheSeventeenth) {
    FramePool& pool = FramePool::Instance();
    const int32_t freedBefore = pool.CreatedCount() - pool.LiveCount();
    for (int i = 0; i < 17; ++i)
        Feed(Wire({static_cast<uint8_t>(i), 0xA0, 0xB0}));
    EXPECT_EQ(queue.Count(), 16);
    // The 17th buffer was freed, not kept in the pool.
    EXPECT_EQ(pool.CreatedCount() - pool.LiveCount(), freedBefore + 1);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Next(), (Bytes{static_cast<uint8_t>(i), 0xA0, 0xB0}));
    EXPECT_EQ(queue.Take(0), nullptr);
    EXPECT_FALSE(queue.FramesWaiting());
    ExpectCounters(0, 0, 0, 0);
}

TEST(FramePool, AcquireReleaseAndGrowth) {
    FramePool& pool = FramePool::Instance();
    pool.SetUp();
    EXPECT_GE(pool.CreatedCount(), FramePool::kInitialBuffers);
    pool.SetUp();  // a second set-up adds nothing
    const int32_t created = pool.CreatedCount();
    const int32_t free = pool.FreeCount();

    // Drain the free list, then one more is made on demand.
    std::vector<FrameBuf*> held;
    for (int32_t i = 0; i <= free; ++i) {
        FrameBuf* f = pool.Acquire();
        EXPECT_EQ(f->link, f);
        EXPECT_EQ(f->length, 0);
        f->length = 99;
        held.push_back(f);
    }
    EXPECT_EQ(pool.FreeCount(), 0);
    EXPECT_EQ(pool.CreatedCount(), created + 1);

    // Null and linked buffers are left alone; self-linked ones go back.
    pool.Release(nullptr);
    FrameBuf* linked = held[0];
    linked->link = held[1];
    pool.Release(linked);
    EXPECT_EQ(pool.FreeCount(), 0);
    linked->link = linked;
    for (FrameBuf* f : held)
        pool.Release(f);
    EXPECT_EQ(pool.FreeCount(), free + 1);
    // A reused buffer comes back empty.
    FrameBuf* again = pool.Acquire();
    EXPECT_EQ(again->length, 0);
    EXPECT_EQ(again->link, again);
    pool.Release(again);
    EXPECT_EQ(pool.CreatedCount(), created + 1);
}

}  // namespace
}  // namespace jvo
