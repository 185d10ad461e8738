#include <fcntl.h>

#include "LoopFixture.h"
#include "runtime/Event.h"
#include "runtime/Timer.h"

using namespace looptest;

namespace {

struct Call
{
    std::string who;
    int fd;
    short revents;
};

// A component waiting on one descriptor, the way the daemon's are written.
class Client
{
public:
    Client(std::vector<Call>& calls, std::string name) : calls(calls), name(std::move(name)) {}

    void OnEvent(int fd, short revents)
    {
        calls.push_back({name, fd, revents});
        if (action) {
            std::function<void()> run = action;   // may delete this client
            run();
        }
    }

    std::vector<Call>& calls;
    std::string name;
    Event event;
    std::function<void()> action;
};

class CountingHandler : public Event::Handler
{
public:
    explicit CountingHandler(int& deleted) : deleted(deleted) {}
    ~CountingHandler() override { ++deleted; }
    void Invoke(int, short) override {}

private:
    int& deleted;
};

std::vector<std::string> names(const std::vector<Call>& calls)
{
    std::vector<std::string> result;
    for (const Call& call : calls)
        result.push_back(call.who);
    return result;
}

bool isCloexec(int fd)
{
    return (::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0;
}

} // namespace

class EventTest : public LoopTest
{
protected:
    // Binds each client and schedules it on a duplicate of `fd`.
    void watch(std::initializer_list<Client*> clients, const Fd& fd, short mask = POLLIN)
    {
        for (Client* client : clients) {
            client->event.Bind("Client::OnEvent", &Client::OnEvent, client);
            client->event.Schedule(fd, mask);
        }
    }

    std::vector<Call> calls;
    SocketPair pair;
    Fd own{::dup(pair.fd[0])};
};

TEST_F(EventTest, ScheduleWatchesAnOwnCloseOnExecDuplicate)
{
    Event event;
    EXPECT_EQ(event.getName(), "Unknown");
    EXPECT_FALSE(event.IsActive());
    event.Schedule(own, POLLIN);   // own: a plain dup, without close-on-exec
    ASSERT_TRUE(event.IsActive());
    EXPECT_NE(event.getFd(), own.get());
    EXPECT_NE(event.getFd(), pair.fd[0]);
    EXPECT_TRUE(isCloexec(event.getFd()));
    EXPECT_TRUE(event.is_attached());
    EXPECT_EQ(::fcntl(own.get(), F_GETFD), 0);   // the caller's descriptor stays open

    // Rescheduling never trips the duplicate-attach message: it detaches first.
    Capture err(std::cerr);
    event.Schedule(own, POLLOUT);
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(event.getEvents(), POLLOUT);
    EXPECT_EQ(multiplexer.attachedCountForTest(), 1u);

    event.Schedule(Fd(), POLLIN);   // an invalid descriptor releases
    EXPECT_FALSE(event.IsActive());
    EXPECT_FALSE(event.is_attached());
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
    event.Release();   // nothing held: nothing reported
    EXPECT_EQ(err.str(), "");
}

TEST_F(EventTest, MaskMismatchCallsBackWithoutCounting)
{
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[1]);   // the reading end now reports POLLHUP, whatever it asks for
    Fd hungUp(pipeFds[0]);
    Client in(calls, "in"), hup(calls, "hup"), idle(calls, "idle");
    watch({&in}, own);
    watch({&hup}, hungUp, POLLPRI);
    watch({&idle}, Fd(::dup(pair.fd[1])));
    pair.send();
    multiplexer.runTurnForTest();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].fd, in.event.getFd());
    EXPECT_EQ(calls[0].revents, POLLIN);
    EXPECT_EQ(calls[1].revents, POLLHUP);
    EXPECT_EQ(calls[2].revents, 0);
    EXPECT_EQ(in.event.getCount(), 1u);
    EXPECT_EQ(hup.event.getCount(), 0u);
    EXPECT_EQ(idle.event.getCount(), 0u);
}

