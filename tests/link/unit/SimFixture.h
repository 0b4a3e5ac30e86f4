#pragma once
// A simulated unit on a pseudo-terminal with a UnitLink opened on it.
#include <gtest/gtest.h>

#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace jvo::test {

// The demo configuration with a distinct primary rating on every channel, so that a reply tells
// which channel it describes.
inline UnitConfig MarkedConfig() {
    UnitConfig c = sim::MakeDemoConfig();
    for (int i = 0; i < kCtCount; ++i)
        c.m_Ct[i].m_Primary = static_cast<uint16_t>(1000 + i);
    return c;
}

class SimLinkTest : public ::testing::Test {
protected:
    explicit SimLinkTest(UnitConfig config = MarkedConfig(), sim::SimOptions options = {},
                         sim::SerialOptions serial = {})
        : unit(SystemClock::Instance(), std::move(config), options), port(unit, serial) {}

    void SetUp() override {
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), 115200));
    }

    sim::SimUnit unit;
    sim::SimSerialPort port;
    UnitLink link;
};

}  // namespace jvo::test
