#include "base/MsgBuf.h"

#include <gtest/gtest.h>

#include <vector>

namespace jvo {
namespace {

std::vector<uint8_t> Bytes(const MsgBuf& b) {
    return std::vector<uint8_t>(b.Base(), b.Base() + b.WritePos());
}

TEST(MsgBuf, LittleEndianPutsAndGets) {
    MsgBuf b(16);
    b.Put16(0x1234);
    b.Put32(0x01020304u);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0x34, 0x12, 0x04, 0x03, 0x02, 0x01}));
    EXPECT_EQ(b.Get16(), 0x1234);
    EXPECT_EQ(b.Get32(), 0x01020304u);
    EXPECT_FALSE(b.Error());
    b.Rewind(0, 0);
    b.Put32(1.5f);
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0x00, 0x00, 0xC0, 0x3F}));
    EXPECT_FLOAT_EQ(b.GetFloat(), 1.5f);
}

TEST(MsgBuf, ErrorIsStickyAndMovesWriteCursorToEnd) {
    MsgBuf b(3);
    b.Put16(1);
    EXPECT_FALSE(b.Error());
    b.Put16(2);
    EXPECT_TRUE(b.Error());
    EXPECT_EQ(b.WritePos(), 3);
    b.Put8(7);  // one byte would fit, but the error is sticky
    EXPECT_EQ(b.Base()[2], 0);
    EXPECT_EQ(b.Unread(), 0);
    EXPECT_EQ(b.Free(), 0);
    EXPECT_EQ(b.Get8(), 0);
}

TEST(MsgBuf, ReadPastEndSetsErrorAndReturnsZero) {
    uint8_t data[] = {0x01};
    MsgBuf b(data, 1);
    EXPECT_EQ(b.Get16(), 0);
    EXPECT_TRUE(b.Error());
    EXPECT_EQ(b.Get8(), 0);  // even though one byte is there
    EXPECT_FALSE(b.GetBool());
}

TEST(MsgBuf, GetStringTrimsTrailingWhiteSpaceOnly) {
    uint8_t data[] = {0x05, 0x00, ' ', 'A', 'B', ' ', '\t'};
    MsgBuf b(data, sizeof data);
    EXPECT_EQ(b.GetString(), " AB");
    EXPECT_FALSE(b.Error());

    uint8_t ab[] = {0x03, 0x00, 0x41, 0x42, 0x20};
    MsgBuf c(ab, sizeof ab);
    EXPECT_EQ(c.GetString(), "AB");

    uint8_t shortData[] = {0x05, 0x00, 0x41, 0x42};
    MsgBuf d(shortData, sizeof shortData);
    EXPECT_EQ(d.GetString(), "");
    EXPECT_TRUE(d.Error());
}

TEST(MsgBuf, PutStringWritesLengthAndBytes) {
    MsgBuf b(8);
    b.PutString("");
    EXPECT_EQ(Bytes(b), (std::vector<uint8_t>{0, 0}));
    b.PutString(static_cast<const char*>(nullptr));
    EXPECT_EQ(b.WritePos(), 4);
    b.PutString("ABCDE");  // length fits, bytes do not
    EXPECT_TRUE(b.Error());

    MsgBuf one(1);
    one.PutString("A");  // not even the length fits
    EXPECT_TRUE(one.Error());

    MsgBuf big(70000);
    big.PutString(std::string(65536, 'x'));  // its length cannot be described in 16 bits
    EXPECT_TRUE(big.Error());
}

TEST(MsgBuf, AppendFromCopiesAndAlwaysAdvancesSource) {
    uint8_t data[] = {1, 2, 3, 4, 5};
    MsgBuf src(data, 5);
    MsgBuf dst(8);
    dst.AppendFrom(src, 0);  // 0 means all
    EXPECT_EQ(Bytes(dst), (std::vector<uint8_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(src.Unread(), 0);

    MsgBuf src2(data, 5);
    MsgBuf small(2);
    small.AppendFrom(src2, 3);
    EXPECT_TRUE(small.Error());
    EXPECT_EQ(src2.ReadPos(), 3);  // advanced although the copy did not fit

    MsgBuf src3(data, 5);
    MsgBuf dst3(8);
    dst3.AppendFrom(src3, 99);  // more than available means all
    EXPECT_EQ(dst3.WritePos(), 5);
}

TEST(MsgBuf, RewindRules) {
    MsgBuf b(4);
    b.Rewind(5, 0);
    EXPECT_TRUE(b.Error());
    EXPECT_EQ(b.WritePos(), 4);
    b.Rewind(2, 3);
    EXPECT_TRUE(b.Error());
    EXPECT_EQ(b.ReadPos(), 2);
    b.Rewind(3, 1);
    EXPECT_FALSE(b.Error());
    EXPECT_EQ(b.Unread(), 2);
}

}  // namespace
}  // namespace jvo
