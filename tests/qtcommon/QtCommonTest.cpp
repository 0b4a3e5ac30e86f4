// The shared Qt pieces: options in both spellings and their refusals, the log file's bound, and a
// worker's blocking and awaited calls onto the UI thread while that thread keeps running its event
// loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <fstream>
#include <thread>

#include "qtcommon/CommandLine.h"
#include "qtcommon/LogFile.h"
#include "qtcommon/UiCall.h"
#include "tests/config/TestConfigs.h"

namespace jvo::qt {
namespace {

TEST(CommandLineTest, BothSpellingsAndTheRefusals) {
    CommandLine ok({{"com", true}, {"yes", false}});
    ASSERT_TRUE(ok.Parse({"--com=5", "--yes"}));
    int com = 0;
    EXPECT_TRUE(ok.IntValue("com", 1, 32, com));
    EXPECT_EQ(com, 5);
    EXPECT_TRUE(ok.Has("yes"));
    CommandLine spaced({{"com", true}});
    ASSERT_TRUE(spaced.Parse({"--com", "7"}));
    EXPECT_EQ(spaced.Value("com"), "7");
    EXPECT_FALSE(spaced.IntValue("com", 1, 5, com));

    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--com"},
                                                {"--com="},
                                                {"--yes=1"},
                                                {"--bogus"},
                                                {"file"},
                                                {"--com", "1", "--com", "2"}}) {
        CommandLine cl({{"com", true}, {"yes", false}});
        EXPECT_FALSE(cl.Parse(bad)) << bad.front();
        EXPECT_FALSE(cl.Error().empty());
    }
    CommandLine help({});
    ASSERT_TRUE(help.Parse({"-h"}));
    EXPECT_TRUE(help.HelpWanted());
}

TEST(CommandLineTest, TheToolkitsOwnOptionsAreKeptForIt) {
    CommandLine cl({{"com", true}, {"name", true}});
    ASSERT_TRUE(cl.Parse({"-style", "Fusion", "--com", "3", "-reverse", "--platform", "offscreen",
                          "-stylesheet=a.qss", "--name", "ours"}))
        << cl.Error();
    EXPECT_EQ(cl.Value("com"), "3");
    EXPECT_EQ(cl.Value("name"), "ours");  // a name of ours stays ours
    const std::vector<std::string> toolkit = {"-style",     "Fusion",    "-reverse",
                                              "--platform", "offscreen", "-stylesheet=a.qss"};
    EXPECT_EQ(cl.ToolkitArgs(), toolkit);

    ToolkitArgv argv("prog", cl.ToolkitArgs());
    ASSERT_EQ(argv.Argc(), 7);
    EXPECT_STREQ(argv.Argv()[0], "prog");
    EXPECT_STREQ(argv.Argv()[2], "Fusion");
    EXPECT_EQ(argv.Argv()[7], nullptr);

    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"-style"}, {"-bogus"}, {"-reverse=1"}, {"-platform", ""}}) {
        CommandLine refused({{"com", true}});
        EXPECT_FALSE(refused.Parse(bad)) << bad.front();
        EXPECT_FALSE(refused.Error().empty()) << bad.front();
    }
}

TEST(LogFileTest, KeepsAtMostTwiceItsLimitAndNamesTheStateFolder) {
    jvo::test::TempDir dir;
    ASSERT_TRUE(dir.Ok());
    const std::string path = dir.File("state/jvo/prog.log");
    {
        LogFile log(path, 1000);
        ASSERT_TRUE(log.Ok());
        for (int i = 0; i < 200; ++i)
            log.Write(("line " + std::to_string(i)).c_str());
    }
    const auto size = [](const std::string& p) {
        std::ifstream f(p, std::ios::ate | std::ios::binary);
        return f ? static_cast<int64_t>(f.tellg()) : -1;
    };
    EXPECT_LE(size(path), 1000);
    EXPECT_GT(size(path), 0);
    EXPECT_LE(size(path + ".1"), 1000);
    std::ifstream last(path);
    std::string text((std::istreambuf_iterator<char>(last)), {});
    EXPECT_NE(text.find("line 199\n"), std::string::npos);

    ::setenv("XDG_STATE_HOME", "/state", 1);
    EXPECT_EQ(DefaultLogPath("jvo-config"), "/state/jvo/jvo-config.log");
    ::setenv("XDG_STATE_HOME", "relative", 1);  // not absolute: ignored, as the convention says
    ::setenv("HOME", "/home/u", 1);
    EXPECT_EQ(DefaultLogPath("jvo-config"), "/home/u/.local/state/jvo/jvo-config.log");
}

TEST(UiCallTest, AWorkerWaitsForTheUiThreadWhichKeepsItsLoopRunning) {
    int argc = 1;
    char name[] = "qtcommon_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QObject context;
    const auto ui = std::this_thread::get_id();
    std::thread::id ranOn;
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(1);

    int awaited = 0;
    std::thread worker([&] {
        ranOn = CallOnUi(&context, [&] { return std::this_thread::get_id(); });
        // Answered later by a timer: the UI thread's loop runs (ticks go on) until then.
        awaited = AwaitOnUi<int>(&context, [&](std::function<void(int)> done) {
            const int start = ticks;
            auto* t = new QTimer(&context);
            QObject::connect(t, &QTimer::timeout, [&, t, start, done] {
                if (ticks - start < 5) return;
                t->stop();
                done(ticks - start);
            });
            t->start(1);
        });
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    worker.join();
    EXPECT_EQ(ranOn, ui);
    EXPECT_GE(awaited, 5);
    // On the UI thread itself both run at once.
    EXPECT_EQ(CallOnUi(&context, [] { return 3; }), 3);
    EXPECT_EQ(AwaitOnUi<int>(&context, [](std::function<void(int)> done) { done(4); }), 4);
}

}  // namespace
}  // namespace jvo::qt
