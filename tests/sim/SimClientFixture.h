#pragma once
// A simulated unit on its own manual clock, served on a pseudo-terminal, with a UnitLink and a
// UnitClient opened on it: every command goes over the real serial path while the test decides
// when the unit's time moves.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "link/UnitClient.h"
#include "link/UnitLink.h"
#include "sim/SimConfigs.h"
#include "sim/SimSerial.h"
#include "sim/SimUnit.h"

namespace jvo::test {

// Noon of a day, UTC: the middle of the daily swing's high.
constexpr int64_t kNoon = 1'700'049'600;

inline sim::SimOptions SeededOptions(uint32_t seed = 7) {
    sim::SimOptions o;
    o.meter.seed = seed;
    return o;
}

class SimClientTest : public ::testing::Test {
protected:
    explicit SimClientTest(UnitConfig config = sim::MakeDemoConfig(),
                           sim::SimOptions options = SeededOptions())
        : unit(clock, std::move(config), options, [this] { return wall.load(); }), port(unit) {}

    void SetUp() override {
        ASSERT_TRUE(port.Start());
        ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), 115200));
    }

    // Moves the unit's time (monotonic and wall clock together) by whole seconds, and lets the
    // unit run through it (here rather than in the next request, which would have to do a long
    // catch-up within its reply time-out).
    void Wait(int seconds) {
        clock.Advance(static_cast<uint64_t>(seconds) * 1000);
        wall += seconds;
        unit.Advance();
    }

    // The events of a log, read the way the monitor reads them.
    std::vector<EventRecord> ReadLog(uint8_t log) {
        std::vector<EventRecord> events;
        uint16_t count = 0, newest = 0;
        if (!client.GetEventLogStatus(log, count, newest)) return events;
        for (uint16_t k = 0; k < count; ++k) {
            EventRecord e;
            const auto index = static_cast<uint16_t>(newest - (count - 1 - k));
            if (client.GetEvent(log, index, e)) events.push_back(e);
        }
        return events;
    }
    static int CountId(const std::vector<EventRecord>& events, uint16_t id) {
        int n = 0;
        for (const EventRecord& e : events)
            n += e.m_Id == id;
        return n;
    }

    ManualClock clock{10'000};
    std::atomic<int64_t> wall{kNoon};
    sim::SimUnit unit;
    sim::SimSerialPort port;
    UnitLink link;
    UnitClient client{&link, 0};
};

}  // namespace jvo::test
