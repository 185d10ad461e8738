#include <gtest/gtest.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "protocol/ConnectorNet.h"
#include "protocol/ControlPeers.h"
#include "runtime/Mux.h"

using looptest::Capture;
using looptest::count;
using looptest::frame;
using looptest::Peer;
using looptest::runUntil;
using looptest::step;
using looptest::User;

namespace {

// A controller-side socket on a loopback port of its own: bound but not
// listening it refuses connections, listening it queues them.
struct Server
{
    Server() { open(0); }
    ~Server() { ::close(fd); }
    void open(std::uint16_t wanted)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        const int one = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        INet4::Addr a;
        a.Reset();
        a.Assign("127.0.0.1", nullptr);
        a.SetPort(wanted);
        EXPECT_EQ(::bind(fd, a.sa(), sizeof a), 0);
        socklen_t size = sizeof a;
        ::getsockname(fd, a.sa(), &size);
        port = a.GetPort();
    }
    // Back to refusing, on the same port.
    void refuse()
    {
        ::close(fd);
        open(port);
    }
    void listen() { ASSERT_EQ(::listen(fd, 4), 0); }
    // The connection that is waiting, or -1.
    int accept() { return ::accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK); }

    int fd = -1;
    std::uint16_t port = 0;
};

// Drops the error bits of every poll result, so a refused connect shows as
// writable with the error only in SO_ERROR.
int pollWithoutErrors(pollfd* fds, nfds_t n, int timeout)
{
    const int ready = looptest::cappedPoll(fds, n, timeout);
    for (nfds_t i = 0; i < n; ++i)
        fds[i].revents &= static_cast<short>(~(POLLERR | POLLHUP));
    return ready;
}

struct Connector : Control::ConnectorNet
{
    using ConnectorNet::ConnectorNet;
    using ConnectorNet::TryConnect;
};

class Connect : public ::testing::Test
{
protected:
    Connect() { Mux::g_tv_time = {1700000000, 0}; }
    ~Connect() override
    {
        connector.Deactivate();
        Mux::g_tv_time = {0, 0};
    }
    void start(Connector& c)
    {
        c.Bind(&user);
        c.service_name("agent");
        EXPECT_TRUE(c.Activate());
        EXPECT_EQ(c.GetRetryBudget(), 7);
        settle();
    }
    // Lets the attempt in progress end: while connecting, its event is the
    // only one the loop watches.
    void settle()
    {
        runUntil([&] { return !connecting() || multiplexer.attachedCountForTest() == 0; }, 1000, poll);
    }
    // Moves the clock by ms; a retry that falls due makes its attempt.
    void advance(unsigned ms)
    {
        step(ms);
        multiplexer.timers_schedule();
        settle();
    }
    // The next attempt comes exactly ms later.
    void expectPeriod(unsigned ms, const std::string& line)
    {
        const int before = count(err.str(), line);
        advance(ms - 1);
        EXPECT_EQ(count(err.str(), line), before) << ms;
        advance(1);
        EXPECT_EQ(count(err.str(), line), before + 1) << ms;
    }
    bool connecting() const { return connector.GetState() == Control::Service::State::Connecting; }
    bool connected() const { return connector.GetState() == Control::Service::State::Connected; }

    Capture out{std::cout};
    Capture err{std::cerr};
    Capture log{std::clog};
    Server server;
    Connector connector{"127.0.0.1", server.port};
    User user{connector};
    Multiplexer::PollFunction poll = looptest::cappedPoll;
};

} // namespace

TEST_F(Connect, ConnectionCarriesFramesBothWays)
{
    server.listen();
    start(connector);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    const std::string target = "127.0.0.1:" + std::to_string(server.port);
    EXPECT_EQ(out.str(), "connected to " + target + ".\n");
    EXPECT_EQ(user.events, std::vector<std::string>{"connect Connected " + target});
    EXPECT_EQ(connector.GetPeer().GetString(), target);
    EXPECT_EQ(err.str(), "");

    Peer controller(server.accept());
    ASSERT_GE(controller.fd, 0);
    controller.send(frame("abc") + frame(""));
    ASSERT_TRUE(runUntil([&] { return user.messages.size() == 2; }));
    EXPECT_EQ(user.messages, (std::vector<std::string>{"abc", ""}));
    connector.Send("xyz", 3);
    ASSERT_TRUE(runUntil([&] { return controller.pump() || controller.received.size() == 7; }));
    EXPECT_EQ(controller.received, frame("xyz"));

    // A live connection is never replaced by a second attempt.
    connector.TryConnect();
    EXPECT_EQ(server.accept(), -1);
    EXPECT_EQ(user.events.size(), 1u);
    EXPECT_TRUE(connected());
}

TEST_F(Connect, RefusingPeerGetsSevenQuickRetriesThenOneEveryFifteenSeconds)
{
    const std::string line = "fail to connect to 127.0.0.1:" + std::to_string(server.port) + "\n";
    start(connector);
    EXPECT_EQ(err.str(), line);
    for (int i = 0; i < 7; ++i)
        expectPeriod(1000, line);
    EXPECT_EQ(connector.GetRetryBudget(), 0);
    expectPeriod(15000, line);
    expectPeriod(15000, line);
    std::string all;
    for (int i = 0; i < 10; ++i)
        all += line;
    EXPECT_EQ(err.str(), all);
    EXPECT_EQ(connector.GetState(), Control::Service::State::Connecting);
    EXPECT_TRUE(user.events.empty());

    // The peer comes up: the next retry connects.
    server.listen();
    advance(15000);
    EXPECT_TRUE(connected());
}

