// UnitLink and UnitClient on the serial path, against the simulated unit on a pseudo-terminal.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "link/Commands.h"
#include "link/LinkRecovery.h"
#include "link/PortDirectory.h"
#include "link/Pty.h"
#include "tests/link/serial/SerialTestUtil.h"
#include "tests/link/threads/LogCapture.h"
#include "tests/link/unit/SimFixture.h"

namespace jvo::test {
namespace {

TEST_F(SimLinkTest, CommandsCarryTheirResults) {
    UnitClient client(&link, 0);
    uint16_t schema = 0;
    ASSERT_TRUE(client.GetSchemaVersion(schema));
    EXPECT_EQ(schema, 4);
    VersionInfo v;
    ASSERT_TRUE(client.GetVersion(v));
    EXPECT_EQ(v.m_Text, "JVO SIM");
    EXPECT_EQ(v.m_FirmwareBuild, 412);
    EXPECT_EQ(v.m_HardwareVersion, 3);
    uint16_t state = 0;
    uint32_t value = 0;
    ASSERT_TRUE(client.GetStatus(state, value));
    EXPECT_EQ(state, kUnitRunning);
    CtRecord ct;
    ASSERT_TRUE(client.GetCtRecord(0, 17, ct));
    EXPECT_EQ(ct.m_Primary, 1017);
    BreakerRecord b;
    ASSERT_TRUE(client.GetBreakerRecord(0, 1, 2, b));
    EXPECT_EQ(b, unit.Current().m_Panels[1].m_Breakers[2]);
    // A request the unit refuses is a failed command.
    EXPECT_FALSE(client.GetBreakerRecord(0, 1, 42, b));
    bool autoZero = true;
    ASSERT_TRUE(client.SetAutoZero(true));
    ASSERT_TRUE(client.GetAutoZero(autoZero));
    EXPECT_TRUE(autoZero);
}

TEST_F(SimLinkTest, StaleAndForeignRepliesAreSkippedWithinTheTransaction) {
    UnitClient client(&link, 0);
    CtRecord ct;
    ASSERT_TRUE(client.GetCtRecord(0, 1, ct));  // gives the unit a previous reply to repeat
    sim::SerialFaults faults;
    faults.staleFraction = 1.0;
    faults.foreignFraction = 1.0;
    port.SetFaults(faults);
    for (int i = 2; i < 40; ++i) {
        ASSERT_TRUE(client.GetCtRecord(0, static_cast<uint8_t>(i), ct)) << i;
        EXPECT_EQ(ct.m_Primary, 1000 + i);
    }
}

// Doubled replies: the copy is skipped by the next transaction. Replies held back until after the
// next one: each transaction sees only its predecessor's reply and fails rather than take it.
TEST_F(SimLinkTest, DoubledAndHeldBackRepliesNeverAnswerAnotherRequest) {
    UnitClient client(&link, 0);
    CtRecord ct;
    sim::SerialFaults faults;
    faults.duplicateFraction = 1.0;
    port.SetFaults(faults);
    uint64_t sent = port.RepliesSent();
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(client.GetCtRecord(0, static_cast<uint8_t>(i), ct)) << i;
        EXPECT_EQ(ct.m_Primary, 1000 + i);
    }
    // The client has its answer as soon as the first copy is in; the unit counts on.
    ASSERT_TRUE(WaitFor([&] { return port.RepliesSent() - sent >= 20u; }));
    EXPECT_EQ(port.RepliesSent() - sent, 20u);

    faults = {};
    faults.reorderFraction = 1.0;
    port.SetFaults(faults);
    client.SetReplyTimeoutMs(100);
    sent = port.RepliesSent();
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(client.GetCtRecord(0, static_cast<uint8_t>(i), ct)) << i;
    ASSERT_TRUE(WaitFor([&] { return port.RepliesSent() - sent >= 4; }));
    EXPECT_EQ(port.FaultCounts().reordered, 5u);

