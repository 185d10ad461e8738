#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/ControlPeers.h"
#include "protocol/ServiceUnix.h"
#include "runtime/Mux.h"

using looptest::Capture;
using looptest::count;
using looptest::frame;
using looptest::Peer;
using looptest::runUntil;
using looptest::User;
using State = Control::Service::State;

namespace {

// A temporary folder, removed with what it holds.
struct Folder
{
    Folder()
    {
        char name[] = "/tmp/stalvane-unix-XXXXXX";
        path = ::mkdtemp(name);
    }
    ~Folder() { std::filesystem::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }

    std::string path;
};

sockaddr_un address(const std::string& path)
{
    sockaddr_un a;
    std::memset(&a, 0, sizeof a);
    a.sun_family = AF_UNIX;
    std::memcpy(a.sun_path, path.data(), path.size());
    return a;
}

// A client socket, bound to local when it is not empty; -1 when the
// connect fails.
int connectTo(const std::string& path, const std::string& local = std::string())
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (!local.empty()) {
        sockaddr_un l = address(local);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&l), sizeof l), 0);
    }
    sockaddr_un a = address(path);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool isSocket(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

struct Connector : Control::ConnectorUnix
{
    using ConnectorUnix::ConnectorUnix;
    using ConnectorUnix::TryConnect;
};

class Unix : public ::testing::Test
{
protected:
    Unix() { Mux::g_tv_time = {1700000000, 0}; }
    ~Unix() override { Mux::g_tv_time = {0, 0}; }
    // Moves the clock by ms and runs what falls due.
    void advance(unsigned ms)
    {
        looptest::advance(ms);
        multiplexer.timers_schedule();
    }

    Capture out{std::cout};
    Capture err{std::cerr};
    Capture log{std::clog};
    Folder folder;
    std::string path = folder / "control";
};

} // namespace

TEST_F(Unix, AcceptorTakesOneConnectionAndRefusesTheNext)
{
    Control::AcceptorUnix acceptor(path);
    User user(acceptor);
    acceptor.Bind(&user);
    ASSERT_TRUE(acceptor.Activate());
    EXPECT_TRUE(acceptor.IsListening());

    Peer first(connectTo(path));   // not bound to a path: no name
    ASSERT_GE(first.fd, 0);
    ASSERT_TRUE(runUntil([&] { return acceptor.GetState() == State::Connected; }));
    EXPECT_EQ(out.str(), "new connection from \n");
    EXPECT_EQ(user.events, std::vector<std::string>{"connect Connected "});

    Peer second(connectTo(path, folder / "second"));
    ASSERT_TRUE(runUntil([&] { return second.pump(); }));
    EXPECT_EQ(err.str(), "refuse connection from " + (folder / "second") + "\n");

    first.send(frame("ping"));
    ASSERT_TRUE(runUntil([&] { return user.messages.size() == 1; }));
    EXPECT_EQ(user.messages[0], "ping");
    acceptor.Send("pong", 4);
    ASSERT_TRUE(runUntil([&] { return first.pump() || first.received.size() == 8; }));
    EXPECT_EQ(first.received, frame("pong"));

    first.close();
    ASSERT_TRUE(runUntil([&] { return user.events.size() == 2; }));
    EXPECT_EQ(user.events[1], "disconnect Connecting");
    EXPECT_NE(err.str().find("control connection  closed.\n"), std::string::npos);

    // Still listening: the next peer is taken under its own path.
    Peer third(connectTo(path, folder / "third"));
    ASSERT_TRUE(runUntil([&] { return acceptor.GetState() == State::Connected; }));
    EXPECT_EQ(acceptor.GetConnectionName(), folder / "third");

    // Deactivated, it listens no more; the socket file stays.
    acceptor.Deactivate();
    EXPECT_FALSE(acceptor.IsListening());
    EXPECT_TRUE(isSocket(path));
    EXPECT_EQ(connectTo(path), -1);
}

TEST_F(Unix, StaleFileAtThePathIsRemovedBeforeBinding)
{
    std::ofstream(path) << "left over";
    Control::AcceptorUnix acceptor(path);
    ASSERT_TRUE(acceptor.Activate());
    EXPECT_TRUE(acceptor.IsListening());
    EXPECT_TRUE(isSocket(path));
    EXPECT_EQ(err.str(), "");
}

TEST_F(Unix, AcceptorRetriesBindingEveryFiveSeconds)
{
    const std::string inside = folder / "later/control";
    Control::AcceptorUnix acceptor(inside);
    ASSERT_TRUE(acceptor.Activate());
    const std::string line = "can't bind to socket: \"No such file or directory\"  waiting...\n";
    EXPECT_EQ(err.str(), line);
    advance(4999);
    EXPECT_EQ(err.str(), line);
    advance(1);
    EXPECT_EQ(err.str(), line + line);
    EXPECT_FALSE(acceptor.IsListening());

    ::mkdir((folder / "later").c_str(), 0700);
    advance(5000);
    EXPECT_TRUE(acceptor.IsListening());
    EXPECT_EQ(acceptor.GetState(), State::Connecting);
    Peer peer(connectTo(inside));
    EXPECT_TRUE(runUntil([&] { return acceptor.GetState() == State::Connected; }));
}

TEST_F(Unix, AcceptorOutOfDescriptorsPausesInsteadOfSpinning)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizers need descriptors of their own";
#endif
    Control::AcceptorUnix acceptor(path);
    ASSERT_TRUE(acceptor.Activate());
    Peer peer(connectTo(path));
    ASSERT_GE(peer.fd, 0);

    // No descriptor left for the accept: the connection stays pending.
    looptest::NoFreeDescriptor limit;
    ASSERT_TRUE(limit.lowered);
    runUntil([] { return false; }, 200);
    ASSERT_TRUE(limit.restore());
    EXPECT_EQ(err.str(), "can't accept connection: Too many open files, waiting...\n");
    EXPECT_EQ(acceptor.GetState(), State::Connecting);

    advance(Control::AcceptorUnix::accept_retry_ms);
    EXPECT_TRUE(runUntil([&] { return acceptor.GetState() == State::Connected; }));
}