TEST_F(Connect, ConnectThatFailsAtOnceRetriesEveryTwentySeconds)
{
    Connector unreachable("255.255.255.255", 1);
    unreachable.Bind(&user);
    EXPECT_TRUE(unreachable.Activate());
    const std::string line = "can't connect to 255.255.255.255:1 : Network is unreachable\n";
    EXPECT_EQ(err.str(), line);
    for (int i = 0; i < 7; ++i)
        expectPeriod(1000, line);
    expectPeriod(20000, line);
    expectPeriod(20000, line);
    EXPECT_EQ(count(err.str(), "\n"), 10);
    unreachable.Deactivate();
    EXPECT_EQ(multiplexer.timerCountForTest(), 0u);
}

TEST_F(Connect, SocketErrorAfterTheConnectCompletesRetriesEveryTwelveSeconds)
{
    poll = pollWithoutErrors;
    const std::string line = "fail to connect to 127.0.0.1:" + std::to_string(server.port) + "\n";
    start(connector);
    EXPECT_EQ(err.str(), line);
    for (int i = 0; i < 7; ++i)
        expectPeriod(1000, line);
    expectPeriod(12000, line);
    expectPeriod(12000, line);
    EXPECT_EQ(count(err.str(), "\n"), 10);
}

TEST_F(Connect, ClosedConnectionIsRetriedAfterTenSecondsWithTheBudgetLeft)
{
    const std::string target = "127.0.0.1:" + std::to_string(server.port);
    const std::string line = "fail to connect to " + target + "\n";
    start(connector);
    expectPeriod(1000, line);
    expectPeriod(1000, line);   // three attempts: four quick retries left
    server.listen();
    advance(1000);
    ASSERT_TRUE(connected());
    EXPECT_EQ(connector.GetRetryBudget(), 4);

    int accepted = server.accept();
    ASSERT_GE(accepted, 0);
    ::close(accepted);
    server.refuse();
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    EXPECT_EQ(user.events[1], "disconnect Connecting");
    EXPECT_NE(err.str().find("control connection " + target + " closed.\n"), std::string::npos);

    err.clear();
    expectPeriod(10000, line);
    for (int i = 0; i < 4; ++i)
        expectPeriod(1000, line);
    expectPeriod(15000, line);
    EXPECT_EQ(count(err.str(), "\n"), 6);
}

TEST_F(Connect, ReconnectionAfterAnUnusedBudgetHasAllSevenQuickRetries)
{
    server.listen();
    start(connector);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    int accepted = server.accept();
    ::close(accepted);
    server.refuse();
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    const std::string line = "fail to connect to 127.0.0.1:" + std::to_string(server.port) + "\n";
    expectPeriod(10000, line);
    for (int i = 0; i < 7; ++i)
        expectPeriod(1000, line);
    expectPeriod(15000, line);
    server.listen();
    advance(15000);
    ASSERT_TRUE(connected());
    EXPECT_EQ(user.events.size(), 3u);
    EXPECT_EQ(connector.GetRetryBudget(), 0);   // not refilled by the connection
}

TEST_F(Connect, DeactivateWhileConnectedClosesWithoutNotice)
{
    server.listen();
    start(connector);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    Peer controller(server.accept());
    connector.Deactivate();
    EXPECT_EQ(connector.GetState(), Control::Service::State::Idle);
    ASSERT_TRUE(runUntil([&] { return controller.pump(); }));
    advance(10000);
    EXPECT_EQ(server.accept(), -1);
    EXPECT_EQ(user.events.size(), 1u);
    EXPECT_EQ(multiplexer.timerCountForTest(), 0u);

    // Activated again, it connects again and carries frames.
    EXPECT_TRUE(connector.Activate());
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    Peer again(server.accept());
    again.send(frame("back"));
    ASSERT_TRUE(runUntil([&] { return user.messages.size() == 1; }));
    EXPECT_EQ(user.messages[0], "back");
}

TEST_F(Connect, DeactivateBeforeTheCloseNoticeStopsReconnection)
{
    server.listen();
    start(connector);
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    ::close(server.accept());
    ASSERT_TRUE(runUntil([&] { return connector.GetState() == Control::Service::State::Deactivating; }));
    connector.Deactivate();
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    EXPECT_EQ(user.events[1], "disconnect Idle");
    advance(10000);
    EXPECT_EQ(server.accept(), -1);
    EXPECT_EQ(connector.GetState(), Control::Service::State::Idle);
}

TEST(ConnectorNetAddress, TargetFromTheAddressTexts)
{
    EXPECT_EQ(Control::ConnectorNet("10.1.2.3:2001").GetTarget().GetString(), "10.1.2.3:2001");
    EXPECT_EQ(Control::ConnectorNet("10.1.2.3").GetTarget().GetString(), "10.1.2.3:0");
    EXPECT_EQ(Control::ConnectorNet("no address:5").GetTarget().GetString(), "0.0.0.0:5");
    EXPECT_EQ(Control::ConnectorNet("10.1.2.3", 7).GetTarget().GetString(), "10.1.2.3:7");
    EXPECT_EQ(Control::ConnectorNet().GetTarget().GetString(), "0.0.0.0:0");
}

TEST_F(Connect, PortInTheHostTextOverridesThePortArgument)
{
    server.listen();
    Connector c("127.0.0.1:" + std::to_string(server.port), 9);
    User own(c);
    c.Bind(&own);
    EXPECT_TRUE(c.Activate());
    ASSERT_TRUE(runUntil([&] { return c.GetState() == Control::Service::State::Connected; }));
    EXPECT_EQ(own.events, std::vector<std::string>{"connect Connected 127.0.0.1:" + std::to_string(server.port)});
}
