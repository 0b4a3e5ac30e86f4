// The simulated unit's core, driven request by request with a manual clock.
#include "sim/SimUnit.h"

#include <gtest/gtest.h>

#include "config/Codec.h"
#include "link/Commands.h"
#include "sim/SimConfigs.h"

namespace jvo::sim {
namespace {

class SimUnitTest : public ::testing::Test {
protected:
    ManualClock clock{1000};
    int64_t wall = 1'700'000'000;
    SimUnit unit{clock, MakeDemoConfig(), SimOptions{}, [this] { return wall; }};

    // Sends one request; returns the reply (empty when the unit stays silent).
    std::vector<uint8_t> Ask(std::initializer_list<uint8_t> bytes) {
        std::vector<uint8_t> req(bytes), reply;
        if (!unit.Handle(req.data(), static_cast<int32_t>(req.size()), reply)) reply.clear();
        return reply;
    }
    std::vector<uint8_t> Ask(const MsgBuf& b) {
        std::vector<uint8_t> reply;
        if (!unit.Handle(b.Base(), b.WritePos(), reply)) reply.clear();
        return reply;
    }
    static uint16_t U16(const std::vector<uint8_t>& r, size_t at) {
        return static_cast<uint16_t>(r[at] | (r[at + 1] << 8));
    }
};

TEST_F(SimUnitTest, SetRecordsChangeOnlyThePendingConfigurationUntilCommit) {
    MsgBuf req(1200);
    req.Put8(CMD_SET_BREAKER_RECORD);
    req.Put8(0);
    req.Put8(3);
    BreakerRecord b;
    b.m_Name = "NEW";
    b.m_Rating = 99;
    EncodeBreaker(4, req, b);
    EXPECT_EQ(Ask(req), std::vector<uint8_t>{'d'});
    EXPECT_NE(unit.Current().m_Panels[0].m_Breakers[3].m_Name, "NEW");
    EXPECT_EQ(unit.Pending().m_Panels[0].m_Breakers[3].m_Name, "NEW");

    // Selector 1 reads the pending copy, selector 0 the current one.
    auto pending = Ask({CMD_GET_BREAKER_RECORD, 1, 0, 3});
    ASSERT_GT(pending.size(), 6u);
    EXPECT_EQ(pending[3], 'N');
    EXPECT_EQ(Ask({CMD_COMMIT_CONFIG}), std::vector<uint8_t>{'d'});
    EXPECT_EQ(unit.Current().m_Panels[0].m_Breakers[3].m_Rating, 99);
}

TEST_F(SimUnitTest, RefusesWhatItCannotCarryOut) {
    EXPECT_EQ(Ask({CMD_GET_BREAKER_RECORD, 0, 0, 42}), std::vector<uint8_t>{'n'});  // index
    EXPECT_EQ(Ask({CMD_GET_PANEL_RECORD, 0, 2}), std::vector<uint8_t>{'n'});        // panel
    EXPECT_EQ(Ask({CMD_GET_CT_RECORD, 0}), std::vector<uint8_t>{'n'});              // short
    EXPECT_EQ(Ask({CMD_GET_CT_RECORD, 2, 5}), std::vector<uint8_t>{'n'});           // selector
    EXPECT_EQ(Ask({CMD_REBOOT_UNIT, 1, 2, 3, 4}), std::vector<uint8_t>{'n'});       // reboot code
    EXPECT_EQ(Ask({0xFF}), std::vector<uint8_t>{'n'});                              // unknown
}

TEST_F(SimUnitTest, RebootGoesSilentThenReportsStartingThenRunning) {
    auto r = Ask({CMD_REBOOT_UNIT, 0xE6, 0x91, 0x3A, 0x5C});
    EXPECT_EQ(r, std::vector<uint8_t>{'d'});
    EXPECT_TRUE(Ask({CMD_GET_STATUS}).empty());
    clock.Advance(1499);
    EXPECT_TRUE(Ask({CMD_GET_STATUS}).empty());
    clock.Advance(1);
    for (int i = 0; i < 3; ++i) {
        auto s = Ask({CMD_GET_STATUS});
        ASSERT_EQ(s.size(), 7u);
        EXPECT_NE(U16(s, 1), kUnitRunning);
    }
    auto s = Ask({CMD_GET_STATUS});
    ASSERT_EQ(s.size(), 7u);
    EXPECT_EQ(U16(s, 1), kUnitRunning);
}

TEST_F(SimUnitTest, ResetToDefaultsTakesEffectOnCommit) {
    EXPECT_EQ(Ask({CMD_RESET_TO_DEFAULTS}), std::vector<uint8_t>{'d'});
    EXPECT_EQ(unit.Current().m_Panels[0].m_BreakerCnt, 14);
    EXPECT_EQ(unit.Pending().m_Panels[0].m_BreakerCnt, 0);
    Ask({CMD_COMMIT_CONFIG});
    EXPECT_EQ(unit.Current(), MakeFactoryConfig());
}

TEST_F(SimUnitTest, ClockSetLogsSignedDifferenceInServiceLog) {
    const uint32_t back = static_cast<uint32_t>(wall - 30);
    Ask({CMD_SET_CLOCK, static_cast<uint8_t>(back), static_cast<uint8_t>(back >> 8),
         static_cast<uint8_t>(back >> 16), static_cast<uint8_t>(back >> 24)});
    auto events = unit.Events(2);
    ASSERT_FALSE(events.empty());
    const SimEvent& e = events.back();
    EXPECT_EQ(e.id, 2003);
    EXPECT_EQ(static_cast<int32_t>((uint32_t{e.param1} << 16) | e.param2), -30);
    auto clockReply = Ask({CMD_GET_CLOCK});
    ASSERT_EQ(clockReply.size(), 5u);
    EXPECT_EQ(clockReply[1] | (clockReply[2] << 8) | (clockReply[3] << 16) |
                  (static_cast<uint32_t>(clockReply[4]) << 24),
              back);
}

TEST(SimUnitEvents, IndexesWrapFrom65535ToZero) {
    ManualClock clock;
    SimOptions options;
    options.firstEventIndex = 65534;
    SimUnit unit(clock, MakeDemoConfig(), options);
    unit.LogEvent(0, 4000, 1, 2);
    unit.LogEvent(0, 4001, 1, 2);
    auto events = unit.Events(0);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].index, 65534);
    EXPECT_EQ(events[1].index, 65535);
    EXPECT_EQ(events[2].index, 0);
    std::vector<uint8_t> req{CMD_GET_EVENT_LOG_STATUS, 0}, reply;
    ASSERT_TRUE(unit.Handle(req.data(), 2, reply));
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[1], 3);  // count
    EXPECT_EQ(reply[3], 0);  // newest index, low byte
    std::vector<uint8_t> clear{CMD_CLEAR_EVENT_LOG, 0};
    ASSERT_TRUE(unit.Handle(clear.data(), 2, reply));
    events = unit.Events(0);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].id, 1000);
}

}  // namespace
}  // namespace jvo::sim
