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
        port = looptest::localAddress(fd).GetPort();
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
    ~Connect() override { Mux::g_tv_time = {0, 0}; }
    void start()
    {
        connector.Bind(&user);
        EXPECT_TRUE(connector.Activate());
        EXPECT_EQ(connector.GetRetryBudget(), 7);
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
        looptest::advance(ms);
        multiplexer.timers_schedule();
        settle();
    }
    // The next attempt, which prints line, comes exactly ms later.
    void expectPeriod(unsigned ms, const std::string& line)
    {
        const int before = count(err.str(), line);
        advance(ms - 1);
        EXPECT_EQ(count(err.str(), line), before) << ms;
        advance(1);
        EXPECT_EQ(count(err.str(), line), before + 1) << ms;
    }
    // quick retries 1000 ms apart, then two slow ones.
    void expectRetries(int quick, unsigned slow, const std::string& line)
    {
        for (int i = 0; i < quick; ++i)
            expectPeriod(1000, line);
        expectPeriod(slow, line);
        expectPeriod(slow, line);
        EXPECT_EQ(active->GetRetryBudget(), 0);
    }
    bool connecting() const { return active->GetState() == Control::Service::State::Connecting; }
    bool connected() const { return connector.GetState() == Control::Service::State::Connected; }
    // The server accepts the connection and closes it, then refuses.
    void dropConnection()
    {
        ::close(server.accept());
        server.refuse();
        ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
        EXPECT_EQ(user.events[1], "disconnect Connecting");
    }

    Capture out{std::cout};
    Capture err{std::cerr};
    Capture log{std::clog};
    Server server;
    std::string target = "127.0.0.1:" + std::to_string(server.port);
    std::string failed = "fail to connect to " + target + "\n";
    Connector connector{"127.0.0.1", server.port};
    User user{connector};
    Connector* active = &connector;   // the one the helpers watch
    Multiplexer::PollFunction poll = looptest::cappedPoll;
};

} // namespace

TEST_F(Connect, ConnectionCarriesFramesBothWays)
{
    server.listen();
    start();
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    EXPECT_EQ(out.str(), "connected to " + target + ".\n");
    EXPECT_EQ(user.events, std::vector<std::string>{"connect Connected " + target});
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
}

TEST_F(Connect, RefusingPeerGetsSevenQuickRetriesThenOneEveryFifteenSeconds)
{
    start();
    EXPECT_EQ(err.str(), failed);
    expectRetries(7, 15000, failed);
    EXPECT_EQ(count(err.str(), "\n"), 10);
    EXPECT_TRUE(user.events.empty());
    server.listen();   // the next retry connects
    advance(15000);
    EXPECT_TRUE(connected());
}

TEST_F(Connect, ConnectThatFailsAtOnceRetriesEveryTwentySeconds)
{
    Connector unreachable("255.255.255.255", 1);
    EXPECT_TRUE(unreachable.Activate());
    const std::string line = "can't connect to 255.255.255.255:1 : Network is unreachable\n";
    EXPECT_EQ(err.str(), line);
    active = &unreachable;
    expectRetries(7, 20000, line);
    unreachable.Deactivate();
    EXPECT_EQ(multiplexer.timerCountForTest(), 0u);
}

TEST_F(Connect, SocketErrorAfterTheConnectCompletesRetriesEveryTwelveSeconds)
{
    poll = pollWithoutErrors;
    start();
    EXPECT_EQ(err.str(), failed);
    expectRetries(7, 12000, failed);
    EXPECT_EQ(count(err.str(), "\n"), 10);
}

TEST_F(Connect, ClosedConnectionIsRetriedAfterTenSecondsWithTheBudgetLeft)
{
    start();
    expectPeriod(1000, failed);
    expectPeriod(1000, failed);   // three attempts: four quick retries left
    server.listen();
    advance(1000);
    ASSERT_TRUE(connected());
    dropConnection();
    EXPECT_NE(err.str().find("control connection " + target + " closed.\n"), std::string::npos);
    err.clear();
    expectPeriod(10000, failed);
    expectRetries(4, 15000, failed);
    EXPECT_EQ(count(err.str(), "\n"), 7);
}

TEST_F(Connect, ReconnectionAfterAnUnusedBudgetHasAllSevenQuickRetries)
{
    server.listen();
    start();
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    dropConnection();
    expectPeriod(10000, failed);
    expectRetries(7, 15000, failed);
    server.listen();
    advance(15000);
    EXPECT_EQ(user.events.size(), 3u);
}

TEST_F(Connect, DeactivateWhileConnectedClosesWithoutNotice)
{
    server.listen();
    start();
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
}

TEST_F(Connect, DeactivateBeforeTheCloseNoticeStopsReconnection)
{
    server.listen();
    start();
    ASSERT_TRUE(runUntil([&] { return connected(); }));
    ::close(server.accept());
    ASSERT_TRUE(runUntil([&] { return connector.GetState() == Control::Service::State::Deactivating; }));
    connector.Deactivate();
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    EXPECT_EQ(user.events[1], "disconnect Idle");
    advance(10000);
    EXPECT_EQ(server.accept(), -1);
}

TEST(ConnectorNetAddress, TargetFromTheAddressTexts)
{
    EXPECT_EQ(Control::ConnectorNet("10.1.2.3:2001").GetTarget().GetString(), "10.1.2.3:2001");
    EXPECT_EQ(Control::ConnectorNet("10.1.2.3").GetTarget().GetString(), "10.1.2.3:0");
    EXPECT_EQ(Control::ConnectorNet("no address:5").GetTarget().GetString(), "0.0.0.0:5");
    EXPECT_EQ(Control::ConnectorNet("10.1.2.3:2001", 7).GetTarget().GetString(), "10.1.2.3:2001");
    EXPECT_EQ(Control::ConnectorNet().GetTarget().GetString(), "0.0.0.0:0");
}
