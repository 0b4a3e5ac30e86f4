// Configuration files against damage and against a save that is cut short.
#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "config/ConfigFile.h"
#include "sim/SimConfigs.h"

namespace jvo {
namespace {

std::vector<uint8_t> Image(const UnitConfig& c) {
    std::vector<uint8_t> image;
    EXPECT_TRUE(EncodeConfigFile(c, image));
    return image;
}

std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A fresh folder under `root`, or under JVO_TEST_TMP (else /tmp) when `root` is not usable.
std::string MakeDir(const char* name, std::string root = {}) {
    if (root.empty() || ::access(root.c_str(), W_OK) != 0) {
        const char* base = std::getenv("JVO_TEST_TMP");
        root = base && *base ? base : "/tmp";
    }
    std::filesystem::create_directories(root);
    std::string dir = root + "/" + name + "-XXXXXX";
    return ::mkdtemp(dir.data()) ? dir : std::string();
}

// These tests run on one thread, where ThreadSanitizer has nothing to find: there one bit of every
// byte is flipped instead of all eight, and fewer saves are killed.
#if defined(__SANITIZE_THREAD__)
constexpr size_t kBitStep = 8;
constexpr int kKillRounds = 300;
#else
constexpr int kKillRounds = 1000;
constexpr size_t kBitStep = 1;
#endif

// Every single-bit flip of the demo and factory configurations either loads, into a
// configuration that saves and loads again to itself, or is refused. Flips in the length field
// can never load. (Every truncation is covered by the configuration file tests.)
TEST(DamagedFiles, EverySingleBitFlipOfRealConfigurationsLoadsOrIsRefused) {
    for (const UnitConfig& config : {sim::MakeDemoConfig(), sim::MakeFactoryConfig()}) {
        const std::vector<uint8_t> good = Image(config);
        int loaded = 0;
        int refused = 0;
        std::vector<uint8_t> bad = good;
        for (size_t bit = 0; bit < good.size() * 8; bit += kBitStep) {
            bad = good;
            bad[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
            UnitConfig c;
            if (DecodeConfigFile(c, bad.data(), bad.size())) {
                ASSERT_GE(bit, 32u);
                if (loaded++ % 16 != 0) continue;  // a sample is saved and loaded again
                const std::vector<uint8_t> again = Image(c);
                UnitConfig c2;
                ASSERT_TRUE(DecodeConfigFile(c2, again.data(), again.size())) << bit;
                ASSERT_EQ(Image(c2), again) << bit;
            } else {
                ++refused;
            }
        }
        EXPECT_GT(loaded, 0);
        EXPECT_GT(refused, 32);
    }
}

// Leftovers of saves that were killed: their temporary files.
int RemoveTemporaries(const std::string& dir) {
    int removed = 0;
    DIR* d = ::opendir(dir.c_str());
    if (!d) return 0;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name.rfind(".jvo-save-", 0) == 0) {
            ::unlink((dir + "/" + name).c_str());
            ++removed;
        }
    }
    ::closedir(d);
    return removed;
}

// A child process saves two configurations in turn without end and is killed at a random moment;
// the file must then hold one of the two, complete. The folder is on a memory file system where
// one is available: a killed process leaves the page cache intact, so a disk adds nothing to what
// is tested here, only a wait for every sync (which also holds off the kill).
TEST(KilledSave, LeavesTheOldOrTheNewFileNeverAPartialOne) {
    const std::string dir = MakeDir("jvo-killed-save", "/dev/shm");
    ASSERT_FALSE(dir.empty());
    const std::string path = dir + "/unit.jvo.cfg";
    UnitConfig a = sim::MakeDemoConfig();
    UnitConfig b = sim::MakeFactoryConfig();
    b.m_Unit.m_UnitName = std::string(3000, 'B');  // a file of a different size
    const std::vector<uint8_t> imageA = Image(a);
    const std::vector<uint8_t> imageB = Image(b);
    ASSERT_TRUE(SaveConfigFile(a, path));

    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(SaveConfigFile(i % 2 ? a : b, path));
    const auto saveUs =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0)
            .count() /
        5;
    ASSERT_TRUE(SaveConfigFile(a, path));

    // The kills should land within the first few saves. How long a save takes in the child is not
    // known beforehand (a loaded machine, a sanitizer's copy-on-write after the fork), so the
    // window grows while the child completes none and shrinks while it completes many.
    std::mt19937 rng(1000);
    double windowUs = static_cast<double>(2 * saveUs + 300);
    int changed = 0;
    for (int round = 0; round < kKillRounds; ++round) {
        const std::vector<uint8_t> before = ReadFile(path);
        // The child says when it runs and after every save it completed.
        int done[2];
        ASSERT_EQ(::pipe(done), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(done[0]);
            const char mark = 1;
            if (::write(done[1], &mark, 1) != 1) ::_exit(1);
            for (int i = 0;; ++i) {
                SaveConfigFile((i % 2 == 0) == (before == imageA) ? b : a, path);
                if (::write(done[1], &mark, 1) != 1) ::_exit(1);
            }
        }
        ::close(done[1]);
        char marks[256];
        ASSERT_EQ(::read(done[0], marks, 1), 1);  // the child runs
        ::usleep(static_cast<useconds_t>(rng() % static_cast<uint32_t>(windowUs)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        int saves = 0;
        for (ssize_t n; (n = ::read(done[0], marks, sizeof marks)) > 0;)
            saves += static_cast<int>(n);
        ::close(done[0]);
        if (saves == 0) windowUs = std::min(windowUs * 1.5, 1e6);
        if (saves > 4) windowUs = std::max(windowUs / 1.5, 100.0);

        const std::vector<uint8_t> after = ReadFile(path);
        ASSERT_TRUE(after == imageA || after == imageB)
            << "round " << round << ": " << after.size() << " bytes";
        if (after != before) ++changed;
        RemoveTemporaries(dir);
    }
    EXPECT_GT(changed, 0);  // the kills did not all come before the first save was done
    UnitConfig loaded;
    EXPECT_TRUE(LoadConfigFile(loaded, path));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace jvo
