// The jvo-exporter program under its signals: SIGHUP reads the configuration again, SIGTERM ends
// it at once.
#include <signal.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>

#include "tests/Spawn.h"
#include "tests/config/TestConfigs.h"
#include "tests/exporter/ScrapeUtil.h"
#include "tests/monitor/PollTestUtil.h"

extern char** environ;

namespace jvo::test {
namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(ExporterProgramTest, SighupReloadsTheUnitsAndSigtermEndsItAtOnce) {
    TempDir dir;
    ASSERT_TRUE(dir.Ok());
    ::setenv("JVO_PORT_DIR", dir.File("ports").c_str(), 1);
    const std::string conf = dir.File("exporter.conf"), log = dir.File("stderr.log");
    std::ofstream(conf) << "listen .:0\na=com:9\n";

    // Standard error to the log.
    const pid_t pid = test::Spawn(EXPORTER_PATH, {"--config", conf}, {"/dev/null", log});
    ASSERT_GT(pid, 0);

    uint16_t port = 0;
    ASSERT_TRUE(WaitUntil([&] {
        const std::string text = ReadAll(log);
        const size_t at = text.find("metrics on http://127.0.0.1:");
        if (at == std::string::npos) return false;
        port = static_cast<uint16_t>(std::atoi(text.c_str() + at + 28));
        return true;
    })) << ReadAll(log);
    EXPECT_EQ(Samples(Scrape(port)).count("jvo_up{unit=\"a\"}"), 1u);

    std::ofstream(conf) << "listen .:0\na=com:9\nb=com:10\n";
    ASSERT_EQ(::kill(pid, SIGHUP), 0);
    EXPECT_TRUE(WaitUntil([&] { return Samples(Scrape(port)).count("jvo_up{unit=\"b\"}") == 1; }));
    EXPECT_TRUE(WaitUntil([&] {
        return ReadAll(log).find("reloaded: 2 unit(s): 1 new, 0 removed") != std::string::npos;
    })) << ReadAll(log);
    // A bad file is refused and the running units stay.
    std::ofstream(conf) << "a=com:9\nb=serial:10\n";
    ASSERT_EQ(::kill(pid, SIGHUP), 0);
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(log).find("reload refused") != std::string::npos; }))
        << ReadAll(log);
    EXPECT_EQ(Samples(Scrape(port)).count("jvo_up{unit=\"b\"}"), 1u);

    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
}  // namespace jvo::test
