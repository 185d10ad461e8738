#pragma once
// Shared by the loop tests: the clock seam, a poll() that never sleeps, and
// stream capture. Every test leaves the global multiplexer empty.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/Dpc.h"
#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"

namespace looptest {

// Moves the loop clock forward (negative: back) by ms.
inline void advance(std::int64_t ms)
{
    std::int64_t usec = static_cast<std::int64_t>(Mux::g_tv_time.sec) * 1000000 + Mux::g_tv_time.usec + ms * 1000;
    Mux::g_tv_time.sec = static_cast<std::int32_t>(usec / 1000000);
    Mux::g_tv_time.usec = static_cast<std::int32_t>(usec % 1000000);
}

// What the fake poll saw and does. It looks at the descriptors without
// waiting; when none is ready it moves the clock by the time-out instead of
// sleeping. `hook` runs before it returns (for example to call terminate()).
struct PollLog
{
    std::vector<int> timeouts;
    std::vector<unsigned> sizes;
    std::vector<pollfd> lastSet;
    std::function<void()> hook;
    int forcedResult = 0;   // non-zero: returned with forcedErrno, nothing looked at
    int forcedErrno = 0;
};

inline PollLog& pollLog()
{
    static PollLog log;
    return log;
}

inline int fakePoll(pollfd* fds, nfds_t count, int timeout)
{
    PollLog& log = pollLog();
    log.timeouts.push_back(timeout);
    log.sizes.push_back(static_cast<unsigned>(count));
    log.lastSet.assign(fds, fds + count);
    int result;
    if (log.forcedResult != 0) {
        result = log.forcedResult;
        errno = log.forcedErrno;
    } else {
        result = ::poll(fds, count, 0);
        if (result == 0) {
            if (timeout < 0) {
                ADD_FAILURE() << "poll would block for ever";
                multiplexer.terminate();
            } else {
                advance(timeout);
            }
        }
    }
    if (log.hook) {
        int saved = errno;
        log.hook();
        errno = saved;
    }
    return result;
}

// Replaces a stream's buffer for the scope.
class Capture
{
public:
    explicit Capture(std::ostream& stream) : stream(stream), old(stream.rdbuf(text.rdbuf())) {}
    ~Capture() { stream.rdbuf(old); }
    std::string str() const { return text.str(); }
    void clear() { text.str(""); }

private:
    std::ostream& stream;
    std::ostringstream text;
    std::streambuf* old;
};

// A datagram socket pair; closes what is still open.
struct SocketPair
{
    int fd[2] = {-1, -1};
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fd), 0); }
    ~SocketPair()
    {
        for (int f : fd) {
            if (f >= 0)
                ::close(f);
        }
    }
    void send(int side = 1) { ASSERT_EQ(::write(fd[side], "x", 1), 1); }
    void drain(int side = 0)
    {
        char buffer[64];
        while (::read(fd[side], buffer, sizeof buffer) > 0) {
        }
    }
};

// Names of the Probes serviced, in order; cleared by LoopTest.
inline std::vector<std::string>& serviceLog()
{
    static std::vector<std::string> log;
    return log;
}

// A bare handler over a raw descriptor that records its services. Its
// destructor detaches it.
class Probe : public EventHandler
{
public:
    Probe(int fd, std::string name, short mask = POLLIN) : fd(fd), mask(mask), name(std::move(name)) {}

    void shedule_event(pollfd& entry) override
    {
        entry.fd = fd;
        entry.events = mask;
    }
    void svc_event(short revents) override
    {
        seen.push_back(revents);
        serviceLog().push_back(name);
        if (onService) {
            // The callback may delete this probe: run a copy.
            std::function<void(Probe&)> callback = onService;
            callback(*this);
        }
    }
    std::string event_name() const override { return name; }

    int fd;
    short mask;
    std::string name;
    std::vector<short> seen;
    std::function<void(Probe&)> onService;
};

// A deferred call running `action`, which sees the call's number (1, 2, ...)
// in `calls`. Not to be deleted from inside its own action.
struct Deferred
{
    explicit Deferred(std::function<void(Deferred&)> action) : action(std::move(action))
    {
        dpc.Bind(this, &Deferred::run);
    }
    void run()
    {
        ++calls;
        action(*this);
    }

    std::function<void(Deferred&)> action;
    int calls = 0;
    Dpc dpc;
};

// A start time far from any wrap; tests that need a wrap set their own.
const Mux::timeval startTime = {1700000000, 0};

class LoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Mux::g_tv_time = startTime;
        pollLog() = PollLog();
        serviceLog().clear();
        multiplexer.setPollForTest(fakePoll);
    }
    void TearDown() override
    {
        EXPECT_TRUE(multiplexer.invariantForTest());
        EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
        EXPECT_EQ(multiplexer.timerCountForTest(), 0u);
        EXPECT_EQ(multiplexer.dpcCountForTest(), 0u);
        EXPECT_EQ(multiplexer.pluginCountForTest(), 0u);
        multiplexer.setPollForTest(nullptr);
        pollLog() = PollLog();
        Mux::g_tv_time = {0, 0};
    }
};

} // namespace looptest
