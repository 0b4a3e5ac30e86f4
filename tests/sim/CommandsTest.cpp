// The simulated unit's configuration, reboot, clock, event log and unit-wide commands through the
// unit client, checked for what the replies mean.
#include <gtest/gtest.h>

#include "link/Commands.h"
#include "link/ConfigTransfer.h"
#include "tests/sim/SimClientFixture.h"

namespace jvo::test {
namespace {

class CommandsTest : public SimClientTest {};

TEST_F(CommandsTest, SetRecordsTakeEffectOnlyAtCommit) {
    BreakerRecord b = unit.Current().m_Panels[0].m_Breakers[0];
    const BreakerRecord original = b;
    b.m_Name = "RACK A1 NEW";
    b.m_Rating = 40;
    ASSERT_TRUE(client.SetBreakerRecord(0, 0, b));
    PanelRecord panel = unit.Current().m_Panels[0];
    panel.m_BreakerCnt = 13;  // drops the last breaker
    ASSERT_TRUE(client.SetPanelRecord(0, panel));

    BreakerRecord current, pending;
    ASSERT_TRUE(client.GetBreakerRecord(0, 0, 0, current));
    ASSERT_TRUE(client.GetBreakerRecord(1, 0, 0, pending));
    EXPECT_EQ(current, original);
    EXPECT_EQ(pending, b);
    BreakerReading r;
    EXPECT_TRUE(client.GetBreakerReading(0, 13, r));  // still 14 breakers in service

    ASSERT_TRUE(client.CommitConfig());
    ASSERT_TRUE(client.GetBreakerRecord(0, 0, 0, current));
    EXPECT_EQ(current, b);
    EXPECT_FALSE(client.GetBreakerReading(0, 13, r));  // the readings follow the commit
    PanelEnergy e;
    ASSERT_TRUE(client.GetPanelEnergy(0, e));
    EXPECT_EQ(e.m_Breakers.size(), 13u);
    // The load is now a share of the new rating.
    ASSERT_TRUE(client.GetBreakerReading(0, 0, r));
    EXPECT_NEAR(r.m_Load, 100 * r.m_Unshown / 40, 0.01);
}

TEST_F(CommandsTest, ResetToDefaultsThenCommitInstallsTheFactoryConfiguration) {
    ASSERT_TRUE(client.ResetToDefaults());
    UnitConfig read;
    ASSERT_TRUE(ReadConfig(client, read, 0, 10, nullptr));
    EXPECT_EQ(read.m_Panels[0].m_BreakerCnt, 14);
    ASSERT_TRUE(client.CommitConfig());
    UnitConfig after;
    ASSERT_TRUE(ReadConfig(client, after, 0, 10, nullptr));
    EXPECT_TRUE(after == sim::MakeFactoryConfig());
    PanelReadingsReply r;
    ASSERT_TRUE(client.GetPanelReadings(0, r));
    EXPECT_GT(r.m_MainFeed.m_Load, 0.0f);  // the main feed's own house load
    EXPECT_LT(r.m_MainFeed.m_Load, 5.0f);
}

// The configuration tool's install: write, commit, reboot, then status polls (without pauses,
// each failed one costing a reply time-out) until the unit runs again.
TEST_F(CommandsTest, InstallRebootSequenceAsTheToolPollsIt) {
    UnitConfig c = unit.Current();
    c.m_Unit.m_UnitName = "INSTALLED";
    c.m_Panels[1].m_Breakers[4].m_Rating = 50;
    ASSERT_TRUE(WriteConfig(client, c, 10, nullptr));
    ASSERT_TRUE(client.CommitConfig());
    const size_t serviceBefore = ReadLog(2).size();
    ASSERT_TRUE(client.RebootUnit());

    client.SetReplyTimeoutMs(30);  // keeps the silent polls short in real time
    std::vector<int> outcome;      // -1 no answer, else the state
    for (int poll = 0; poll < 100; ++poll) {
        uint16_t state = 0;
        uint32_t value = 0;
        if (!client.GetStatus(state, value)) {
            outcome.push_back(-1);
            clock.Advance(250);  // the tool's poll waited its reply time-out
            continue;
        }
        outcome.push_back(state);
        if (state == kUnitRunning) break;
    }
    // 1.5 s of silence (six time-outs), three "starting" answers, then running.
    const std::vector<int> expected{-1, -1, -1, -1, -1, -1, 0x2222, 0x2222, 0x2222, 0x1111};
    EXPECT_EQ(outcome, expected);

    client.SetReplyTimeoutMs(-1);
    UnitConfig read;
    ASSERT_TRUE(client.GetUnitRecord(0, read.m_Unit));
    EXPECT_EQ(read.m_Unit.m_UnitName, "INSTALLED");
    const auto service = ReadLog(2);
    ASSERT_EQ(service.size(), serviceBefore + 2);
    EXPECT_EQ(service[serviceBefore].m_Id, 2006);  // "User-Initiated Reboot"
    EXPECT_EQ(service.back().m_Id, 2000);
    EXPECT_EQ(ReadLog(0).back().m_Id, 2000);
    EXPECT_EQ(ReadLog(1).back().m_Id, 2000);
}

TEST_F(CommandsTest, RebootNeedsItsCode) {
    // A wrong code is refused and the unit keeps answering.
    std::vector<uint8_t> req{CMD_REBOOT_UNIT, 1, 2, 3, 4}, reply;
    ASSERT_TRUE(unit.Handle(req.data(), 5, reply));
    EXPECT_EQ(reply, std::vector<uint8_t>{'n'});
    uint16_t state = 0;
    uint32_t value = 0;
    ASSERT_TRUE(client.GetStatus(state, value));
    EXPECT_EQ(state, kUnitRunning);
}

TEST_F(CommandsTest, ClockSetLogsTheSignedDifference) {
    int64_t now = 0;
    ASSERT_TRUE(client.GetClock(now));
    EXPECT_EQ(now, kNoon);
    ASSERT_TRUE(client.SetClock(static_cast<uint32_t>(kNoon - 30)));
    EventRecord back = ReadLog(2).back();
    EXPECT_EQ(back.m_Id, 2003);
    EXPECT_EQ(back.m_Param1, 65535);
    EXPECT_EQ(back.m_Param2, 65506);  // -30
    EXPECT_EQ(back.m_Time, kNoon - 30);
    ASSERT_TRUE(client.GetClock(now));
    EXPECT_EQ(now, kNoon - 30);

    Wait(10);  // the unit clock runs on from the set time
    ASSERT_TRUE(client.GetClock(now));
    EXPECT_EQ(now, kNoon - 20);
    ASSERT_TRUE(client.SetClock(static_cast<uint32_t>(kNoon + 100'000)));
    const EventRecord forward = ReadLog(2).back();
    EXPECT_EQ(forward.m_Id, 2003);
    const auto diff = static_cast<int32_t>((uint32_t{forward.m_Param1} << 16) | forward.m_Param2);
    EXPECT_EQ(diff, 100'020);  // needs both halves
    EXPECT_EQ(forward.m_Param1, 1);
}

TEST_F(CommandsTest, UnitWideCommands) {
    uint16_t schema = 0;
    ASSERT_TRUE(client.GetSchemaVersion(schema));
    EXPECT_EQ(schema, 4);
    VersionInfo v;
    ASSERT_TRUE(client.GetVersion(v));
    EXPECT_EQ(v.m_FirmwareBuild, 412);
    uint8_t dip = 9;
    ASSERT_TRUE(client.GetDipAddress(dip));
    EXPECT_EQ(dip, 0);
    bool on = true;
    ASSERT_TRUE(client.GetAutoZero(on));
    EXPECT_FALSE(on);
    ASSERT_TRUE(client.SetAutoZero(true));
    ASSERT_TRUE(client.GetAutoZero(on));
    EXPECT_TRUE(on);
    std::vector<uint8_t> req{CMD_SET_AUTO_ZERO, 2}, reply;  // only 0 and 1 mean anything
    ASSERT_TRUE(unit.Handle(req.data(), 2, reply));
    EXPECT_EQ(reply, std::vector<uint8_t>{'n'});
}

class EventLogTest : public SimClientTest {
protected:
    EventLogTest() : SimClientTest(sim::MakeDemoConfig(), WrapOptions()) {}
    static sim::SimOptions WrapOptions() {
        sim::SimOptions o = SeededOptions();
        o.firstEventIndex = 65534;
        return o;
    }
};

TEST_F(EventLogTest, IndexesWrapAndTheLogReadsAcrossTheWrap) {
    ASSERT_TRUE(client.ResetEnergy(1));
    ASSERT_TRUE(client.ResetEnergy(1));
    uint16_t count = 0, newest = 0;
    ASSERT_TRUE(client.GetEventLogStatus(1, count, newest));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(newest, 0);
    EventRecord e;
    ASSERT_TRUE(client.GetEvent(1, 65534, e));
    EXPECT_EQ(e.m_Id, 2000);
    ASSERT_TRUE(client.GetEvent(1, 65535, e));
    EXPECT_EQ(e.m_Id, 6001);
    ASSERT_TRUE(client.GetEvent(1, 0, e));
    EXPECT_EQ(e.m_Id, 6001);
    EXPECT_EQ(e.m_Index, 0);
    EXPECT_FALSE(client.GetEvent(1, 1, e));  // not logged yet
    EXPECT_FALSE(client.GetEvent(3, 0, e));  // no fourth log

    ASSERT_TRUE(client.ClearEventLog(1));
    ASSERT_TRUE(client.GetEventLogStatus(1, count, newest));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(newest, 1);  // indexes go on
    ASSERT_TRUE(client.GetEvent(1, 1, e));
    EXPECT_EQ(e.m_Id, 1000);
    EXPECT_FALSE(client.GetEvent(1, 0, e));
    EXPECT_EQ(ReadLog(0).size(), 1u);  // the other logs are untouched
    EXPECT_FALSE(client.ClearEventLog(3));
}

TEST_F(EventLogTest, AFullLogDropsItsOldestEvents) {
    for (int i = 0; i < 1200; ++i)
        unit.LogEvent(2, 2004);
    uint16_t count = 0, newest = 0;
    ASSERT_TRUE(client.GetEventLogStatus(2, count, newest));
    EXPECT_EQ(count, 1000);
    EXPECT_EQ(newest, static_cast<uint16_t>(65534 + 1200));
    EventRecord e;
    EXPECT_TRUE(client.GetEvent(2, static_cast<uint16_t>(newest - 999), e));
    EXPECT_FALSE(client.GetEvent(2, static_cast<uint16_t>(newest - 1000), e));
}

}  // namespace
}  // namespace jvo::test
