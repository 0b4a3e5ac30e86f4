// The worker's mailbox and the notification queue on their own.
#include <gtest/gtest.h>

#include <thread>

#include "monitor/Notify.h"
#include "monitor/PolledIPC.h"

namespace jvo::monitor {
namespace {

TEST(PolledIPC, PostWaitsForTheReplyAndPollNeverWaits) {
    CPolledIPC ipc;
    int cmd = -1, param = -1;
    EXPECT_FALSE(ipc.Poll(cmd, param));
    std::thread worker([&] {
        int c = 0, p = 0;
        ASSERT_TRUE(ipc.Wait(c, p));
        ipc.Reply(c == PollCmdStart && p == 7 ? 0 : 9);
        while (!ipc.Poll(c, p))
            std::this_thread::yield();
        ipc.Reply(c == PollCmdStop ? 0 : 1);
    });
    EXPECT_EQ(ipc.Post(PollCmdStart, 7), 0);
    EXPECT_EQ(ipc.Post(PollCmdStop, 0), 0);
    worker.join();
    // Nobody answers: a bounded post gives up, and the next one does not see a stale reply.
    EXPECT_EQ(ipc.Post(5, 0, 20), -1);
    ipc.Reply(1);  // late answer to the abandoned post
    ASSERT_TRUE(ipc.Poll(cmd, param));
    std::thread late([&] {
        int c = 0, p = 0;
        ASSERT_TRUE(ipc.Wait(c, p));
        ipc.Reply(c * 10);
    });
    EXPECT_EQ(ipc.Post(4, 0), 40);
    late.join();
}

TEST(NotifyQueue, MergesPerRowKeepsOrderAndWakesOncePerBatch) {
    int wakes = 0;
    NotifyQueue q([&] { ++wakes; });
    q.Post(WM_APP_BREAKER_READING, 0, 3);
    q.PostText(WM_APP_CLOCK_TEXT, "old");
    q.Post(WM_APP_LINK_TROUBLE, TROUBLE_NOT_ANSWERING, 1);
    q.Post(WM_APP_BREAKER_READING, 1, 3);
    q.Post(WM_APP_BREAKER_READING, 0, 3);                   // merged into the first
    q.PostText(WM_APP_CLOCK_TEXT, "new");                   // replaces the waiting text
    q.Post(WM_APP_LINK_TROUBLE, TROUBLE_NOT_ANSWERING, 0);  // trouble is never merged
    q.Post(WM_APP_EVENTLOG_CHANGED, 1);  // the event log window is closed: dropped
    EXPECT_EQ(wakes, 1);
    const std::vector<Notification> batch = q.Take();
    const std::vector<Notification> expected = {
        {WM_APP_BREAKER_READING, 0, 3, ""},
        {WM_APP_CLOCK_TEXT, 0, 0, "new"},
        {WM_APP_LINK_TROUBLE, TROUBLE_NOT_ANSWERING, 1, ""},
        {WM_APP_BREAKER_READING, 1, 3, ""},
        {WM_APP_LINK_TROUBLE, TROUBLE_NOT_ANSWERING, 0, ""},
    };
    EXPECT_EQ(batch, expected);
    q.SetEventLogWindowOpen(true);
    q.Post(WM_APP_EVENTLOG_CHANGED, 1);
    EXPECT_EQ(wakes, 2);
    EXPECT_EQ(q.Take(), (std::vector<Notification>{{WM_APP_EVENTLOG_CHANGED, 1, 0, ""}}));
    EXPECT_EQ(q.Waiting(), 0u);
}

}  // namespace
}  // namespace jvo::monitor
