// Whole-configuration transfers over the serial link, against the simulated unit.
#include <gtest/gtest.h>

#include "link/ConfigTransfer.h"
#include "tests/link/unit/SimFixture.h"

namespace jvo::test {
namespace {

struct RecordingProgress : IProgress {
    std::vector<int> ranges;
    int pos = 0;
    int maxPos = 0;
    void ProgressRange(int upper) override { ranges.push_back(upper); }
    void ProgressPos(int p) override {
        pos = p;
        maxPos = std::max(maxPos, p);
    }
};

// The configuration as a transfer from the unit delivers it: entries beyond the counts default.
UnitConfig AsTransferred(const UnitConfig& c) {
    UnitConfig t = c;
    for (PanelRecord& p : t.m_Panels) {
        for (int i = p.m_BreakerCnt; i < kMaxBreakers; ++i)
            p.m_Breakers[i] = BreakerRecord();
        for (int i = p.m_SubfeedCnt; i < kMaxSubfeeds; ++i)
            p.m_Subfeeds[i] = SubfeedRecord();
    }
    return t;
}

TEST_F(SimLinkTest, ReadConfigReadsTheWholeConfiguration) {
    UnitClient client(&link, 0);
    UnitConfig read;
    RecordingProgress progress;
    const uint64_t before = unit.Transactions();
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, &progress));
    EXPECT_EQ(read, AsTransferred(unit.Current()));
    const UnitConfig& c = unit.Current();
    const int records = 121 + c.m_Panels[0].m_BreakerCnt + c.m_Panels[0].m_SubfeedCnt +
                        c.m_Panels[1].m_BreakerCnt + c.m_Panels[1].m_SubfeedCnt;
    EXPECT_EQ(unit.Transactions() - before, static_cast<uint64_t>(records));
    ASSERT_EQ(progress.ranges.size(), 3u);
    EXPECT_EQ(progress.ranges[0], 237);
    EXPECT_EQ(progress.ranges.back(), records);
    EXPECT_EQ(progress.pos, records);
}

TEST_F(SimLinkTest, ArgumentChecksComeBeforeAnyRequest) {
    UnitClient client(&link, 0);
    UnitConfig read;
    const uint64_t before = port.FramesReceived();
    EXPECT_FALSE(ReadConfig(client, read, 2, 10, nullptr));
    EXPECT_FALSE(ReadConfig(client, read, 0, 0, nullptr));
    EXPECT_FALSE(ReadConfig(client, read, 0, 101, nullptr));
    EXPECT_FALSE(WriteConfig(client, read, 0, nullptr));
    EXPECT_EQ(port.FramesReceived(), before);
}

TEST_F(SimLinkTest, WriteThenCommitMakesTheConfigurationCurrent) {
    UnitClient client(&link, 0);
    UnitConfig c = unit.Current();
    c.m_Unit.m_UnitName = "WRITTEN";
    c.m_Panels[1].m_Breakers[0].m_Rating = 77;
    c.m_Ct[100].m_ChannelAmps = 1.25f;
    RecordingProgress progress;
    ASSERT_TRUE(WriteConfig(client, c, 10, &progress));
    EXPECT_EQ(progress.ranges.front(), progress.pos);
    EXPECT_NE(unit.Current().m_Unit.m_UnitName, "WRITTEN");
    ASSERT_TRUE(client.CommitConfig());
    UnitConfig read;
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, nullptr));
    EXPECT_EQ(read, AsTransferred(c));
}

class EmptyUnitTest : public SimLinkTest {
protected:
    EmptyUnitTest() : SimLinkTest(UnitConfig()) {}
};

TEST_F(EmptyUnitTest, AllCountsZeroTransfers121Records) {
    UnitClient client(&link, 0);
    UnitConfig read;
    RecordingProgress progress;
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, &progress));
    EXPECT_EQ(unit.Transactions(), 121u);
    EXPECT_EQ(progress.ranges.back(), 121);
}

UnitConfig FortyTen() {
    UnitConfig c;
    c.m_Panels[0].m_BreakerCnt = 40;
    c.m_Panels[0].m_SubfeedCnt = 10;
    return c;
}

class FortyTenTest : public SimLinkTest {
protected:
    FortyTenTest() : SimLinkTest(FortyTen()) {}
};

TEST_F(FortyTenTest, ProgressRangeFollowsTheCounts) {
    UnitClient client(&link, 0);
    UnitConfig read;
    RecordingProgress progress;
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, &progress));
    ASSERT_GE(progress.ranges.size(), 2u);
    EXPECT_EQ(progress.ranges[0], 237);
    EXPECT_EQ(progress.ranges[1], 229);
    EXPECT_EQ(progress.ranges.back(), 171);
}

sim::SerialOptions Noisy() {
    sim::SerialOptions o;
    o.faults.dropFraction = 0.10;
    o.faults.corruptFraction = 0.10;
    o.faults.seed = 7;
    return o;
}

class NoisyLineTest : public SimLinkTest {
protected:
    NoisyLineTest() : SimLinkTest(MarkedConfig(), {}, Noisy()) {}
};

TEST_F(NoisyLineTest, ReadConfigSucceedsDespiteDroppedAndCorruptedReplies) {
    UnitClient client(&link, 0);
    client.SetReplyTimeoutMs(100);  // dropped replies cost a time-out each; keep the test short
    UnitConfig read;
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, nullptr));
    EXPECT_EQ(read, AsTransferred(unit.Current()));
    EXPECT_GT(link.Port().CrcErrors() + link.Port().BadEscapes() + link.Port().ShortFrames(), 0u);
}

}  // namespace
}  // namespace jvo::test
