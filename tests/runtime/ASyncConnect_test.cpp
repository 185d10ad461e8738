#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

#include "runtime/ASyncConnect.h"
#include "runtime/Fd.h"
#include "runtime/INet4Addr.h"
#include "runtime/LoopFixture.h"

namespace {

using ASync::Connect;
typedef Connect::Status Status;

struct Recorder {
    void on(Status::Type s, Fd fd)
    {
        statuses.push_back(s);
        socket = std::move(fd);
    }
    std::vector<Status::Type> statuses;
    Fd socket;
};

INet4::Addr loopback(int port)
{
    INet4::Addr a;
    a.Reset();
    a.Assign("127.0.0.1", nullptr);
    a.SetPort(port);
    return a;
}

// A TCP socket on 127.0.0.1, port chosen by the system; listening or not.
struct Loopback {
    explicit Loopback(int backlog)
    {
        fd = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        INet4::Addr a = loopback(0);
        EXPECT_EQ(bind(fd.get(), a.sa(), sizeof a), 0);
        if (backlog >= 0) {
            EXPECT_EQ(listen(fd.get(), backlog), 0);
        }
        socklen_t len = sizeof a;
        getsockname(fd.get(), a.sa(), &len);
        port = a.GetPort();
    }
    std::string address() const { return "127.0.0.1:" + std::to_string(port); }

    Fd fd;
    int port = 0;
};

// A listener whose accept queue is full: further connects stay pending.
struct Unanswered : Loopback {
    Unanswered() : Loopback(0)
    {
        filler = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const INet4::Addr a = loopback(port);
        EXPECT_EQ(::connect(filler.get(), a.sa(), sizeof a), 0);
    }
    Fd filler;
};

class ConnectTest : public looptest::LoopTest {
protected:
    void SetUp() override
    {
        LoopTest::SetUp();
        connect.Bind(&Recorder::on, &rec);
    }
    void turns(int max)
    {
        for (int i = 0; i < max && rec.statuses.empty(); ++i)
            multiplexer.runTurnForTest();
    }

    Recorder rec;
    Connect connect;
};

} // namespace

TEST_F(ConnectTest, ConnectsToAListeningPort)
{
    Loopback server(4);
    connect.Start(server.address(), 5000);
    turns(20);
    ASSERT_EQ(rec.statuses, std::vector<Status::Type>{Status::connected});
    ASSERT_TRUE(rec.socket);
    INet4::Addr peer;
    socklen_t len = sizeof peer;
    ASSERT_EQ(getpeername(rec.socket.get(), peer.sa(), &len), 0);
    EXPECT_EQ(peer.GetPort(), server.port);
    Fd accepted(accept(server.fd.get(), nullptr, nullptr));
    EXPECT_TRUE(accepted);
    EXPECT_EQ(write(rec.socket.get(), "hi", 2), 2);
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
    EXPECT_EQ(multiplexer.timerCountForTest(), 0u);
}

TEST_F(ConnectTest, ClosedPortFails)
{
    Loopback closed(-1);  // bound, not listening: the port stays ours
    connect.Start(closed.address(), 5000);
    turns(20);
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_FALSE(rec.socket);
    EXPECT_EQ(connect.state(), Status::failed);
}

TEST_F(ConnectTest, TimeOutFailsAndClosesTheSocket)
{
    Unanswered server;
    // Keeps the loop from seeing nothing to wait for once the attempt ends.
    Timer keepAlive;
    keepAlive.set(100000, +[] {});
    connect.Start(server.address(), 700);
    ASSERT_EQ(connect.state(), Status::connecting);
    multiplexer.runTurnForTest();
    EXPECT_TRUE(rec.statuses.empty());
    // The fake poll moves the clock by the time-out when nothing is ready.
    turns(5);
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_EQ(looptest::pollLog().timeouts.front(), 700);
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
    connect.Stop();  // finished: nothing happens
    EXPECT_EQ(rec.statuses.size(), 1u);
    keepAlive.reset();
}

TEST_F(ConnectTest, AddressThatDoesNotParseFailsWithoutConnecting)
{
    for (const char* bad : {"300.1.2.3:80", "127.0.0.1", "127.0.0.1:", "127.0.0.1:80x",
                            "localhost:80", "127.0.0.1:0", "127.0.0.1:65536", ""}) {
        rec.statuses.clear();
        connect.Start(bad, 1000);
        EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::failed}) << bad;
        EXPECT_EQ(multiplexer.attachedCountForTest(), 0u) << bad;
        EXPECT_EQ(multiplexer.timerCountForTest(), 0u) << bad;
    }
}

TEST_F(ConnectTest, StopEndsAPendingAttempt)
{
    Unanswered server;
    connect.Stop();  // idle: nothing
    EXPECT_TRUE(rec.statuses.empty());
    connect.Start(server.address(), 5000);
    connect.Stop();
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::stopped});
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
    EXPECT_EQ(multiplexer.timerCountForTest(), 0u);
}

namespace {

struct SelfDeleting {
    void on(Status::Type s, Fd fd)
    {
        status = s;
        socket = std::move(fd);
        delete connect;
        connect = nullptr;
    }
    Connect* connect = new Connect;
    Status::Type status = Status::idle;
    Fd socket;
};

} // namespace

TEST_F(ConnectTest, HandlerMayDeleteItsObject)
{
    Loopback server(4);
    SelfDeleting owner;
    owner.connect->Bind(&SelfDeleting::on, &owner);
    owner.connect->Start(server.address(), 5000);
    for (int i = 0; i < 20 && owner.connect != nullptr; ++i)
        multiplexer.runTurnForTest();
    EXPECT_EQ(owner.connect, nullptr);
    EXPECT_EQ(owner.status, Status::connected);
    EXPECT_TRUE(owner.socket);

    // Also when the attempt fails inside Start.
    SelfDeleting early;
    early.connect->Bind(&SelfDeleting::on, &early);
    early.connect->Start("nowhere", 5000);
    EXPECT_EQ(early.connect, nullptr);
    EXPECT_EQ(early.status, Status::failed);
}
