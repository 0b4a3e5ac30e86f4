#include "base/RecBuf.h"

#include <gtest/gtest.h>

#include <vector>

namespace jvo {
namespace {

TEST(RecBuf, GrowsFromZeroToAtLeast256ThenDoubles) {
    RecBuf b(0);
    EXPECT_FALSE(b.HasData());
    EXPECT_TRUE(b.Put8(1));
    EXPECT_EQ(b.Capacity(), 256);

    RecBuf c(256);
    std::vector<uint8_t> bytes(300, 0xAB);
    EXPECT_TRUE(c.PutBytes(bytes.data(), 300));
    EXPECT_EQ(c.Capacity(), 512);
    EXPECT_EQ(c.Length(), 300);

    RecBuf d(10);
    std::vector<uint8_t> many(1000, 1);
    EXPECT_TRUE(d.PutBytes(many.data(), 1000));
    EXPECT_EQ(d.Capacity(), 1000);  // doubling is not enough: exactly what is needed
}

TEST(RecBuf, CompactsBeforeGrowing) {
    RecBuf b(8);
    for (int i = 0; i < 8; ++i)
        b.Put8(static_cast<uint8_t>(i));
    EXPECT_EQ(b.Get16(), 0x0100);
    EXPECT_EQ(b.Get8(), 2);
    // 5 unread + 2 new < 8: the unread bytes move to the start instead of growing.
    EXPECT_TRUE(b.Put16(0xBEEF));
    EXPECT_EQ(b.Capacity(), 8);
    EXPECT_EQ(b.Length(), 7);
    EXPECT_EQ(b.ReadPtr()[0], 3);
    EXPECT_EQ(b.ReadPtr()[5], 0xEF);
}

TEST(RecBuf, FixedBufferFailsWhenFullAndKeepsError) {
    uint8_t area[2];
    RecBuf b(area, 2, true);
    EXPECT_TRUE(b.Put16(7));
    EXPECT_FALSE(b.Put8(1));
    EXPECT_TRUE(b.Error());
    EXPECT_FALSE(b.Put8(1));
    EXPECT_EQ(b.Get8(), 0);  // reads return 0 while the error is set
}

TEST(RecBuf, WrappedOwnedAreaIsFullAndReadable) {
    auto area = std::make_unique<uint8_t[]>(3);
    area[0] = 0x34;
    area[1] = 0x12;
    area[2] = 9;
    RecBuf b(std::move(area), 3);
    EXPECT_EQ(b.Length(), 3);
    EXPECT_EQ(b.Get16(), 0x1234);
    EXPECT_EQ(b.Get8(), 9);
    EXPECT_EQ(b.Get8(), 0);
    EXPECT_TRUE(b.Error());
}

}  // namespace
}  // namespace jvo