    port.SetFaults({});  // the reply still held goes out first, and is skipped
    ASSERT_TRUE(client.GetCtRecord(0, 30, ct));
    EXPECT_EQ(ct.m_Primary, 1030);
}

TEST_F(SimLinkTest, SequenceNumberWrapsFrom255ToZero) {
    UnitClient client(&link, 0);
    UnitLink::SetSequence(254);
    uint16_t state;
    uint32_t value;
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(client.GetStatus(state, value)) << i;
    EXPECT_EQ(UnitLink::NextSequence(), 2);
}

TEST_F(SimLinkTest, GetDipAddressGoesToAddressZeroWhateverTheClientAddress) {
    UnitClient client(&link, 5);  // the unit answers 0 and its own address (0) only
    uint16_t state;
    uint32_t value;
    EXPECT_FALSE(client.GetStatus(state, value));
    uint8_t dip = 99;
    ASSERT_TRUE(client.GetDipAddress(dip));
    EXPECT_EQ(dip, 0);
}

TEST_F(SimLinkTest, OverrunRequestFailsAtOnceWithoutSending) {
    UnitClient client(&link, 0);
    UnitRecord rec;
    rec.m_UnitName = std::string(1300, 'X');  // cannot fit the 1200-byte request buffer
    const uint64_t before = port.FramesReceived();
    EXPECT_FALSE(client.SetUnitRecord(rec));
    uint16_t state;
    uint32_t value;
    ASSERT_TRUE(client.GetStatus(state, value));  // the link still works
    EXPECT_EQ(port.FramesReceived(), before + 1);
    EXPECT_NE(unit.Pending().m_Unit.m_UnitName, rec.m_UnitName);
}

// Each failure says what it met, in the client that met it: a refusal names the command and the
// unit's reply code, a silent unit is no reply, a request that cannot be sent is never sent, and
// a closed link is not connected.
TEST_F(SimLinkTest, EachFailureSaysWhyInItsOwnClient) {
    UnitClient client(&link, 0);
    UnitClient other(&link, 0);
    sim::SerialFaults faults;
    faults.refuseCommand = CMD_GET_STATUS;
    port.SetFaults(faults);
    uint16_t state;
    uint32_t value;
    EXPECT_FALSE(client.GetStatus(state, value));
    EXPECT_EQ(client.Status().result, LinkResult::Refused);
    EXPECT_EQ(client.Status().command, CMD_GET_STATUS);
    EXPECT_EQ(client.Status().replyCode, 'n');
    EXPECT_TRUE(client.Status().Answered());
    EXPECT_EQ(DescribeStatus(client.Status()), "GetStatus refused by the unit (reply code 'n')");
    uint16_t schema;
    EXPECT_TRUE(other.GetSchemaVersion(schema));
    EXPECT_TRUE(other.Status().Ok());
    EXPECT_EQ(client.Status().result, LinkResult::Refused);  // not overwritten by the other

    UnitRecord rec;
    rec.m_UnitName = std::string(1300, 'X');
    EXPECT_FALSE(other.SetUnitRecord(rec));
    EXPECT_EQ(other.Status().result, LinkResult::InvalidRequest);

    faults = {};
    faults.silent = true;
    port.SetFaults(faults);
    client.SetReplyTimeoutMs(30);
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_EQ(client.Status().result, LinkResult::NoReply);
    EXPECT_FALSE(client.Status().Answered());

    link.Disconnect();
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_EQ(client.Status().result, LinkResult::NotConnected);
}

// A time-out belongs to the client that set it: a commit waits longer for its own reply without
// changing what any other caller of the link waits.
TEST_F(SimLinkTest, CommitWaitsLongerWithoutChangingAnotherCallersTimeout) {
    UnitClient commit(&link, 0);
    UnitClient poll(&link, 0);
    sim::SerialFaults faults;
    faults.lateFraction = 1.0;
    faults.lateMs = 700;  // later than any ordinary reply time-out
    port.SetFaults(faults);
    EXPECT_TRUE(commit.CommitConfig());
    EXPECT_EQ(poll.ReplyTimeoutMs(), kDefaultReplyTimeoutMs);
    uint16_t state;
    uint32_t value;
    EXPECT_FALSE(poll.GetStatus(state, value));  // 700 ms late is too late for 250 ms
    EXPECT_EQ(poll.Status().result, LinkResult::NoReply);
    poll.SetReplyTimeoutMs(2000);
    EXPECT_TRUE(poll.GetStatus(state, value));
    EXPECT_EQ(commit.ReplyTimeoutMs(), kDefaultReplyTimeoutMs);
}

TEST_F(SimLinkTest, DisconnectedLinkFailsAtOnceAndReopens) {
    UnitClient client(&link, 0);
    EXPECT_FALSE(link.OpenSerialDevice(port.DevicePath(), 115200));  // already connected
    link.Disconnect();
    EXPECT_FALSE(link.IsConnected());
    uint16_t schema;
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    ASSERT_TRUE(link.OpenSerialDevice(port.DevicePath(), 115200));
    EXPECT_TRUE(client.GetSchemaVersion(schema));
}

// A unit whose port goes away and comes back under another device, found again by its number.
TEST(UnitLinkHealth, LostPortIsReportedOnceAndReopenedByNumber) {
    TempDir ports;
    ASSERT_FALSE(ports.Path().empty());
    ::setenv("JVO_PORT_DIR", ports.Path().c_str(), 1);
    LogCapture log;
    sim::SimUnit unit(SystemClock::Instance(), MarkedConfig());
    UnitLink link;
    UnitClient client(&link, 0);
    uint16_t schema = 0;
    std::string firstDevice;
    {
        sim::SimSerialPort first(unit);
        ASSERT_TRUE(first.Start());
        ASSERT_TRUE(first.Pin(7, ports.Path()));
        firstDevice = first.DevicePath();
        ASSERT_TRUE(link.OpenSerial(7, 115200));
        EXPECT_FALSE(link.TransportLost());
        ASSERT_TRUE(client.GetSchemaVersion(schema));
        first.Stop();  // the device hangs up
        ASSERT_TRUE(WaitFor([&] { return link.TransportLost(); }));
    }
    EXPECT_TRUE(link.IsConnected());
    EXPECT_EQ(link.TransportLostReason(), "device hung up");
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_FALSE(link.Reopen());  // nothing behind COM7 yet
    EXPECT_TRUE(link.TransportLost());

    sim::SimSerialPort second(unit);
    ASSERT_TRUE(second.Start());
    ASSERT_TRUE(second.Pin(7, ports.Path()));
    ASSERT_TRUE(link.Reopen());
    EXPECT_FALSE(link.TransportLost());
    EXPECT_EQ(link.TransportLostReason(), "");
    EXPECT_TRUE(client.GetSchemaVersion(schema));
    EXPECT_EQ(log.Count("transport lost"), 1);

    link.Disconnect();
    EXPECT_FALSE(link.Reopen());  // a disconnected link stays disconnected
    EXPECT_FALSE(link.IsConnected());
    ::unsetenv("JVO_PORT_DIR");
}

// An unpinned number moves on to the next device when ours goes away (ttyUSB0 unplugged, COM1 is
// now ttyS0). Opening that would talk to another line, perhaps another unit; our adapter put back,
// as another ttyUSB but with its serial/by-id name, is found again.
TEST(UnitLinkHealth, AMovedNumberIsNotReopenedOntoAnotherLine) {
    TempDir dev, ports;
    ASSERT_FALSE(dev.Path().empty());
    ASSERT_EQ(::mkdir((dev.Path() + "/serial").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((dev.Path() + "/serial/by-id").c_str(), 0755), 0);
    auto link = [&](const std::string& target, const std::string& name) {
        return ::symlink(target.c_str(), (dev.Path() + "/" + name).c_str()) == 0;
    };
    const std::string byId = "serial/by-id/usb-FTDI_FT232R_A10K1N2Q-if00-port0";
    sim::SimUnit ours(SystemClock::Instance(), MarkedConfig());
    sim::SimUnit other(SystemClock::Instance(), MarkedConfig());
    sim::SimSerialPort otherLine(other);
    ASSERT_TRUE(otherLine.Start());
    ASSERT_TRUE(link(otherLine.DevicePath(), "ttyS0"));
    PortRoots roots;
    roots.portDir = ports.Path();
    roots.devRoot = dev.Path();
    UnitLink unitLink;
    unitLink.SetPortRoots(roots);
    UnitClient client(&unitLink, 0);
    uint16_t schema = 0;
    {
        sim::SimSerialPort adapter(ours);
        ASSERT_TRUE(adapter.Start());
        ASSERT_TRUE(link(adapter.DevicePath(), "ttyUSB0") && link(adapter.DevicePath(), byId));
        ASSERT_TRUE(unitLink.OpenSerial(1, 115200));  // COM1 = ttyUSB0, COM2 = ttyS0
        ASSERT_TRUE(client.GetSchemaVersion(schema));
        adapter.Stop();  // unplugged
        ::unlink((dev.Path() + "/ttyUSB0").c_str());
        ::unlink((dev.Path() + "/" + byId).c_str());
        ASSERT_TRUE(WaitFor([&] { return unitLink.TransportLost(); }));
    }
    ASSERT_EQ(ResolveComPort(1, roots), otherLine.DevicePath());
    EXPECT_FALSE(unitLink.Reopen());
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_EQ(otherLine.FramesReceived(), 0u);

    sim::SimSerialPort back(ours);
    ASSERT_TRUE(back.Start());
    ASSERT_TRUE(link(back.DevicePath(), "ttyUSB1") && link(back.DevicePath(), byId));
    ASSERT_TRUE(unitLink.Reopen());
    EXPECT_TRUE(client.GetSchemaVersion(schema));
    EXPECT_EQ(otherLine.FramesReceived(), 0u);
    unitLink.Disconnect();
}

// A pin left behind by a unit that went away (killed while a command waited) may come to name a
// pseudo-terminal that another program got since, under the same /dev/pts number. The recovery
// follows a pty only through a pin made anew, waiting 1, 2, 4, then 5 s on the caller's clock
// between attempts, and says once that the link was lost and once that it is back.
TEST(UnitLinkHealth, RecoveryFollowsAPtyOnlyThroughARenewedPin) {
    TempDir ports, alias;
    ASSERT_FALSE(ports.Path().empty());
    PortRoots roots;
    roots.portDir = ports.Path();
    sim::SimUnit ours(SystemClock::Instance(), MarkedConfig());
    sim::SimUnit stranger(SystemClock::Instance(), MarkedConfig());
    // The pin goes through a link of the test's own, so that the path it names can be made to
    // name another terminal without touching the pin: what a reused pty number does.
    const std::string via = alias.Path() + "/pts";
    const std::string pin = ports.Path() + "/com7";
    ASSERT_EQ(::symlink(via.c_str(), pin.c_str()), 0);
    UnitLink link;
    link.SetPortRoots(roots);
    UnitClient client(&link, 0);
    uint16_t schema = 0;
    {
        sim::SimSerialPort first(ours);
        ASSERT_TRUE(first.Start());
        ASSERT_EQ(::symlink(first.DevicePath().c_str(), via.c_str()), 0);
        ASSERT_TRUE(link.OpenSerial(7, 115200));
        ASSERT_TRUE(client.GetSchemaVersion(schema));
        first.Stop();
        ASSERT_TRUE(WaitFor([&] { return link.TransportLost(); }));
    }
    sim::SimSerialPort other(stranger);
    ASSERT_TRUE(other.Start());
    ::unlink(via.c_str());
    ASSERT_EQ(::symlink(other.DevicePath().c_str(), via.c_str()), 0);
    ASSERT_EQ(ResolveComPort(7, roots), other.DevicePath());

    LogCapture log;
    ManualClock clock;
    LinkRecovery recovery(link, "Test", RecoveryPolicy{1000, 5000}, clock);
    std::vector<int32_t> waits;
    auto wait = [&](int32_t ms) {
        waits.push_back(ms);
        clock.Advance(static_cast<uint64_t>(ms));
        return false;
    };
    EXPECT_EQ(recovery.Recover(wait, 4), LinkRecovery::Step::StillLost);
    EXPECT_EQ(waits, (std::vector<int32_t>{1000, 2000, 4000, 5000}));
    EXPECT_TRUE(recovery.InLoss());
    EXPECT_EQ(other.FramesReceived(), 0u);
    EXPECT_FALSE(client.GetSchemaVersion(schema));
    EXPECT_EQ(client.Status().result, LinkResult::TransportLost);

    // The unit starts again and pins itself anew (the stale pin dangles by then): followed.
    ::unlink(via.c_str());
    sim::SimSerialPort back(ours);
    ASSERT_TRUE(back.Start());
    ASSERT_TRUE(back.Pin(7, ports.Path()));
    EXPECT_EQ(recovery.Recover(wait), LinkRecovery::Step::Reopened);
    EXPECT_FALSE(recovery.InLoss());
    EXPECT_TRUE(client.GetSchemaVersion(schema));
    EXPECT_EQ(other.FramesReceived(), 0u);
    EXPECT_EQ(log.Count("Test: link lost"), 1);
    EXPECT_EQ(log.Count("Test: link open again after 17.0 s"), 1);
    EXPECT_EQ(recovery.TryOnce(wait), LinkRecovery::Step::Healthy);
    link.Disconnect();
    EXPECT_EQ(recovery.TryOnce(wait), LinkRecovery::Step::Closed);
}

using SteadyClock = std::chrono::steady_clock;

int64_t MsSince(SteadyClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start)
        .count();
}

// A line where another unit talks every 100 ms and ours stays silent: the transaction still ends
// at its deadline.
TEST(UnitLinkWire, ForeignTrafficCannotHoldATransaction) {
    Pty pty;
    ASSERT_TRUE(pty.Open());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(pty.SlavePath(), 115200));
    std::atomic<bool> done{false};
    std::thread babbler([&] {
        const Bytes foreign = Wire({kHostAddress, 0x05, 0x00, 0x02, 'd'});
        const auto until = SteadyClock::now() + std::chrono::seconds(8);
        while (!done && SteadyClock::now() < until) {
            pty.Write(foreign.data(), foreign.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    MsgBuf request(16), reply(64);
    request.Put8(CMD_GET_STATUS);
    const auto start = SteadyClock::now();
    EXPECT_FALSE(link.Transact(0, request, reply, 2, 250));
    const int64_t took = MsSince(start);
    done = true;
    babbler.join();
    EXPECT_GE(took, 250);
    EXPECT_LT(took, 5000);  // the deadline is 4 x 250 ms; the babbler talks for 8 s
}

// The transaction's worker, with the time it took.
struct TimedTransact {
    std::thread thread;
    std::atomic<bool> done{false};
    std::atomic<int64_t> tookMs{-1};
    void Start(UnitLink& link, int32_t timeoutMs, size_t payload) {
        thread = std::thread([&link, timeoutMs, payload, this] {
            MsgBuf request(static_cast<int32_t>(payload) + 1), reply(64);
            request.Put8(CMD_SET_UNIT_RECORD);
            for (size_t i = 1; i < payload; ++i)
                request.Put8(0x55);
            const auto start = SteadyClock::now();
            link.Transact(0, request, reply, 2, timeoutMs);
            tookMs = MsSince(start);
            done = true;
        });
    }
    bool WaitDone(int ms) {
        return WaitFor([&] { return done.load(); }, ms);
    }
};

TEST(UnitLinkWire, DisconnectBreaksAWaitingTransaction) {
    Pty pty;  // a unit that never answers
    ASSERT_TRUE(pty.Open());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(pty.SlavePath(), 115200));
    TimedTransact t;
    t.Start(link, 60000, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const auto start = SteadyClock::now();
    link.Disconnect();
    EXPECT_LT(MsSince(start), 5000);
    const bool ended = t.WaitDone(10000);
    EXPECT_TRUE(ended);
    if (!ended) pty.Close();
    t.thread.join();
    EXPECT_FALSE(link.IsConnected());
}

// A device that stops taking output: the write gives up after its bound, and a Disconnect from
// another thread breaks a blocked write sooner.
TEST(UnitLinkWire, StalledDeviceCannotFreezeTheLink) {
    Pty pty;  // its master is never read, so the terminal's buffer fills up
    ASSERT_TRUE(pty.Open());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(pty.SlavePath(), 115200));
    const size_t payload = 1150;
    const int32_t bound = CFramePort::WriteBoundMs(payload + 12, 115200);
    bool stalled = false;
    for (int i = 0; i < 400 && !stalled; ++i) {
        TimedTransact t;
        t.Start(link, 1, payload);
        const bool ended = t.WaitDone(bound + 20000);
        if (!ended) pty.Close();  // frees the writer so that the test can end
        t.thread.join();
        ASSERT_TRUE(ended) << "a write to a stalled device never ended";
        stalled = t.tookMs >= CFramePort::kWriteMarginMs;
    }
    ASSERT_TRUE(stalled);

    TimedTransact blocked;
    blocked.Start(link, 1, payload);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    link.Disconnect();
    const bool ended = blocked.WaitDone(bound + 20000);
    if (!ended) pty.Close();
    blocked.thread.join();
    ASSERT_TRUE(ended);
    EXPECT_LT(blocked.tookMs.load(), CFramePort::kWriteMarginMs);  // broken, not timed out
}

// The exact bytes on the line, against a hand-driven peer.
TEST(UnitLinkWire, SchemaVersionRequestAndReplyBytes) {
    Pty pty;
    ASSERT_TRUE(pty.Open());
    UnitLink link;
    ASSERT_TRUE(link.OpenSerialDevice(pty.SlavePath(), 115200));
    std::thread peer([&] {
        std::vector<uint8_t> got;
        uint8_t buf[64];
        while (got.size() < 9) {
            ssize_t n = pty.Read(buf, sizeof buf, 2000);
            if (n <= 0) break;
            got.insert(got.end(), buf, buf + n);
        }
        EXPECT_EQ(got,
                  (std::vector<uint8_t>{0x7E, 0x00, 0xFE, 0x05, 0x02, 0x94, 0xBE, 0xCE, 0x7E}));
        const uint8_t reply[] = {0x7E, 0xFE, 0x00, 0x05, 0x02, 0x64, 0x04, 0x00, 0x6E, 0x83, 0x7E};
        pty.Write(reply, sizeof reply);
    });
    UnitLink::SetSequence(5);
    UnitClient client(&link, 0);
    uint16_t version = 0;
    EXPECT_TRUE(client.GetSchemaVersion(version));
    EXPECT_EQ(version, 4);
    peer.join();
}

}  // namespace
}  // namespace jvo::test
