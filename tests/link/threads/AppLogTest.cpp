#include "link/AppLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

TEST(AppLog, LevelsAboveTheLogLevelAreNotEmitted) {
    LogCapture log(1);
    JVO_LOG2("TcpSocket::WorkerThread(0x%X) Thread terminated normally", 0x1234u);
    JVO_LOG3("trace %d", 3);
    EXPECT_TRUE(log.Lines().empty());
    JVO_LOG1("TcpSocket::SendMsg() Link not running (state=%d)", 2);
    JVO_LOG0("TcpSocket::WorkerThread(0x%X) %d.%03d second IDLE timeout", 0xABu, 10, 0);
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "TcpSocket::SendMsg() Link not running (state=2)",
                               "TcpSocket::WorkerThread(0xAB) 10.000 second IDLE timeout"}));
    CAppLog::Instance().SetLevel(2);
    JVO_LOG2("TcpSocket::WorkerThread(0x%X) Thread terminated normally", 0x1234u);
    EXPECT_TRUE(log.HasLine("TcpSocket::WorkerThread(0x1234) Thread terminated normally"));
}

TEST(AppLog, FormatThatDoesNotFitGivesTheErrorLine) {
    LogCapture log(1);
    const char* format = "count %d of %s";
    CAppLog::Instance().WriteRt(1, format, "text", 5);
    CAppLog::Instance().WriteRt(1, nullptr, 1);
    CAppLog::Instance().WriteRt(1, "%n");
    CAppLog::Instance().WriteRt(2, "%d", "not shown: level 2 is above the log level");
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "APPLOG ERROR: Invalid arguments: 'format'=\"count %d of %s\"",
                               "APPLOG ERROR: Invalid arguments: 'format' is invalid",
                               "APPLOG ERROR: Invalid arguments: 'format'=\"%n\""}));
    CAppLog::Instance().WriteRt(1, format, 5, "text");
    EXPECT_TRUE(log.HasLine("count 5 of text"));
}

TEST(AppLog, EverySinkGetsEveryLineInOrderUntilRemoved) {
    LogCapture first(1);
    LogCapture second(1);
    JVO_LOG1("one %s", "a");
    CAppLog::Instance().RemoveSink(&first);
    JVO_LOG1("two %s", "b");
    EXPECT_EQ(first.Lines(), std::vector<std::string>{"one a"});
    EXPECT_EQ(second.Lines(), (std::vector<std::string>{"one a", "two b"}));
}

TEST(AppLog, LinesFromManyThreadsStayWholeAndInOrder) {
    LogCapture log(1);
    CAppLog::Instance().SetDebugChannel(false);
    constexpr int kThreads = 4;
    constexpr int kLines = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                JVO_LOG1("thread %d line %d %s", t, i, "end");
        });
    }
    for (auto& th : threads)
        th.join();
    CAppLog::Instance().SetDebugChannel(true);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
    int next[kThreads] = {};
    for (const auto& line : lines) {
        int t = -1;
        int i = -1;
        char end[8] = {};
        ASSERT_EQ(std::sscanf(line.c_str(), "thread %d line %d %7s", &t, &i, end), 3) << line;
        ASSERT_TRUE(t >= 0 && t < kThreads);
        EXPECT_EQ(i, next[t]++);
        EXPECT_STREQ(end, "end");
    }
}

}  // namespace
}  // namespace jvo