TEST_F(Unix, ConnectorAndAcceptorTalk)
{
    Control::AcceptorUnix acceptor(path);
    User server(acceptor);
    acceptor.Bind(&server);
    ASSERT_TRUE(acceptor.Activate());

    const std::string local = folder / "agent";
    Connector connector(path, local);
    User client(connector);
    connector.Bind(&client);
    ASSERT_TRUE(connector.Activate());
    EXPECT_EQ(log.str(), "connected to " + path + "\n");
    EXPECT_EQ(client.events, std::vector<std::string>{"connect Connected " + path});
    ASSERT_TRUE(runUntil([&] { return acceptor.GetState() == State::Connected; }));
    EXPECT_EQ(acceptor.GetConnectionName(), local);

    connector.Send("up", 2);
    acceptor.Send("down", 4);
    ASSERT_TRUE(runUntil([&] { return server.messages.size() == 1 && client.messages.size() == 1; }));
    EXPECT_EQ(server.messages[0], "up");
    EXPECT_EQ(client.messages[0], "down");

    // A live connection is never replaced by a second attempt.
    connector.TryConnect();
    EXPECT_EQ(client.events.size(), 1u);
    EXPECT_EQ(count(log.str(), "connected to"), 1);
    EXPECT_EQ(err.str(), "");

    // The acceptor drops the connection: the connector is back 10 s later.
    acceptor.Disconnect();
    ASSERT_TRUE(runUntil([&] { return client.events.size() == 2 && server.events.size() == 2; }));
    EXPECT_EQ(client.events[1], "disconnect Connecting");
    advance(9999);
    EXPECT_EQ(client.events.size(), 2u);
    advance(1);
    EXPECT_EQ(client.events.size(), 3u);
    ASSERT_TRUE(runUntil([&] { return server.events.size() == 3; }));
    EXPECT_EQ(connector.GetRetryBudget(), 7);
}

TEST_F(Unix, ConnectorWithoutServerRetriesSevenTimesThenEveryTwentySeconds)
{
    Connector connector(path);
    ASSERT_TRUE(connector.Activate());
    const std::string line = "can't connect to " + path + " : No such file or directory\n";
    EXPECT_EQ(err.str(), line);
    for (int i = 1; i <= 7; ++i) {
        advance(999);
        EXPECT_EQ(count(err.str(), line), i);
        advance(1);
        EXPECT_EQ(count(err.str(), line), i + 1);
    }
    advance(19999);
    EXPECT_EQ(count(err.str(), line), 8);
    advance(1);
    EXPECT_EQ(count(err.str(), line), 9);

    // The server appears: the next slow retry connects.
    Control::AcceptorUnix acceptor(path);
    ASSERT_TRUE(acceptor.Activate());
    advance(20000);
    EXPECT_EQ(connector.GetState(), State::Connected);
    EXPECT_EQ(count(err.str(), "\n"), 9);
}

TEST_F(Unix, LocalPathThatCannotBeBoundStillConnects)
{
    Control::AcceptorUnix acceptor(path);
    ASSERT_TRUE(acceptor.Activate());
    const std::string local = folder / "missing/agent";
    Connector connector(path, local);
    ASSERT_TRUE(connector.Activate());
    EXPECT_EQ(err.str(), "can't bind to domain socket '" + local + "': \"No such file or directory\n");
    EXPECT_EQ(connector.GetState(), State::Connected);
    ASSERT_TRUE(runUntil([&] { return acceptor.GetState() == State::Connected; }));
    EXPECT_EQ(acceptor.GetConnectionName(), "");
}

TEST_F(Unix, PeerThatHangsUpAtOnceIsOneCloseNotAFailedAttempt)
{
    // A plain server that accepts and hangs up before the loop turns.
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a = address(path);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(::listen(listener, 4), 0);

    Connector connector(path);
    User client(connector);
    connector.Bind(&client);
    ASSERT_TRUE(connector.Activate());
    ::close(::accept(listener, nullptr, nullptr));
    ASSERT_TRUE(runUntil([&] { return client.events.size() == 2; }));
    EXPECT_EQ(err.str(), "control connection " + path + " closed.\n");
    EXPECT_EQ(connector.GetRetryBudget(), 7);

    advance(9999);
    EXPECT_EQ(client.events.size(), 2u);
    advance(1);
    EXPECT_EQ(client.events.size(), 3u);
    EXPECT_EQ(connector.GetState(), State::Connected);
    ::close(listener);
}

TEST_F(Unix, DeactivatedConnectorClosesWithoutNotice)
{
    Control::AcceptorUnix acceptor(path);
    User server(acceptor);
    acceptor.Bind(&server);
    ASSERT_TRUE(acceptor.Activate());
    Connector connector(path);
    User client(connector);
    connector.Bind(&client);
    ASSERT_TRUE(connector.Activate());
    ASSERT_TRUE(runUntil([&] { return acceptor.GetState() == State::Connected; }));

    connector.Deactivate();
    EXPECT_EQ(connector.GetState(), State::Idle);
    ASSERT_TRUE(runUntil([&] { return server.events.size() == 2; }));   // the acceptor sees the close
    advance(10000);
    EXPECT_EQ(client.events.size(), 1u);
    EXPECT_EQ(connector.GetState(), State::Idle);
}
