// A unit that answers late never leaves the link one reply behind: every successful transaction
// carries the answer to its own request.
#include <gtest/gtest.h>

#include <chrono>

#include "link/Pty.h"
#include "tests/link/unit/SimFixture.h"

namespace jvo::test {
namespace {

using Ms = std::chrono::milliseconds;

TEST_F(SimLinkTest, LateRepliesNeverShiftTheAnswers) {
    UnitClient client(&link, 0);
    int ok = 0, failed = 0;
    const uint32_t delays[] = {240, 260, 500, 1000};
    for (uint32_t late : delays) {
        sim::SerialFaults faults;
        faults.lateFraction = 0.05;
        faults.lateMs = late;
        faults.seed = late;
        port.SetFaults(faults);
        for (int i = 0; i < 500; ++i) {
            const uint8_t ct = static_cast<uint8_t>((i * 7 + late) % kCtCount);
            CtRecord rec;
            if (client.GetCtRecord(0, ct, rec)) {
                ++ok;
                ASSERT_EQ(rec.m_Primary, 1000 + ct) << "answer to another request";
            } else {
                ++failed;
            }
        }
    }
    EXPECT_GT(ok, 1800);
    EXPECT_GT(failed, 0);
}

TEST(UnitLinkTiming, SilentUnitTimesOutAfterTheReplyTimeout) {
    Pty pty;
    ASSERT_TRUE(pty.Open());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(pty.SlavePath(), 115200));
    UnitClient client(&link, 0);
    uint16_t version;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(client.GetSchemaVersion(version));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, Ms(245));
    EXPECT_LT(took, Ms(3000));
}

}  // namespace
}  // namespace jvo::test
