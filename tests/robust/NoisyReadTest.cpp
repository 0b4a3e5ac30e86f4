// Whole-configuration reads over a noisy line: the simulated unit on a pseudo-terminal loses 10 %
// of its replies and damages another 10 %. With a short reply time-out every read must still
// succeed, and deliver exactly the unit's configuration (a damaged or stale reply taken as an
// answer would show up as a wrong record).
#include <gtest/gtest.h>

#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace jvo {
namespace {

UnitConfig AsTransferred(UnitConfig c) {
    for (PanelRecord& p : c.m_Panels) {
        for (int i = p.m_BreakerCnt; i < kMaxBreakers; ++i)
            p.m_Breakers[i] = BreakerRecord();
        for (int i = p.m_SubfeedCnt; i < kMaxSubfeeds; ++i)
            p.m_Subfeeds[i] = SubfeedRecord();
    }
    return c;
}

TEST(NoisyLine, ReadConfigSucceedsEveryTimeWithLostAndDamagedReplies) {
    UnitConfig config = sim::MakeFactoryConfig();
    for (int i = 0; i < kCtCount; ++i)  // every channel record tells which channel it is
        config.m_Ct[i].m_Primary = static_cast<uint16_t>(1000 + i);
    sim::SimUnit unit(SystemClock::Instance(), config);
    sim::SerialOptions options;
    options.faults.dropFraction = 0.1;
    options.faults.corruptFraction = 0.1;
    options.faults.seed = 15;
    sim::SimSerialPort port(unit, options);
    ASSERT_TRUE(port.Start());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), kDefaultBaud));

    const UnitConfig expected = AsTransferred(unit.Current());
    const uint64_t framesBefore = port.FramesReceived();
    int succeeded = 0;
    for (int round = 0; round < 100; ++round) {
        UnitClient client(&link, 0);
        client.SetReplyTimeoutMs(4);
        UnitConfig read;
        // The noise alone needs about 10 attempts per record; the rest is room for a machine that
        // stalls for a moment, which turns good replies into stale ones.
        if (ReadConfig(client, read, 0, 100, nullptr) && read == expected) ++succeeded;
    }
    EXPECT_EQ(succeeded, 100);
    // The faults were there: far more requests than records went out.
    const uint64_t requests = port.FramesReceived() - framesBefore;
    EXPECT_GT(requests, 100u * 121u * 11u / 10u);
}

}  // namespace
}  // namespace jvo
