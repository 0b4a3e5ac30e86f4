// The simulated unit's COM pin: it takes only a free number (or a dangling pin) and removes only
// its own pin.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "base/Clock.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "tests/link/serial/SerialTestUtil.h"

namespace jvo::test {
namespace {

std::string Target(const std::string& link) {
    std::error_code ec;
    return std::filesystem::read_symlink(link, ec).string();
}

TEST(SimPin, ForeignPinsAreLeftAlone) {
    TempDir dir;
    ASSERT_FALSE(dir.Path().empty());
    const std::string adapter = dir / "ttyUSB0";  // stands for the user's real adapter
    std::ofstream(adapter) << "";
    ASSERT_EQ(::symlink(adapter.c_str(), (dir / "com5").c_str()), 0);
    ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "com6").c_str()), 0);  // dangling

    sim::SimUnit unit(SystemClock::Instance(), sim::MakeDemoConfig());
    sim::SimSerialPort first(unit), second(unit), third(unit);
    ASSERT_TRUE(first.Start() && second.Start() && third.Start());
    std::string why;
    EXPECT_FALSE(first.Pin(5, dir.Path(), &why));
    EXPECT_NE(why.find("com5"), std::string::npos) << why;
    EXPECT_EQ(Target(dir / "com5"), adapter);

    ASSERT_TRUE(first.Pin(6, dir.Path()));  // the dangling pin is replaced
    EXPECT_EQ(Target(dir / "com6"), first.DevicePath());
    EXPECT_FALSE(second.Pin(6, dir.Path()));  // a running simulator's pin
    EXPECT_EQ(Target(dir / "com6"), first.DevicePath());

    ASSERT_TRUE(third.Pin(7, dir.Path()));
    third.Stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dir / "com7")));

    // The user re-pins COM6 while the first simulator runs: its exit leaves the new pin.
    ASSERT_EQ(::unlink((dir / "com6").c_str()), 0);
    ASSERT_EQ(::symlink(adapter.c_str(), (dir / "com6").c_str()), 0);
    first.Stop();
    EXPECT_EQ(Target(dir / "com6"), adapter);
}

}  // namespace
}  // namespace jvo::test
