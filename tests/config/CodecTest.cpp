#include "config/Codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace jvo {
namespace {

std::vector<uint8_t> Written(const MsgBuf& b) {
    return std::vector<uint8_t>(b.Base(), b.Base() + b.WritePos());
}

TEST(Codec, UnitRecordLayout) {
    UnitRecord u;
    u.m_UnitAddr = 0x1234;
    u.m_CrossConfig = 1;
    u.m_AdcFactor = 1.5f;
    u.m_IScaleFactor[15] = -2.0f;
    MsgBuf b(256);
    ASSERT_TRUE(EncodeUnit(4, b, u));
    const std::vector<uint8_t> bytes = Written(b);
    // An empty name is just its length, then the address follows directly.
    ASSERT_EQ(bytes.size(), 81u);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin(), bytes.begin() + 9)),
              (std::vector<uint8_t>{0x00, 0x00, 0x34, 0x12, 0x01, 0x00, 0x00, 0xC0, 0x3F}));
    // The last scale factor sits right before the gain factor.
    EXPECT_EQ((std::vector<uint8_t>(bytes.end() - 8, bytes.end() - 4)),
              (std::vector<uint8_t>{0x00, 0x00, 0x00, 0xC0}));
    UnitRecord back;
    ASSERT_TRUE(DecodeUnit(4, b, back));
    EXPECT_EQ(back, u);
    EXPECT_EQ(b.Unread(), 0);

    // Schema 3 has no cross-configuration byte.
    MsgBuf b3(256);
    ASSERT_TRUE(EncodeUnit(3, b3, u));
    EXPECT_EQ(b3.WritePos(), 80);
}

TEST(Codec, SubfeedPutsPositionAndPolesBeforePlacement) {
    SubfeedRecord s;
    s.m_Rating = 100;
    s.m_Placement = 2;
    s.m_Position = 5;
    s.m_Poles = 3;
    MsgBuf b(64);
    ASSERT_TRUE(EncodeSubfeed(4, b, s));
    const std::vector<uint8_t> bytes = Written(b);
    ASSERT_EQ(bytes.size(), 32u);
    EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + 2, bytes.begin() + 10)),
              (std::vector<uint8_t>{0x64, 0x00, 0x05, 0x00, 0x03, 0x00, 0x02, 0x00}));
    SubfeedRecord back;
    ASSERT_TRUE(DecodeSubfeed(4, b, back));
    EXPECT_EQ(back, s);
}

TEST(Codec, StringsLoseTrailingBlanksOnly) {
    BreakerRecord br;
    br.m_Name = "  Lights  ";
    MsgBuf b(64);
    ASSERT_TRUE(EncodeBreaker(4, b, br));
    EXPECT_EQ(b.WritePos(), 22 + 10);
    BreakerRecord back;
    ASSERT_TRUE(DecodeBreaker(4, b, back));
    EXPECT_EQ(back.m_Name, "  Lights");
}

TEST(Codec, UnknownSchemaWritesAndReadsNothing) {
    MsgBuf b(512);
    UnitRecord u;
    PanelRecord p;
    BreakerRecord br;
    SubfeedRecord s;
    CtRecord ct;
    for (int schema : {0, 2, 5}) {
        EXPECT_FALSE(EncodeUnit(schema, b, u));
        EXPECT_FALSE(EncodePanel(schema, b, p));
        EXPECT_FALSE(EncodeBreaker(schema, b, br));
        EXPECT_FALSE(EncodeSubfeed(schema, b, s));
        EXPECT_FALSE(EncodeCt(schema, b, ct));
    }
    EXPECT_EQ(b.WritePos(), 0);
    b.Put32(0xFFFFFFFFu);
    EXPECT_FALSE(DecodeCt(5, b, ct));
    EXPECT_FALSE(DecodeUnit(5, b, u));
    EXPECT_EQ(b.ReadPos(), 0);
    EXPECT_EQ(ct, CtRecord());
}

TEST(Codec, PanelRecordRoundTripAndCountLimits) {
    PanelRecord p;
    // assign(1, c), not = "c": GCC 12 at -O3 warns falsely (-Wrestrict) on the literals here.
    p.m_PanelName.assign(1, 'A');
    p.m_Installed = 1;
    p.m_Layout = 1;
    p.m_Boards = {1, 2, 3};
    p.m_HysteresisInterval = 9;
    p.m_BreakerCnt = 42;
    p.m_SubfeedCnt = 16;
    p.m_MainFeed.m_Name.assign(1, 'M');
    p.m_MainFeed.m_Ct[5] = 17;
    MsgBuf b(256);
    ASSERT_TRUE(EncodePanel(4, b, p));
    EXPECT_EQ(b.WritePos(), 79 + 1 + 1);
    PanelRecord back;
    ASSERT_TRUE(DecodePanel(4, b, back));
    EXPECT_EQ(back, p);

    for (auto [breakers, subfeeds] : {std::pair{43, 0}, std::pair{0, 17}}) {
        p.m_BreakerCnt = static_cast<uint16_t>(breakers);
        p.m_SubfeedCnt = static_cast<uint16_t>(subfeeds);
        b.Rewind(0, 0);
        ASSERT_TRUE(EncodePanel(4, b, p));
        EXPECT_FALSE(DecodePanel(4, b, back));
    }
}

TEST(Codec, ShortBufferFailsTheRecord) {
    CtRecord ct;
    ct.m_ChannelAmps = 3.0f;
    MsgBuf b(64);
    ASSERT_TRUE(EncodeCt(4, b, ct));
    EXPECT_EQ(b.WritePos(), 14);
    MsgBuf shortBuf(b.Base(), 13);
    CtRecord back;
    EXPECT_FALSE(DecodeCt(4, shortBuf, back));
    MsgBuf tiny(10);
    EXPECT_FALSE(EncodeCt(4, tiny, ct));
}

}  // namespace
}  // namespace jvo
