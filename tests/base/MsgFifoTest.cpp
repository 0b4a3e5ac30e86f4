#include "base/MsgFifo.h"

#include <gtest/gtest.h>

#include <thread>

namespace jvo {
namespace {

TEST(MsgFifo, ReadyEventFollowsContents) {
    MsgFifo q;
    int32_t code = -1;
    EXPECT_FALSE(q.Pop(&code));
    EXPECT_FALSE(q.ReadyEvent().IsSet());
    q.Push(1001, std::make_unique<RecBuf>(4));
    q.Push(1000);
    EXPECT_TRUE(q.ReadyEvent().IsSet());
    std::unique_ptr<RecBuf> buf;
    EXPECT_TRUE(q.Pop(&code, &buf));
    EXPECT_EQ(code, 1001);
    EXPECT_NE(buf, nullptr);
    EXPECT_TRUE(q.ReadyEvent().IsSet());
    EXPECT_TRUE(q.Pop(&code, &buf));
    EXPECT_EQ(code, 1000);
    EXPECT_EQ(buf, nullptr);
    EXPECT_FALSE(q.ReadyEvent().IsSet());
}

TEST(MsgFifo, WaitWakesOnPushFromAnotherThread) {
    MsgFifo q;
    EXPECT_FALSE(q.Wait(0));
    std::thread t([&] { q.Push(5); });
    EXPECT_TRUE(q.Wait(5000));
    t.join();
    MsgFifo::Entry e;
    ASSERT_TRUE(q.Pop(e));
    EXPECT_EQ(e.code, 5);
}

TEST(SyncEvent, AutoResetIsTakenByOneWait) {
    SyncEvent e(SyncEvent::Reset::Auto);
    e.Set();
    EXPECT_TRUE(e.Wait(0));
    EXPECT_FALSE(e.Wait(0));
    SyncEvent m(SyncEvent::Reset::Manual, true);
    EXPECT_TRUE(m.Wait(0));
    EXPECT_TRUE(m.Wait(0));
    m.Clear();
    EXPECT_FALSE(m.Wait(10));
}

}  // namespace
}  // namespace jvo
