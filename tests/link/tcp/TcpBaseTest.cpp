#include "link/TcpBase.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include "base/Ipv4.h"
#include "link/OpenProblems.h"
#include "link/ProxyConnection.h"
#include "tests/link/tcp/TcpTestUtil.h"
#include "tests/link/threads/LogCapture.h"

namespace jvo {
namespace {

using namespace test;

TEST(TcpBase, DotAndDottedQuadsNeedNoLookup) {
    LogCapture log(1);
    int lookups = 0;
    TcpBase::Resolver counting = [&](const std::string&, uint32_t& a) {
        ++lookups;
        a = 0x0A000001;
        return true;
    };
    HostAddr dot = TcpBase::GetHostAddr(".", counting);
    EXPECT_TRUE(dot.valid);
    EXPECT_EQ(dot.ToString(), "127.0.0.1");
    HostAddr quad = TcpBase::GetHostAddr("192.168.10.20", counting);
    EXPECT_TRUE(quad.valid);
    EXPECT_EQ(quad.addr, 0xC0A80A14u);
    EXPECT_EQ(lookups, 0);
    HostAddr named = TcpBase::GetHostAddr("proxy.example", counting);
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(named.ToString(), "10.0.0.1");
    EXPECT_TRUE(log.Lines().empty());
}

TEST(TcpBase, ANameThatCannotBeResolvedIsLogged) {
    LogCapture log(1);
    TcpBase::Resolver failing = [](const std::string&, uint32_t&) { return false; };
    EXPECT_FALSE(TcpBase::GetHostAddr("no.such.host", failing).valid);
    EXPECT_FALSE(TcpBase::GetHostAddr("", failing).valid);
    EXPECT_FALSE(TcpBase::GetHostAddr("1.2.3.4.5", failing).valid);  // not a dotted quad
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{
                               "TcpBase::GetHostAddr() Cannot resolve host name: no.such.host",
                               "TcpBase::GetHostAddr() Cannot resolve host name: ",
                               "TcpBase::GetHostAddr() Cannot resolve host name: 1.2.3.4.5"}));
}

TEST(TcpBase, OpenSocketConnectsNonBlocking) {
    Listener listener;
    SocketHandle s = TcpBase::OpenSocket(TcpBase::GetHostAddr("."), listener.Port(), 5000);
    ASSERT_TRUE(s.Valid());
    EXPECT_TRUE(::fcntl(s.Get(), F_GETFL) & O_NONBLOCK);
    EXPECT_TRUE(::fcntl(s.Get(), F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(listener.Accept().Valid());
}

TEST(TcpBase, AClosedPortFailsAtOnce) {
    LogCapture log(2);
    const int fds = OpenFds();
    SocketHandle s = TcpBase::OpenSocket(TcpBase::GetHostAddr("127.0.0.1"), ClosedPort(), 5000);
    EXPECT_FALSE(s.Valid());
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{
                  FormatStr("TcpBase::OpenSocket() Connection failed (error=%d)", ECONNREFUSED)});
    EXPECT_LE(OpenFds(), fds);
    EXPECT_FALSE(TcpBase::OpenSocket(HostAddr{}, 1, 100).Valid());
}

TEST(TcpBase, AConnectThatNeverCompletesIsBounded) {
    LogCapture log(2);
    // A listener that never accepts, with the smallest backlog: once its queue is full the
    // system drops further connection requests, so their connects stay pending.
    Listener listener(0);
    std::vector<Fd> fillers;
    bool full = false;
    for (int i = 0; i < 16 && !full; ++i) {
        Fd c(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(listener.Port());
        ::connect(c.Get(), reinterpret_cast<sockaddr*>(&a), sizeof a);
        pollfd p{c.Get(), POLLOUT, 0};
        full = ::poll(&p, 1, 200) == 0;
        fillers.push_back(std::move(c));
    }
    if (!full) GTEST_SKIP() << "the listen queue never filled up";
    const int fds = OpenFds();
    SocketHandle s = TcpBase::OpenSocket(TcpBase::GetHostAddr("."), listener.Port(), 150);
    EXPECT_FALSE(s.Valid());
    EXPECT_EQ(log.Lines(), std::vector<std::string>{"TcpBase::OpenSocket() select() returned  0"});
    EXPECT_LE(OpenFds(), fds);
}

TEST(TcpBase, OnlyPlainDottedQuadsAreAddresses) {
    uint32_t a = 0;
    ASSERT_TRUE(ParseIpv4("255.255.255.255", a));
    EXPECT_EQ(a, 0xFFFFFFFFu);
    ASSERT_TRUE(ParseIpv4("0.0.0.0", a));
    EXPECT_EQ(FormatIpv4(0x7F000001), "127.0.0.1");
    for (const char* bad : {"01.2.3.4", "1.2.3.256", "1.2.3", "1.2.3.4 ", "1..2.3", "1.2.3.0004",
                            "1.2.3.4.5", "", "a.b.c.d"})
        EXPECT_FALSE(ParseIpv4(bad, a)) << bad;
}

TEST(TcpBase, ListenFailureSaysWhy) {
    SocketHandle busy = net::OpenStream();
    ASSERT_TRUE(busy.Valid());
    ASSERT_EQ(net::Listen(busy.Get(), 0x7F000001, 0, 1), 0);
    const uint16_t port = net::LocalPort(busy.Get());
    ASSERT_NE(port, 0);
    EXPECT_EQ(cmdline::ListenFailure("127.0.0.1", port),
              "port " + std::to_string(port) + " is in use by another program");
    busy.Reset();
    EXPECT_EQ(cmdline::ListenFailure("192.0.2.1", 0),
              "192.0.2.1 is not an address of this machine");
    EXPECT_EQ(cmdline::ListenFailure("localhost", 1),
              "cannot listen on localhost:1: not an IPv4 address");
}

TEST(TcpBase, HostAndPortAreSplitAtTheLastColon) {
    std::string host;
    uint16_t port = 0;
    EXPECT_TRUE(SplitHostPort("proxy", 43015, host, port));
    EXPECT_EQ(host, "proxy");
    EXPECT_EQ(port, 43015);
    EXPECT_TRUE(SplitHostPort("10.0.0.2:5000", 43015, host, port));
    EXPECT_EQ(host, "10.0.0.2");
    EXPECT_EQ(port, 5000);
    EXPECT_TRUE(SplitHostPort(".:65535", 43015, host, port));
    EXPECT_EQ(host, ".");
    EXPECT_EQ(port, 65535);
    for (const char* bad : {"h:", "h:0", "h:65536", "h:12a", "h:-1", "h:999999"})
        EXPECT_FALSE(SplitHostPort(bad, 43015, host, port)) << bad;
}

}  // namespace
}  // namespace jvo