TEST_F(EventTest, RescheduleFromOwnCallbackMovesToTheEndNextTurn)
{
    pair.send();
    Client a(calls, "a"), b(calls, "b"), c(calls, "c");
    watch({&a, &b, &c}, own);
    a.action = [&a, this] {
        a.event.Schedule(own, POLLIN | POLLOUT);
        a.action = nullptr;
    };
    multiplexer.runTurnForTest();
    EXPECT_EQ(names(calls), (std::vector<std::string>{"a", "b", "c"}));
    multiplexer.runTurnForTest();
    EXPECT_EQ(names(calls), (std::vector<std::string>{"a", "b", "c", "b", "c", "a"}));
    EXPECT_EQ(calls.back().revents, POLLIN | POLLOUT);
    EXPECT_EQ(pollLog().lastSet.back().events, POLLIN | POLLOUT);
}

TEST_F(EventTest, InPlaceMaskChangeKeepsTheOrder)
{
    pair.send();
    Client a(calls, "a"), b(calls, "b");
    watch({&a, &b}, own);
    const int fd = a.event.getFd();
    a.action = [&a] {
        a.event.setEvents(POLLOUT);
        a.action = nullptr;
    };
    multiplexer.runTurnForTest();
    multiplexer.runTurnForTest();
    EXPECT_EQ(names(calls), (std::vector<std::string>{"a", "b", "a", "b"}));
    EXPECT_EQ(a.event.getFd(), fd);
    EXPECT_EQ(pollLog().lastSet[0].events, POLLOUT);
    EXPECT_EQ(a.event.getCount(), 2u);   // POLLIN, then POLLOUT asked and reported
}

TEST_F(EventTest, CallbackDeletesItsOwnEventAndTheNextOne)
{
    pair.send();
    auto* a = new Client(calls, "a");
    auto* b = new Client(calls, "b");
    Client c(calls, "c");
    watch({a, b, &c}, own);
    Client late(calls, "late");
    late.event.Bind("Client::OnEvent", &Client::OnEvent, &late);
    a->action = [a, b, &late, this] {
        delete b;
        late.event.Schedule(own, POLLIN);   // attached mid-pass: first polled next turn
        delete a;
    };
    multiplexer.runTurnForTest();
    EXPECT_EQ(names(calls), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(multiplexer.attachedCountForTest(), 2u);
    multiplexer.runTurnForTest();
    EXPECT_EQ(names(calls), (std::vector<std::string>{"a", "c", "c", "late"}));
}

TEST_F(EventTest, CallbackReleasesOrUnbindsItself)
{
    pair.send();
    Client a(calls, "a"), b(calls, "b");
    watch({&a, &b}, own);
    a.action = [&a] { a.event.Release(); };
    b.action = [&b] { b.event.UnBind(); };   // deletes the running handler
    multiplexer.runTurnForTest();
    multiplexer.runTurnForTest();
    EXPECT_EQ(names(calls), (std::vector<std::string>{"a", "b"}));
    EXPECT_FALSE(a.event.IsActive());
    EXPECT_TRUE(b.event.IsActive());
    EXPECT_FALSE(b.event.isBound());
    EXPECT_EQ(b.event.getCount(), 2u);   // still polled and counted, nobody called
}

TEST_F(EventTest, BindingAgainDeletesTheHandlerAndNullActionsDoNothing)
{
    int deleted = 0;
    {
        Event event;
        event.Bind(new CountingHandler(deleted));
        event.Bind(new CountingHandler(deleted));
        EXPECT_EQ(deleted, 1);
        event.UnBind();
        EXPECT_EQ(deleted, 2);
        EXPECT_FALSE(event.isBound());
        event.Bind(new CountingHandler(deleted));
    }
    EXPECT_EQ(deleted, 3);

    Client client(calls, "client");
    Event::THandler<Client> none(nullptr, &client);
    none.Invoke(3, POLLIN);
    EXPECT_TRUE(calls.empty());
}

TEST_F(EventTest, DerivedObjectBindsABaseMember)
{
    struct Derived : Client
    {
        using Client::Client;
    };
    Derived derived(calls, "derived");
    derived.event.Bind("Client::OnEvent", &Client::OnEvent, &derived);
    EXPECT_EQ(derived.event.event_name(), "Client::OnEvent");
    EXPECT_TRUE(derived.event.is_named());
}
