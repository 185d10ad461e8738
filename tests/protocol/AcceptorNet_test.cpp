#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "protocol/AcceptorNet.h"
#include "protocol/ControlPeers.h"
#include "runtime/Mux.h"

using looptest::Capture;
using looptest::frame;
using looptest::User;
using looptest::runUntil;

namespace {

// A controller: a plain TCP client on the loopback.
struct Client : looptest::Peer
{
    explicit Client(std::uint16_t port) : Peer(looptest::connectLoopback(port)) {}
    std::uint16_t local_port() const { return looptest::localAddress(fd).GetPort(); }
};

int keepalive(int fd, int option)
{
    int value = -1;
    socklen_t size = sizeof value;
    ::getsockopt(fd, IPPROTO_TCP, option, &value, &size);
    return value;
}

bool tcp_info_readable(int fd)
{
    unsigned char info[92];
    socklen_t size = sizeof info;
    return ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, info, &size) == 0 && size >= 8;
}

class Acceptor : public ::testing::Test
{
protected:
    Acceptor() : user(acceptor)
    {
        Mux::g_tv_time = {1700000000, 0};
        acceptor.Bind(&user);
        acceptor.service_name("server");
        EXPECT_TRUE(acceptor.Activate());
        port = acceptor.GetBoundPort();
        EXPECT_NE(port, 0);
    }
    ~Acceptor() override { Mux::g_tv_time = {0, 0}; }
    // Moves the loop clock and runs a turn so that due timers fire.
    void advance(int ms)
    {
        looptest::advance(ms);
        runUntil([] { return false; }, 30);
    }
    bool connected() { return acceptor.GetState() == Control::Service::State::Connected; }

    Capture out{std::cout};
    Capture err{std::cerr};
    Control::AcceptorNetCheckConnection acceptor;
    User user;
    std::uint16_t port = 0;
};

} // namespace

