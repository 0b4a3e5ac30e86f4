#include "link/TcpSocket.h"

#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <condition_variable>
#include <mutex>

#include "tests/link/tcp/TcpTestUtil.h"
#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

using namespace test;

std::vector<uint8_t> Bytes(const RecBuf& b) {
    return std::vector<uint8_t>(b.ReadPtr(), b.ReadPtr() + b.Length());
}

std::unique_ptr<RecBuf> Buffer(const std::string& text) {
    auto b = std::make_unique<RecBuf>(static_cast<int32_t>(text.size()));
    b->PutBytes(text.data(), static_cast<int32_t>(text.size()));
    return b;
}

// One TcpSocket on a loopback connection, with the raw peer end and a manual clock.
class TcpSocketTest : public ::testing::Test {
protected:
    void Connect(TcpSocketOptions options = {}) {
        m_Clock = std::make_shared<ManualClock>(1000);
        if (!options.clock) options.clock = m_Clock;
        options.tickMs = 10;
        SocketHandle s = TcpBase::OpenSocket(TcpBase::GetHostAddr("."), m_Listener.Port(), 5000);
        ASSERT_TRUE(s.Valid());
        m_ClientFd = s.Get();
        m_Peer = m_Listener.Accept();
        ASSERT_TRUE(m_Peer.Valid());
        m_User = std::make_shared<SocketUser>();
        m_Socket = std::make_unique<TcpSocket>(std::move(s), m_User, options);
    }
    void TearDown() override {
        if (m_Socket) {
            m_Socket->Close();
            EXPECT_TRUE(m_Socket->WaitFinished(5000));
        }
    }
    // The next entry of the user's queue within waitMs (code -1 when none).
    MsgFifo::Entry Next(int waitMs = 5000) {
        MsgFifo::Entry e;
        e.code = -1;
        if (m_User->Fifo().Wait(waitMs)) m_User->Fifo().Pop(e);
        return e;
    }
    // Waits until the worker has read everything the peer sent (or has ended).
    void Drained() {
        ASSERT_TRUE(Eventually([&] {
            int pending = 0;
            return (::ioctl(m_ClientFd, FIONREAD, &pending) == 0 && pending == 0) ||
                   m_Socket->State() != TcpSocket::kRunning;
        }));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    // True when the peer receives nothing (not even a keep-alive) for waitMs.
    bool PeerQuiet(int waitMs = 100) {
        pollfd p{m_Peer.Get(), POLLIN, 0};
        return ::poll(&p, 1, waitMs) == 0;
    }

    Listener m_Listener;
    Fd m_Peer;
    int m_ClientFd = -1;
    std::shared_ptr<ManualClock> m_Clock;
    std::shared_ptr<SocketUser> m_User;
    std::unique_ptr<TcpSocket> m_Socket;
};

TEST_F(TcpSocketTest, MessagesGoBothWays) {
    Connect();
    ASSERT_TRUE(m_Socket->SendMsg(Buffer("hello")));
    EXPECT_EQ(RecvExact(m_Peer.Get(), 13), Frame({'h', 'e', 'l', 'l', 'o'}));
    ASSERT_TRUE(SendAll(m_Peer.Get(), Frame({1, 2, 3})));
    MsgFifo::Entry e = Next();
    ASSERT_EQ(e.code, SocketUser::kRecvCode);
    ASSERT_TRUE(e.buffer);
    EXPECT_EQ(Bytes(*e.buffer), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(m_Socket->State(), TcpSocket::kRunning);
}

TEST_F(TcpSocketTest, PiecesAreAssembledAcrossAnySplit) {
    Connect();
    std::vector<uint8_t> body(300);
    for (size_t i = 0; i < body.size(); ++i)
        body[i] = static_cast<uint8_t>(i * 7);
    const std::vector<uint8_t> wire = Frame(body);
    // Header in pieces of 3 and 5 bytes, then the body in two uneven pieces.
    const size_t cuts[] = {0, 3, 8, 9, wire.size()};
    for (int i = 0; i + 1 < 5; ++i) {
        ASSERT_TRUE(SendAll(m_Peer.Get(), wire.data() + cuts[i], cuts[i + 1] - cuts[i]));
        Drained();
        EXPECT_FALSE(m_User->Fifo().ReadyEvent().IsSet() && i < 3);
    }
    MsgFifo::Entry e = Next();
    ASSERT_EQ(e.code, SocketUser::kRecvCode);
    EXPECT_EQ(Bytes(*e.buffer), body);
    // Several messages and keep-alives in one write: one OnRecv per message, none for keep-alives.
    std::vector<uint8_t> burst = KeepAlive();
    for (uint8_t n = 1; n <= 3; ++n) {
        auto f = Frame(std::vector<uint8_t>(n, n));
        burst.insert(burst.end(), f.begin(), f.end());
        burst.insert(burst.end(), KeepAlive().begin(), KeepAlive().end());
    }
    ASSERT_TRUE(SendAll(m_Peer.Get(), burst));
    for (uint8_t n = 1; n <= 3; ++n) {
        e = Next();
        ASSERT_EQ(e.code, SocketUser::kRecvCode);
        EXPECT_EQ(Bytes(*e.buffer), std::vector<uint8_t>(n, n));
    }
    Drained();
    EXPECT_EQ(m_User->Fifo().Size(), 0u);
}

TEST_F(TcpSocketTest, ALengthAboveTheLimitEndsTheConnection) {
    LogCapture log(1);
    Connect();
    ASSERT_TRUE(SendAll(m_Peer.Get(), Header(104857601)));
    EXPECT_EQ(Next().code, SocketUser::kClosedCode);
    ASSERT_TRUE(Eventually([&] { return m_Socket->State() == TcpSocket::kFinished; }));
    EXPECT_EQ(log.Count("Received illegal length (104857601)"), 1);
    EXPECT_EQ(log.Matching("Received illegal length")[0].rfind("TcpSocket::WorkerThread(0x", 0),
              0u);
    EXPECT_FALSE(m_Socket->SendMsg(Buffer("x")));
    EXPECT_TRUE(log.HasLine("TcpSocket::SendMsg() Link not running (state=2)"));
    // The socket stays open until Close(): the peer sees no end of stream yet.
    EXPECT_FALSE(PeerClosed(m_Peer.Get(), 100));
    m_Socket->Close();
    EXPECT_TRUE(PeerClosed(m_Peer.Get()));
}

TEST_F(TcpSocketTest, TheLargestLengthIsAcceptedAndCostsOnlyWhatArrives) {
    LogCapture log(1);
    Connect();
    ASSERT_TRUE(SendAll(m_Peer.Get(), Header(0x6400000)));
    ASSERT_TRUE(SendAll(m_Peer.Get(), std::vector<uint8_t>(1000, 0x55)));
    Drained();
    EXPECT_EQ(m_Socket->State(), TcpSocket::kRunning);
    EXPECT_EQ(m_User->Fifo().Size(), 0u);
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(TcpSocketTest, ABadMarkerEndsTheConnection) {
    LogCapture log(1);
    Connect();
    ASSERT_TRUE(SendAll(m_Peer.Get(), Frame({1}, 0x12345678)));
    EXPECT_EQ(Next().code, SocketUser::kClosedCode);
    EXPECT_EQ(log.Count(": Recv bad STREAM marker (0x12345678)"), 1);
}

TEST_F(TcpSocketTest, ThePeerClosingMidBodyEndsTheConnection) {
    Connect();
    auto wire = Frame(std::vector<uint8_t>(50, 9));
    ASSERT_TRUE(SendAll(m_Peer.Get(), wire.data(), 30));
    m_Peer.Reset();
    EXPECT_EQ(Next().code, SocketUser::kClosedCode);
    EXPECT_EQ(m_User->Fifo().Size(), 0u);  // no partial body was handed on
}

TEST_F(TcpSocketTest, SendMsgRefusesWithTheReason) {
    LogCapture log(1);
    Connect();
    EXPECT_FALSE(m_Socket->SendMsg(nullptr));
    EXPECT_FALSE(m_Socket->SendMsg(std::make_unique<RecBuf>(0)));   // no data area
    EXPECT_FALSE(m_Socket->SendMsg(std::make_unique<RecBuf>(16)));  // nothing in it
    auto consumed = Buffer("ab");
    consumed->Get16();
    EXPECT_FALSE(m_Socket->SendMsg(std::move(consumed)));  // everything already read
    EXPECT_EQ(log.Lines(),
              (std::vector<std::string>{"TcpSocket::SendMsg() Received NULL buffer pointer",
                                        "TcpSocket::SendMsg() Received NULL buffer pointer",
                                        "TcpSocket::SendMsg() Invalid buffer length: 0",
                                        "TcpSocket::SendMsg() Invalid buffer length: 0"}));
    // Only the unread part of a buffer is sent.
    auto partly = Buffer("xyz");
    partly->Get8();
    ASSERT_TRUE(m_Socket->SendMsg(std::move(partly)));
    EXPECT_EQ(RecvExact(m_Peer.Get(), 10), Frame({'y', 'z'}));
    log.Clear();
    m_Socket->Close();
    EXPECT_FALSE(m_Socket->SendMsg(Buffer("late")));
    EXPECT_EQ(log.Count("TcpSocket::SendMsg() Link not running (state="), 1);
}

// Holds the worker inside OnRecv until released, so that it leaves the send queue alone.
class BlockingUser : public SocketUser {
public:
    void OnRecv(std::unique_ptr<RecBuf> buffer) override {
        std::unique_lock<std::mutex> lock(m_Lock);
        m_Inside = true;
        m_Changed.notify_all();
        m_Changed.wait(lock, [&] { return m_Released; });
        SocketUser::OnRecv(std::move(buffer));
    }
    void WaitInside() {
        std::unique_lock<std::mutex> lock(m_Lock);
        m_Changed.wait(lock, [&] { return m_Inside; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_Lock);
        m_Released = true;
        m_Changed.notify_all();
    }

private:
    std::mutex m_Lock;
    std::condition_variable m_Changed;
    bool m_Inside = false;
    bool m_Released = false;
};

TEST(TcpSocketClose, CloseTwicePushesOneStopEntryAndGivesNoOnClose) {
    LogCapture log(2);
    Listener listener;
    SocketHandle s = TcpBase::OpenSocket(TcpBase::GetHostAddr("."), listener.Port(), 5000);
    ASSERT_TRUE(s.Valid());
    Fd peer = listener.Accept();
    auto user = std::make_shared<BlockingUser>();
    TcpSocket socket(std::move(s), user);
    ASSERT_TRUE(SendAll(peer.Get(), Frame({1})));
    user->WaitInside();
    socket.Close();
    socket.Close();
    EXPECT_EQ(socket.State(), TcpSocket::kCloseRequested);
    EXPECT_EQ(socket.PendingSends(), 1u);
    user->Release();
    EXPECT_TRUE(socket.WaitFinished(5000));
    EXPECT_EQ(socket.State(), TcpSocket::kFinished);
    EXPECT_EQ(socket.PendingSends(), 0u);
    // The message received before the stop is handed on; no OnClose for a requested stop.
    int32_t code = 0;
    ASSERT_TRUE(user->Fifo().Pop(&code));
    EXPECT_EQ(code, SocketUser::kRecvCode);
    EXPECT_EQ(user->Fifo().Size(), 0u);
    EXPECT_EQ(log.Count(") Thread terminated normally"), 1);
    socket.Close();  // after the end: nothing more is queued
    EXPECT_EQ(socket.PendingSends(), 0u);
}

TEST_F(TcpSocketTest, CloseEndsASendThatAPeerHoldsUp) {
    Connect();
    // A message far larger than the socket buffers, to a peer that never reads.
    auto big = std::make_unique<RecBuf>(32 * 1024 * 1024);
    big->Commit(32 * 1024 * 1024);
    ASSERT_TRUE(m_Socket->SendMsg(std::move(big)));
    ASSERT_TRUE(Eventually([&] { return m_Socket->PendingSends() == 0; }));
    m_Socket->Close();
    EXPECT_TRUE(m_Socket->WaitFinished(5000));
    EXPECT_EQ(m_User->Fifo().Size(), 0u);  // stopped by request: no OnClose
}

TEST_F(TcpSocketTest, SilenceBeyondTheIdleLimitEndsTheConnection) {
    LogCapture log(0);
    Connect();
    m_Clock->Advance(10000);
    EXPECT_FALSE(m_User->Fifo().Wait(100));  // exactly the limit: still up
    m_Clock->Advance(1);
    EXPECT_EQ(Next().code, SocketUser::kClosedCode);
    ASSERT_EQ(log.Count(" 10.000 second IDLE timeout"), 1);
    EXPECT_EQ(log.Matching("IDLE")[0].rfind("TcpSocket::WorkerThread(0x", 0), 0u);
}

TEST_F(TcpSocketTest, KeepAlivesResetTheIdleTimer) {
    Connect();
    m_Clock->Advance(6000);
    ASSERT_TRUE(SendAll(m_Peer.Get(), KeepAlive()));
    Drained();
    m_Clock->Advance(6000);  // 12 s since the start, 6 s since the keep-alive
    EXPECT_FALSE(m_User->Fifo().Wait(100));
    EXPECT_EQ(m_Socket->State(), TcpSocket::kRunning);
    m_Clock->Advance(10000);
    EXPECT_EQ(Next().code, SocketUser::kClosedCode);
}

TEST_F(TcpSocketTest, AKeepAliveGoesOutAfter2501MsWithoutSending) {
    Connect();
    m_Clock->Advance(2500);
    EXPECT_TRUE(PeerQuiet());
    m_Clock->Advance(1);
    EXPECT_EQ(RecvExact(m_Peer.Get(), 8), KeepAlive());
    // Sending a message starts the interval again.
    m_Clock->Advance(2000);
    ASSERT_TRUE(m_Socket->SendMsg(Buffer("m")));
    EXPECT_EQ(RecvExact(m_Peer.Get(), 9), Frame({'m'}));
    m_Clock->Advance(2000);
    EXPECT_TRUE(PeerQuiet());
    m_Clock->Advance(501);
    EXPECT_EQ(RecvExact(m_Peer.Get(), 8), KeepAlive());
}

TEST_F(TcpSocketTest, ADribblingPeerIsAssembledWithinTheIdleLimit) {
    Connect();
    std::vector<uint8_t> wire = Frame({'s', 'l', 'o', 'w'});
    for (uint8_t b : wire) {
        ASSERT_TRUE(SendAll(m_Peer.Get(), &b, 1));
        Drained();
        m_Clock->Advance(100);
    }
    MsgFifo::Entry e = Next();
    ASSERT_EQ(e.code, SocketUser::kRecvCode);
    EXPECT_EQ(Bytes(*e.buffer), (std::vector<uint8_t>{'s', 'l', 'o', 'w'}));
}

TEST_F(TcpSocketTest, ADribbleSlowerThanTheIdleLimitIsDropped) {
    LogCapture log(0);
    TcpSocketOptions options;
    options.idleLimitMs = 500;
    Connect(options);
    std::vector<uint8_t> wire = Frame(std::vector<uint8_t>(8, 1));
    size_t sent = 0;
    for (; sent < wire.size() && m_User->Fifo().Size() == 0; ++sent) {
        if (!SendAll(m_Peer.Get(), &wire[sent], 1)) break;
        Drained();
        m_Clock->Advance(100);
    }
    EXPECT_EQ(Next().code, SocketUser::kClosedCode);
    EXPECT_LT(sent, wire.size());
    EXPECT_EQ(log.Count(" 0.500 second IDLE timeout"), 1);
}

TEST_F(TcpSocketTest, ARealTimeIdleLimitDropsASilentPeer) {
    TcpSocketOptions options;
    options.idleLimitMs = 200;
    options.clock = std::make_shared<SystemClock>();
    Connect(options);
    EXPECT_EQ(Next(10000).code, SocketUser::kClosedCode);
}

TEST(TcpSocket, AnInvalidSocketIsLoggedAndFailsOnItsFirstSend) {
    LogCapture log(1);
    auto clock = std::make_shared<ManualClock>();
    TcpSocketOptions options;
    options.clock = clock;
    options.tickMs = 10;
    auto user = std::make_shared<SocketUser>();
    TcpSocket socket(SocketHandle(), user, options);
    EXPECT_TRUE(log.HasLine("TcpSocket::TcpSocket() Invalid s"));
    clock->Advance(2501);  // the first keep-alive cannot be sent
    ASSERT_TRUE(user->Fifo().Wait(5000));
    int32_t code = 0;
    user->Fifo().Pop(&code);
    EXPECT_EQ(code, SocketUser::kClosedCode);
    EXPECT_EQ(log.Count(FormatStr(" WSASend() error (%d)", EBADF)), 1);
    socket.Close();
    EXPECT_TRUE(socket.WaitFinished(5000));
}

// After Close and the bounded wait, nothing of the connection is left: no descriptor, no thread.
TEST(TcpSocketLifetime, NothingIsLeftAfterCloseOrDestruction) {
    // Workers of earlier tests may still be on their way out; start from none.
    ASSERT_TRUE(Eventually([] { return ThreadsNamed("TcpSocketThread") == 0; }));
    Listener listener;
    const int fds = OpenFds();
    const int threads = Threads();
    for (bool closeFirst : {true, false}) {
        auto user = std::make_shared<SocketUser>();
        SocketHandle s = TcpBase::OpenSocket(TcpBase::GetHostAddr("."), listener.Port(), 5000);
        ASSERT_TRUE(s.Valid());
        Fd peer = listener.Accept();
        {
            TcpSocket socket(std::move(s), user);
            ASSERT_TRUE(socket.SendMsg(Buffer("q")));
            EXPECT_EQ(RecvExact(peer.Get(), 9), Frame({'q'}));
            // The message may go out before the worker has named itself.
            EXPECT_TRUE(Eventually([] { return ThreadsNamed("TcpSocketThread") == 1; }));
            if (closeFirst) {
                socket.Close();
                EXPECT_TRUE(socket.WaitFinished(2000));
            }
        }  // destroying without Close() closes as well
        EXPECT_TRUE(PeerClosed(peer.Get()));
        peer.Reset();
        user.reset();
        EXPECT_TRUE(Eventually([&] { return ThreadsNamed("TcpSocketThread") == 0; }, 10000))
            << closeFirst;
        if (kCountAllThreads) {
            EXPECT_TRUE(Eventually([&] { return Threads() <= threads; }, 10000)) << closeFirst;
        }
        EXPECT_TRUE(Eventually([&] { return OpenFds() <= fds; }, 10000)) << closeFirst;
    }
}

}  // namespace
}  // namespace jvo
