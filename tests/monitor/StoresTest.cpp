#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "monitor/EventLogStore.h"
#include "monitor/ReadingsStore.h"

namespace jvo {
namespace {

TEST(PanelEnergyDecode, KeepsWhatFitsAndReadsPastTheRest) {
    MsgBuf buf(1024);
    buf.Put32(12.5f);
    buf.Put16(45);
    for (int i = 0; i < 45; ++i)
        buf.Put32(static_cast<float>(i));
    buf.Put16(17);
    for (int i = 0; i < 17; ++i)
        buf.Put32(static_cast<float>(100 + i));
    PanelEnergy e;
    ASSERT_TRUE(DecodePanelEnergy(buf, e));
    EXPECT_EQ(e.m_Main, 12.5f);
    ASSERT_EQ(e.m_Breakers.size(), 42u);
    EXPECT_EQ(e.m_Breakers[41], 41.0f);
    ASSERT_EQ(e.m_Subfeeds.size(), 16u);  // the subfeed count was found after the extra values
    EXPECT_EQ(e.m_Subfeeds[0], 100.0f);
    EXPECT_EQ(e.m_Subfeeds[15], 115.0f);

    MsgBuf shortBuf(64);  // claims 2 breaker values, carries one
    shortBuf.Put32(1.0f);
    shortBuf.Put16(2);
    shortBuf.Put32(3.0f);
    EXPECT_FALSE(DecodePanelEnergy(shortBuf, e));

    MsgBuf empty(64);  // n = 0 and m = 0: 8 bytes, only the main feed energy
    empty.Put32(7.0f);
    empty.Put16(0);
    empty.Put16(0);
    ASSERT_TRUE(DecodePanelEnergy(empty, e));
    EXPECT_TRUE(e.m_Breakers.empty() && e.m_Subfeeds.empty());
}

TEST(ReadingsStore, EachReplyFillsOnlyItsOwnPart) {
    ReadingsStore store;
    BreakerReading b;
    b.m_Load = 5;
    store.SetBreaker(1, 41, b);
    PanelEnergy e;
    e.m_Main = 9;
    e.m_Breakers.assign(42, 2.0f);
    e.m_Subfeeds = {3.0f};
    store.SetPanelEnergy(1, e);

    PanelReadingsReply r;
    r.m_Phase[2].m_Vll = 480;
    r.m_MainFeed.m_Power = 1500;
    r.m_PanelFlag.raw = 1;
    store.SetPanelReadings(1, r);
    b.m_Load = 6;
    store.SetBreaker(1, 41, b);  // the slot keeps its energy
    store.SetBreaker(1, 42, b);  // beyond the store: ignored
    store.SetCt(118, CtReading{1, 1, 1, 1, 1, 1});

    const ReadingsSnapshot s = store.Snapshot();
    const PanelReadings& p = s.m_Panels[1];
    EXPECT_EQ(p.m_Vll[2], 480.0f);
    EXPECT_EQ(p.m_MainFeed.m_Power, 1500.0f);
    EXPECT_EQ(p.m_PanelFlag.raw, 1);
    EXPECT_EQ(p.m_MainEnergy, 9.0f);  // the panel readings leave the energies alone
    EXPECT_EQ(p.m_Breakers[41].m_Reading.m_Load, 6.0f);
    EXPECT_EQ(p.m_Breakers[41].m_Energy, 2.0f);
    EXPECT_EQ(p.m_Subfeeds[0].m_Energy, 3.0f);
    EXPECT_EQ(p.m_Subfeeds[1].m_Energy, 0.0f);
    EXPECT_EQ(s.m_Panels[0], PanelReadings());
    EXPECT_EQ(s.m_Ct, ReadingsSnapshot().m_Ct);
}

// A reader never sees a record half written, while the worker writes as fast as it can.
TEST(ReadingsStore, ReaderSeesWholeRecords) {
    ReadingsStore store;
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (int k = 1; !stop.load(); ++k) {
            const float v = static_cast<float>(k % 1000);
            store.SetCt(17, CtReading{v, v, v, v, v, v});
            PanelReadingsReply r;
            r.m_MainFeed = SubfeedReading{v, v, v, v, v, {}, {}, {}, {}};
            store.SetPanelReadings(0, r);
        }
    });
    // The reads below must overlap the writes, however late the writer thread starts.
    while (store.Generation() == 0)
        std::this_thread::yield();
    for (int i = 0; i < 20000; ++i) {
        const CtReading c = store.Ct(17);
        ASSERT_TRUE(c.m_IRms == c.m_ICrest && c.m_IRms == c.m_Pf) << i;
        const SubfeedReading m = store.Panel(0).m_MainFeed;
        ASSERT_TRUE(m.m_Load == m.m_Pf && m.m_Power == m.m_Va) << i;
    }
    stop = true;
    writer.join();
    EXPECT_GT(store.Generation(), 0u);
}

TEST(EventLogStore, ReadsOnAcrossTheWrapAndEmptiesOnFormat) {
    EXPECT_TRUE(EventLogStore::InitialIndexes(0, 5).empty());
    EXPECT_EQ(EventLogStore::InitialIndexes(3, 1), (std::vector<uint16_t>{65535, 0, 1}));
    EXPECT_EQ(EventLogStore::InitialIndexes(65535, 65534).size(), 65535u);

    EventLogStore log;
    log.Start(2, 65534);
    EXPECT_EQ(log.Count(), 2);
    log.AppendInitial(EventRecord{65533, kEventLogFormatted, 0, 0, 0});
    log.AppendInitial(EventRecord{65534, 2000, 0, 0, 0});
    EXPECT_EQ(log.Size(), 2u);  // a format event of the first read keeps what follows it

    EXPECT_EQ(log.AdvanceIndex(), 65535);
    log.AppendPolled(EventRecord{65535, 2002, 0, 0, 0});
    EXPECT_EQ(log.AdvanceIndex(), 0);
    EXPECT_EQ(log.LastIndex(), 0);
    const uint64_t before = log.Generation();
    log.AppendPolled(EventRecord{0, kEventLogFormatted, 0xFFFFFFFFll, 0, 0});
    EXPECT_GT(log.Generation(), before);
    const std::vector<EventRecord> events = log.Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].m_Time, 0xFFFFFFFFll);
    log.AppendPolled(EventRecord{1, 2000, 0, 0, 0});
    EXPECT_EQ(log.Events().back().m_Index, 1);
}

}  // namespace
}  // namespace jvo