TEST_F(Acceptor, ConnectionCarriesFramesBothWays)
{
    Client c(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    const std::string name = "127.0.0.1:" + std::to_string(c.local_port());
    EXPECT_EQ(out.str(), "new connection from " + name + "\n");
    EXPECT_EQ(user.events, std::vector<std::string>{"connect Connected " + name});

    c.send(frame("ABC") + frame(""));
    ASSERT_TRUE(runUntil([&] { return user.messages.size() == 2; }));
    EXPECT_EQ(user.messages, (std::vector<std::string>{"ABC", ""}));

    acceptor.Send("hello", 5);
    std::string big(65531, 'x');
    acceptor.Send(big.data(), 65531);
    acceptor.Send(big.data(), 65532);
    EXPECT_EQ(err.str(), "Control::Service::Send() refuse message of 65532 octets, max 65531\n");
    ASSERT_TRUE(runUntil([&] { return c.pump() || c.received.size() >= 9 + 65535; }));
    EXPECT_EQ(c.received, frame("hello") + frame(big));
    EXPECT_EQ(Packet::blocks_in_use(), 0u);
}

TEST_F(Acceptor, SecondControllerIsRefusedWhileTheFirstKeepsWorking)
{
    Client first(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    const int conn = acceptor.ConnectionSocketForTest();
    EXPECT_EQ(keepalive(conn, TCP_KEEPIDLE), 7200);   // system default until checked

    Client second(port);
    ASSERT_TRUE(runUntil([&] { return second.pump(); }));
    EXPECT_EQ(err.str(), "refuse connection from 127.0.0.1:" + std::to_string(second.local_port()) +
                             "\nCheckConnectionState CheckConnection\n");
    EXPECT_EQ(acceptor.GetCheckState(), Control::AcceptorNetCheckConnection::CheckState::CheckConnection);
    EXPECT_EQ(keepalive(conn, TCP_KEEPIDLE), 1);
    EXPECT_EQ(keepalive(conn, TCP_KEEPINTVL), 1);
    EXPECT_EQ(keepalive(conn, TCP_KEEPCNT), 3);

    Client third(port);
    ASSERT_TRUE(runUntil([&] { return third.pump(); }));
    const std::string text = err.str();
    EXPECT_EQ(text.find("CheckConnectionState"), text.rfind("CheckConnectionState"));   // no second switch

    first.send(frame("still here"));
    ASSERT_TRUE(runUntil([&] { return user.messages.size() == 1; }));
    EXPECT_EQ(user.messages[0], "still here");
    advance(1000);   // a check: the live connection stays
    EXPECT_TRUE(connected());
}

TEST_F(Acceptor, PendingConnectionsAreTakenInOneEvent)
{
    Client first(port), second(port);
    multiplexer.setPollForTest(looptest::cappedPoll);
    multiplexer.runTurnForTest();
    multiplexer.setPollForTest(nullptr);
    EXPECT_TRUE(connected());
    EXPECT_EQ(user.events.size(), 1u);
    EXPECT_NE(err.str().find("refuse connection from 127.0.0.1:" + std::to_string(second.local_port())),
              std::string::npos);
}

TEST_F(Acceptor, HealthyConnectionReturnsToNormalKeepAlive)
{
    Client first(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    const int conn = acceptor.ConnectionSocketForTest();
    Client second(port);
    ASSERT_TRUE(runUntil([&] { return second.pump(); }));
    if (!tcp_info_readable(conn))
        GTEST_SKIP() << "TCP_INFO is not readable here";
    err.clear();
    advance(1000);
    EXPECT_EQ(err.str(), "CheckConnectionState Idle\n");
    EXPECT_EQ(keepalive(conn, TCP_KEEPIDLE), 7200);
    EXPECT_EQ(keepalive(conn, TCP_KEEPINTVL), 75);
    EXPECT_EQ(keepalive(conn, TCP_KEEPCNT), 9);
    EXPECT_TRUE(connected());
}

TEST_F(Acceptor, DisconnectClosesForThePeerAndIsReportedOnce)
{
    Client c(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    acceptor.Disconnect();
    EXPECT_EQ(acceptor.GetState(), Control::Service::State::Deactivating);
    acceptor.Disconnect();   // nothing more
    acceptor.Send("x", 1);   // dropped silently
    ASSERT_TRUE(runUntil([&] { return c.pump() && user.events.size() == 2; }));
    EXPECT_EQ(c.received, "");
    EXPECT_EQ(user.events[1], "disconnect Connecting");
    EXPECT_EQ(err.str(), "control connection 127.0.0.1:" + std::to_string(c.local_port()) + " closed.\n");

    // The acceptor still listens: the next controller is taken.
    Client next(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    EXPECT_EQ(user.events.size(), 3u);
}

TEST_F(Acceptor, LastBytesBeforeThePeersCloseAreDelivered)
{
    Client c(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    c.send(frame("one") + frame("two"));
    c.close();
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    EXPECT_EQ(user.messages, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(user.events[1], "disconnect Connecting");
}

TEST_F(Acceptor, PeerThatStopsReadingMakesSendGiveUp)
{
    Client c(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    std::string big(65531, 'y');
    const auto start = std::chrono::steady_clock::now();
    while (connected())
        acceptor.Send(big.data(), 65531);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_GE(seconds, 0.9);
    EXPECT_LT(seconds, 3.0);
    EXPECT_EQ(err.str().rfind("SockStream[server]: write timeout, sendbuf=", 0), 0u) << err.str();
    EXPECT_EQ(acceptor.GetOverflowCounter(), 1u);
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    EXPECT_EQ(user.events[1], "disconnect Connecting");
    EXPECT_TRUE(runUntil([&] { return c.pump(); }));   // the peer sees the close
}

TEST_F(Acceptor, SendWithoutConnectionAndStateNames)
{
    // Said for the first dropped send after each change of state only.
    const std::string ignored = "Control::Service::Send() ignore Send request in ";
    acceptor.Send("x", 1);
    acceptor.Send("y", 1);
    EXPECT_EQ(err.str(), ignored + "Connecting state.\n");
    EXPECT_STREQ(Control::GetTextNotation(static_cast<Control::Service::State::Type>(4)), "Unknown");
    acceptor.Disconnect();   // no connection: no notice
    acceptor.Deactivate();
    EXPECT_EQ(acceptor.GetState(), Control::Service::State::Idle);
    acceptor.Send("x", 1);
    acceptor.Send("y", 1);
    EXPECT_EQ(err.str(), ignored + "Connecting state.\n" + ignored + "Idle state.\n");
    EXPECT_EQ(acceptor.GetBoundPort(), 0);
    EXPECT_TRUE(user.events.empty());
}

TEST_F(Acceptor, DeactivateBeforeTheCloseNoticeStaysInForce)
{
    Client c(port);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    acceptor.Disconnect();
    acceptor.Deactivate();
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    EXPECT_EQ(user.events[1], "disconnect Idle");
    EXPECT_EQ(acceptor.GetState(), Control::Service::State::Idle);
}

TEST(AcceptorBind, RetriesEveryFiveSecondsUntilThePortIsFree)
{
    Mux::g_tv_time = {1700000000, 0};
    const int blocker = ::socket(AF_INET, SOCK_STREAM, 0);
    INet4::Addr a;
    a.Reset();
    ASSERT_EQ(::bind(blocker, a.sa(), sizeof a), 0);
    ASSERT_EQ(::listen(blocker, 1), 0);
    a = looptest::localAddress(blocker);

    Capture err(std::cerr);
    Control::AcceptorNet acceptor(a.GetPort());
    EXPECT_TRUE(acceptor.Activate());
    const std::string line = "can't bind to socket: \"Address already in use\"  waiting...\n";
    EXPECT_EQ(err.str(), line);
    EXPECT_EQ(acceptor.GetBoundPort(), 0);
    Mux::g_tv_time.sec += 5;
    runUntil([] { return false; }, 30);
    EXPECT_EQ(err.str(), line + line);

    ::close(blocker);
    Mux::g_tv_time.sec += 5;
    EXPECT_TRUE(runUntil([&] { return acceptor.GetBoundPort() == a.GetPort(); }));
    Client c(a.GetPort());
    EXPECT_TRUE(runUntil([&] { return acceptor.GetState() == Control::Service::State::Connected; }));
    Mux::g_tv_time = {0, 0};
}
