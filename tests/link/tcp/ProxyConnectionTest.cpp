#include "link/ProxyConnection.h"

#include <gtest/gtest.h>
#include <sys/time.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

#include "tests/link/tcp/TcpTestUtil.h"
#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

using namespace test;

// A scripted proxy server for one connection: each request body goes to `answer`, which returns
// the reply body to send (nullopt: send nothing; an empty vector: close the connection). Each
// reply goes out `copies` times in one write.
class FakeProxy {
public:
    using Answer = std::function<std::optional<std::vector<uint8_t>>(const std::vector<uint8_t>&)>;
    explicit FakeProxy(Answer answer, int copies = 1)
        : m_Answer(std::move(answer)), m_Copies(copies) {
        m_Thread = std::thread([this] { Serve(); });
    }
    ~FakeProxy() {
        m_Stop = true;
        m_Thread.join();
    }
    uint16_t Port() const { return m_Listener.Port(); }
    int Requests() const { return m_Requests.load(); }
    std::vector<uint8_t> LastRequest() const {
        std::lock_guard<std::mutex> guard(m_Lock);
        return m_Last;
    }
    bool Disconnected() const { return m_Disconnected.load(); }

    static std::vector<uint8_t> Reply(uint8_t status, const std::vector<uint8_t>& payload) {
        std::vector<uint8_t> v{status};
        PutLe16(v, static_cast<uint16_t>(payload.size()));
        v.insert(v.end(), payload.begin(), payload.end());
        return v;
    }

private:
    void Serve() {
        Fd conn;
        while (!m_Stop && !conn.Valid())
            conn = m_Listener.Accept(50);
        if (!conn.Valid()) return;
        timeval tv{0, 50 * 1000};
        ::setsockopt(conn.Get(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        std::vector<uint8_t> in;
        while (!m_Stop) {
            uint8_t buf[4096];
            ssize_t got = ::recv(conn.Get(), buf, sizeof buf, 0);
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
                m_Disconnected = true;
                return;
            }
            if (got > 0) in.insert(in.end(), buf, buf + got);
            while (in.size() >= 8) {
                const uint32_t length = Le32(in.data() + 4);
                if (in.size() < 8 + length) break;
                std::vector<uint8_t> body(in.begin() + 8, in.begin() + 8 + length);
                in.erase(in.begin(), in.begin() + 8 + length);
                if (length == 0) continue;  // keep-alive
                {
                    std::lock_guard<std::mutex> guard(m_Lock);
                    m_Last = body;
                }
                ++m_Requests;
                std::optional<std::vector<uint8_t>> reply = m_Answer(body);
                if (!reply) continue;
                if (reply->empty()) return;  // closes the connection
                std::vector<uint8_t> out;
                for (int i = 0; i < m_Copies; ++i) {
                    const std::vector<uint8_t> one = Frame(*reply);
                    out.insert(out.end(), one.begin(), one.end());
                }
                SendAll(conn.Get(), out);
            }
        }
    }

    Listener m_Listener;
    Answer m_Answer;
    const int m_Copies;
    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_Disconnected{false};
    std::atomic<int> m_Requests{0};
    mutable std::mutex m_Lock;
    std::vector<uint8_t> m_Last;
    std::thread m_Thread;
};

std::string Local(uint16_t port) {
    return "127.0.0.1:" + std::to_string(port);
}

std::vector<uint8_t> Written(const MsgBuf& b) {
    return std::vector<uint8_t>(b.Base(), b.Base() + b.WritePos());
}

TEST(ProxyConnection, ATransactionCarriesAddressLengthAndPayload) {
    FakeProxy proxy([](const std::vector<uint8_t>&) {
        return FakeProxy::Reply(1, {'d', 0x04, 0x00});
    });
    auto conn = ProxyConnection::Open(Local(proxy.Port()));
    ASSERT_TRUE(conn);
    MsgBuf request(1200);
    MsgBuf reply(1200);
    request.Put8(0x94);
    ASSERT_TRUE(conn->Transact(3, request, reply, 250));
    EXPECT_EQ(proxy.LastRequest(), (std::vector<uint8_t>{0x03, 0x01, 0x00, 0x94}));
    EXPECT_EQ(Written(reply), (std::vector<uint8_t>{'d', 0x04, 0x00}));
    EXPECT_EQ(request.Unread(), 1);  // the request is left as it was
    EXPECT_FALSE(conn->Ended());
}

TEST(ProxyConnection, StatusZeroFailsTheCommandButKeepsTheConnection) {
    std::atomic<int> n{0};
    FakeProxy proxy([&](const std::vector<uint8_t>&) {
        return ++n == 1 ? FakeProxy::Reply(0, {}) : FakeProxy::Reply(1, {'d'});
    });
    auto conn = ProxyConnection::Open(Local(proxy.Port()));
    ASSERT_TRUE(conn);
    MsgBuf request(16);
    MsgBuf reply(16);
    request.Put8(71);
    EXPECT_FALSE(conn->Transact(0, request, reply, 250));
    EXPECT_EQ(reply.WritePos(), 0);
    EXPECT_FALSE(conn->Ended());
    EXPECT_TRUE(conn->Transact(0, request, reply, 250));
    EXPECT_EQ(Written(reply), std::vector<uint8_t>{'d'});
}

TEST(ProxyConnection, AReplyLengthBeyondItsBytesIsNotReadPastTheEnd) {
    LogCapture log(1);
    FakeProxy proxy([](const std::vector<uint8_t>&) {
        std::vector<uint8_t> body{1};
        PutLe16(body, 10);
        body.insert(body.end(), {'d', 1, 2});
        return body;
    });
    auto conn = ProxyConnection::Open(Local(proxy.Port()));
    ASSERT_TRUE(conn);
    MsgBuf request(16);
    MsgBuf reply(16);
    request.Put8(80);
    EXPECT_FALSE(conn->Transact(0, request, reply, 250));
    EXPECT_EQ(reply.WritePos(), 0);
    EXPECT_TRUE(
        log.HasLine("ProxyConnection::Transact() Reply length 10 exceeds the 3 bytes received"));
    EXPECT_FALSE(conn->Ended());
}

// A proxy that sends every reply twice, in one write: the copy is never taken as the next
// request's answer, whether the socket's worker took it in meanwhile (it waits in the queue) or
// the next request goes out at once (it still waits on the socket, behind the real answer).
TEST(ProxyConnection, AReplySentTwiceNeverAnswersTheNextRequest) {
    LogCapture log(1);
    FakeProxy proxy(
        [](const std::vector<uint8_t>& request) {
            return FakeProxy::Reply(1, {'d', request.back()});  // echoes the request's last byte
        },
        2);
    auto conn = ProxyConnection::Open(Local(proxy.Port()));
    ASSERT_TRUE(conn);
    for (uint8_t i = 1; i <= 8; ++i) {
        MsgBuf request(16), reply(16);
        request.Put8(71);
        request.Put8(i);
        ASSERT_TRUE(conn->Transact(0, request, reply, 250));
        EXPECT_EQ(Written(reply), (std::vector<uint8_t>{'d', i}));
        if (i % 2 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the worker's turn
    }
    EXPECT_FALSE(conn->Ended());
    EXPECT_EQ(log.Count("Discarded 1 reply message(s) that arrived before the request"), 1);
}

// A run goes out at once and its replies are taken in order, whichever thread received them (the
// proxy pauses before some replies, so that the socket's worker takes those in). A status 0 in
// the middle fails that exchange alone; a proxy that stops answering ends the connection, and
// what was left of the run ends with it.
TEST(ProxyConnection, ARunIsPipelinedAndEachReplyAnswersItsOwnRequest) {
    std::atomic<bool> silent{false};
    FakeProxy proxy(
        [&](const std::vector<uint8_t>& request) -> std::optional<std::vector<uint8_t>> {
            const uint8_t tag = request.back();
            if (silent && tag >= 4) return std::nullopt;  // hangs from the 4th on
            if (tag % 3 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(150));
            if (tag == 3) return FakeProxy::Reply(0, {});
            return FakeProxy::Reply(1, {'d', tag});
        });
    ProxyOptions options;
    options.minReplyWaitMs = 1000;
    auto conn = ProxyConnection::Open(Local(proxy.Port()), options);
    ASSERT_TRUE(conn);
    constexpr int kRun = 8;
    std::vector<std::unique_ptr<MsgBuf>> requests, replies;
    Exchange ex[kRun];
    auto prepare = [&] {
        requests.clear();
        replies.clear();
        for (int i = 0; i < kRun; ++i) {
            requests.push_back(std::make_unique<MsgBuf>(16));
            replies.push_back(std::make_unique<MsgBuf>(16));
            requests.back()->Put8(71);
            requests.back()->Put8(static_cast<uint8_t>(i + 1));
            ex[i] = Exchange{requests.back().get(), replies.back().get(), {}, {}};
        }
    };
    for (int round = 0; round < 2; ++round) {
        prepare();
        EXPECT_EQ(conn->TransactMany(5, ex, kRun, 50), 2);
        for (int i = 0; i < kRun; ++i) {
            const auto tag = static_cast<uint8_t>(i + 1);
            if (tag == 3) {
                EXPECT_EQ(ex[i].status.result, LinkResult::NoReply);
                EXPECT_EQ(replies[static_cast<size_t>(i)]->WritePos(), 0);
            } else {
                EXPECT_TRUE(ex[i].status.Ok()) << int(tag);
                EXPECT_EQ(Written(*replies[static_cast<size_t>(i)]),
                          (std::vector<uint8_t>{'d', tag}));
            }
        }
    }
    EXPECT_EQ(proxy.Requests(), 2 * kRun);
    EXPECT_FALSE(conn->Ended());

    silent = true;
    prepare();
    EXPECT_EQ(conn->TransactMany(5, ex, kRun, 50), 2);
    EXPECT_EQ(ex[3].status.result, LinkResult::NoReply);
    for (int i = 4; i < kRun; ++i)
        EXPECT_EQ(ex[i].status.result, LinkResult::TransportLost);
    EXPECT_TRUE(conn->Ended());
}

// Replies longer than a unit can give, or more of them than one request can explain, end the
// connection.
TEST(ProxyConnection, AProxyThatOverrunsTheReplyBoundsIsDropped) {
    LogCapture log(1);
    FakeProxy tooLong([](const std::vector<uint8_t>&) {
        return FakeProxy::Reply(1, std::vector<uint8_t>(ProxyConnection::kMaxReplyBody, 'd'));
    });
    auto conn = ProxyConnection::Open(Local(tooLong.Port()));
    ASSERT_TRUE(conn);
    MsgBuf request(16), reply(1300);
    request.Put8(80);
    EXPECT_FALSE(conn->Transact(0, request, reply, 250));
    EXPECT_TRUE(conn->Ended());

    FakeProxy flood([](const std::vector<uint8_t>&) { return FakeProxy::Reply(1, {'d'}); },
                    ProxyConnection::kMaxQueuedReplies + 4);
    conn = ProxyConnection::Open(Local(flood.Port()));
    ASSERT_TRUE(conn);
    conn->Transact(0, request, reply, 250);  // may still take the first copy
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!conn->Ended() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(conn->Ended());
    EXPECT_EQ(conn->EndReason().find("the proxy server sent more than"), 0u);
    EXPECT_FALSE(conn->Transact(0, request, reply, 250));
}

TEST(ProxyConnection, AProxyThatNeverAnswersEndsTheConnection) {
    LogCapture log(1);
    FakeProxy proxy([](const std::vector<uint8_t>&) { return std::nullopt; });
    ProxyOptions options;
    options.minReplyWaitMs = 200;
    auto conn = ProxyConnection::Open(Local(proxy.Port()), options);
    ASSERT_TRUE(conn);
    MsgBuf request(16);
    MsgBuf reply(16);
    request.Put8(71);
    EXPECT_FALSE(conn->Transact(0, request, reply, 50));
    EXPECT_TRUE(log.HasLine("ProxyConnection::Transact() No reply within 200 ms"));
    EXPECT_TRUE(conn->Ended());
    EXPECT_TRUE(Eventually([&] { return proxy.Disconnected(); }));
    // Later transactions fail at once without sending anything.
    EXPECT_FALSE(conn->Transact(0, request, reply, 50));
    EXPECT_EQ(proxy.Requests(), 1);
}

TEST(ProxyConnection, TheCallersLongerReplyTimeOutIsHonoured) {
    FakeProxy proxy([](const std::vector<uint8_t>&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        return FakeProxy::Reply(1, {'d'});
    });
    ProxyOptions options;
    options.minReplyWaitMs = 100;
    auto conn = ProxyConnection::Open(Local(proxy.Port()), options);
    ASSERT_TRUE(conn);
    MsgBuf request(16);
    MsgBuf reply(16);
    request.Put8(42);
    EXPECT_TRUE(conn->Transact(0, request, reply, 10000));
}

TEST(ProxyConnection, AConnectionThatEndsFailsEveryLaterTransaction) {
    FakeProxy proxy([](const std::vector<uint8_t>&) { return std::vector<uint8_t>{}; });
    auto conn = ProxyConnection::Open(Local(proxy.Port()));
    ASSERT_TRUE(conn);
    MsgBuf request(16);
    MsgBuf reply(16);
    request.Put8(71);
    // The close is seen while the transaction waits (on its own thread), not at its 10 s bound.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(conn->Transact(0, request, reply, 250));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(conn->Ended());
    EXPECT_EQ(conn->EndReason(), "closed by the proxy server or the network");
    EXPECT_FALSE(conn->Transact(0, request, reply, 250));
    EXPECT_EQ(proxy.Requests(), 1);
}

TEST(ProxyConnection, ARequestLongerThanItsLengthFieldIsRefused) {
    LogCapture log(1);
    FakeProxy proxy([](const std::vector<uint8_t>&) { return FakeProxy::Reply(1, {'d'}); });
    auto conn = ProxyConnection::Open(Local(proxy.Port()));
    ASSERT_TRUE(conn);
    MsgBuf request(70000);
    MsgBuf reply(16);
    std::vector<uint8_t> big(65536, 1);
    request.PutBytes(big.data(), static_cast<int32_t>(big.size()));
    EXPECT_FALSE(conn->Transact(0, request, reply, 250));
    EXPECT_TRUE(log.HasLine("ProxyConnection::Transact() Request too long (65536 bytes)"));
    EXPECT_EQ(proxy.Requests(), 0);
}

TEST(ProxyConnection, OpenFailsForBadHostsPortsAndClosedPorts) {
    LogCapture log(1);
    ProxyOptions options;
    options.resolver = [](const std::string&, uint32_t&) { return false; };
    EXPECT_FALSE(ProxyConnection::Open("proxy.invalid", options));
    EXPECT_TRUE(log.HasLine("TcpBase::GetHostAddr() Cannot resolve host name: proxy.invalid"));
    EXPECT_FALSE(ProxyConnection::Open("127.0.0.1:0", options));
    EXPECT_TRUE(log.HasLine("ProxyConnection::Open() Invalid port in '127.0.0.1:0'"));
    EXPECT_FALSE(ProxyConnection::Open(Local(ClosedPort()), options));
    // A resolved name is used with the port it carries.
    FakeProxy proxy([](const std::vector<uint8_t>&) { return FakeProxy::Reply(1, {'d'}); });
    options.resolver = [](const std::string& name, uint32_t& a) {
        a = 0x7F000001;
        return name == "proxy.test";
    };
    EXPECT_TRUE(ProxyConnection::Open("proxy.test:" + std::to_string(proxy.Port()), options));
}

TEST(ProxyConnection, CloseWakesAWaitingTransactionAndLeavesNothingBehind) {
    // Workers of earlier tests may still be on their way out; start from none.
    ASSERT_TRUE(Eventually([] { return ThreadsNamed("TcpSocketThread") == 0; }));
    const int fds = OpenFds();
    const int threads = Threads();
    {
        FakeProxy proxy([](const std::vector<uint8_t>&) { return std::nullopt; });
        auto conn = ProxyConnection::Open(Local(proxy.Port()));
        ASSERT_TRUE(conn);
        std::atomic<bool> result{true};
        std::thread waiter([&] {
            MsgBuf request(16);
            MsgBuf reply(16);
            request.Put8(71);
            result = conn->Transact(0, request, reply, 250);  // would wait 10 s
        });
        ASSERT_TRUE(Eventually([&] { return proxy.Requests() == 1; }));
        const auto start = std::chrono::steady_clock::now();
        conn->Close();
        waiter.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        EXPECT_FALSE(result.load());
        EXPECT_TRUE(conn->Ended());
        conn->Close();  // again: nothing happens
        conn.reset();
    }
    EXPECT_TRUE(Eventually([&] { return ThreadsNamed("TcpSocketThread") == 0; }, 10000));
    if (kCountAllThreads) {
        EXPECT_TRUE(Eventually([&] { return Threads() <= threads; }, 10000));
    }
    EXPECT_TRUE(Eventually([&] { return OpenFds() <= fds; }));
}

}  // namespace
}  // namespace jvo
