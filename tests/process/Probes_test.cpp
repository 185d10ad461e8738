// The daemon against controllers and operators that misbehave: one that
// never reads, one killed mid-frame, bursts of refused ones, many sessions
// that leave their slots behind, signal storms, a stop during a flood and
// the descriptor limit reached while accepting.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ProbeSupport.h"

#include "asn1/CoderEnv.h"
#include "tools/ControllerClient.h"

using namespace proctest;

namespace {

// Watches the watchdog file in the background: the longest time it went
// without growing.
class WatchdogWatch {
public:
    explicit WatchdogWatch(const std::string& path) : path_(path), thread_([this] { run(); }) {}
    ~WatchdogWatch() { stop(); }
    long longestGapMs()
    {
        stop();
        return longest_;
    }

private:
    void stop()
    {
        done_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    void run()
    {
        off_t size = -1;
        Steady::time_point last = Steady::now();
        while (!done_) {
            struct stat st;
            if (::stat(path_.c_str(), &st) == 0 && st.st_size != size) {
                size = st.st_size;
                last = Steady::now();
            }
            const long gap = msSince(last);
            if (gap > longest_)
                longest_ = gap;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    std::string path_;
    std::atomic<bool> done_{false};
    long longest_ = 0;
    std::thread thread_;
};

// The watchdog is pinged once a loop turn ends a second after the last
// ping; what a turn does on top must stay small (the rest is slack for a
// busy machine).
const long kWatchdogGapMs = 2000;

class Probe : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(d.startOnPort()); }
    std::unique_ptr<Controller> served() { return servedController(d); }
    void stop()
    {
        ASSERT_TRUE(d.signal(SIGTERM));
        EXPECT_EQ(d.wait(), 0) << d.err();
        EXPECT_FALSE(d.exists("/var/run/server.pid"));
    }

    DaemonProcess d;
};

} // namespace

namespace {

// A frame of the command in value notation (seq 7).
std::vector<char> frame(const std::string& pdu)
{
    const std::int32_t seq = 7;
    LGCP::Message m;
    std::vector<char> payload, out;
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    if (Tools::buildMessage(pdu, &seq, nullptr, m) && ASN1::encode(m, &env, std::back_inserter(payload)))
        Tools::frameTpkt(payload.data(), payload.size(), out);
    return out;
}

// A TCP socket listens on the port (/proc/net/tcp, state 0A).
bool listening(std::uint16_t port)
{
    std::ifstream in("/proc/net/tcp");
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, ":%04X", port);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        if (fields >> slot >> local >> remote >> state && state == "0A" && local.size() > 5 &&
            local.compare(local.size() - 5, 5, suffix) == 0)
            return true;
    }
    return false;
}

} // namespace

TEST_F(Probe, ControllerThatNeverReadsIsDroppedAndTheNextServed)
{
    WatchdogWatch watchdog(d.path("/dev/misc/gw-wd"));
    const int fd = rawConnect(d.port, 1024);
    ASSERT_GE(fd, 0);
    // First one read's worth of bus tests, each waiting for the board a
    // little: the daemon handles them in a single turn.
    const std::vector<char> test =
        frame("command : testBpc : { bus 0, seed 1, mode write : NULL, timeslot-start 0, timeslot-length 8 }");
    ASSERT_FALSE(test.empty());
    std::vector<char> tests;
    while (tests.size() + test.size() <= 60000)
        tests.insert(tests.end(), test.begin(), test.end());
    // Then `query` without seq, its answer and the resource report signal,
    // until the daemon gives up writing what nobody reads.
    const char query[] = {3, 0, 0, 6, 0, 0};
    std::vector<char> queries;
    for (int i = 0; i < 512; ++i)
        queries.insert(queries.end(), query, query + sizeof query);
    const Steady::time_point start = Steady::now();
    std::size_t sent = 0;
    bool dropped = false;
    while (!dropped && msSince(start) < 2 * kStartMs) {
        if (sent < tests.size()) {
            const ssize_t n = ::send(fd, tests.data() + sent, tests.size() - sent, MSG_DONTWAIT | MSG_NOSIGNAL);
            sent += n > 0 ? static_cast<std::size_t>(n) : 0;
        } else {
            ::send(fd, queries.data(), queries.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        dropped = d.err().find("write timeout") != std::string::npos;
    }
    ::close(fd);
    EXPECT_TRUE(dropped) << d.err();
    EXPECT_NE(served(), nullptr) << d.err();
    EXPECT_LE(watchdog.longestGapMs(), kWatchdogGapMs);
    stop();
}

// A forked child, killed and reaped at the latest when the test ends.
struct Child {
    pid_t pid = ::fork();
    ~Child() { kill(); }
    void kill()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        pid = -1;
    }
};

TEST_F(Probe, ControllerKilledInTheMiddleOfAFrame)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    Child child;
    ASSERT_NE(child.pid, -1);
    if (child.pid == 0) {
        const int fd = rawConnect(d.port);
        // The header and half of a ping; a child that fails ends, so that
        // the read below does not wait for good.
        if (fd < 0 || ::send(fd, kPingFrame, 6, MSG_NOSIGNAL) != 6 || ::write(ready[1], "x", 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    ::close(ready[1]);
    char x;
    EXPECT_EQ(::read(ready[0], &x, 1), 1);
    ::close(ready[0]);
    ASSERT_TRUE(d.waitForText("/stderr", "controller connect.", kAnswerMs));
    child.kill();

    // The half frame is gone with its connection.
    std::unique_ptr<Controller> next = served();
    ASSERT_NE(next, nullptr) << d.err();
    EXPECT_EQ(next->command("command : query : NULL"), ok(2));
    stop();
}

TEST_F(Probe, GarbageBeforeAFrameIsSaidOnce)
{
    const int fd = rawConnect(d.port);
    ASSERT_GE(fd, 0);
    std::string bytes(2000, '\x55');
    bytes.append(kPingFrame, sizeof kPingFrame);
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    // The ping's answer comes, between signals.
    const std::vector<char> answer = {'\x80', 1, 7, 0x40};
    std::vector<char> input, payload;
    bool answered = false;
    const Steady::time_point start = Steady::now();
    while (!answered && msSince(start) < kAnswerMs) {
        pollfd entry = {fd, POLLIN, 0};
        char buffer[4096];
        if (::poll(&entry, 1, 50) != 1)
            continue;
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        input.insert(input.end(), buffer, buffer + n);
        long cut;
        while (!answered && (cut = Tools::cutTpkt(input.data(), input.size(), payload)) > 0) {
            answered = payload == answer;
            input.erase(input.begin(), input.begin() + cut);
        }
    }
    ::close(fd);
    EXPECT_TRUE(answered) << d.err();
    const std::string err = d.err();
    EXPECT_EQ(occurrences(err, "TPKT bad TPKT packet start.\n"), 1u) << err.substr(0, 500);
    stop();
}

TEST_F(Probe, BurstOfRefusedControllersLeavesTheFirstServed)
{
    std::unique_ptr<Controller> c = served();
    ASSERT_NE(c, nullptr);
    const std::set<int> before = descriptors(d.pid());
    for (int i = 0; i < 200; ++i) {
        const int fd = rawConnect(d.port);
        ASSERT_GE(fd, 0) << i;
        EXPECT_TRUE(closedByPeer(fd)) << i;
        ::close(fd);
    }
    EXPECT_EQ(c->command("command : ping : NULL"), ok(2));
    EXPECT_EQ(descriptors(d.pid()), before);
    stop();
}

TEST_F(Probe, SignalStormsChangeNothingElse)
{
    std::unique_ptr<Controller> c = served();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->command(trunk(0, 5), 1), ok(2, 1));
    const std::set<int> before = descriptors(d.pid());
    const std::size_t logged = d.err().size();
    for (int i = 0; i < 300; ++i) {
        for (int signo : {SIGHUP, SIGUSR2, SIGCHLD})
            ASSERT_TRUE(d.signal(signo));
    }
    EXPECT_EQ(c->command("command : ping : NULL"), ok(3));
    EXPECT_NE(c->signal("query"), "");
    EXPECT_TRUE(d.waitForText("/var/log/server-status", "AcceptorNet::OnSocketEvent"));
    // The slot is still there, nothing else was opened or left open, and
    // the log says only what the signals asked for.
    EXPECT_EQ(c->command("command : destroy : NULL", 1), ok(4, 1));
    EXPECT_EQ(descriptors(d.pid()), before);
    std::istringstream lines(d.err().substr(logged));
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line, "update hardware resources");
    stop();
}

TEST_F(Probe, StopWhileAControllerFloodsCommands)
{
    const int fd = rawConnect(d.port);
    ASSERT_GE(fd, 0);
    std::atomic<bool> flooding{true};
    std::thread flood([&] {
        char buffer[4096];
        while (flooding) {
            ::send(fd, kPingFrame, sizeof kPingFrame, MSG_DONTWAIT | MSG_NOSIGNAL);
            ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        }
    });
    ASSERT_TRUE(d.waitForText("/stderr", "controller connect.", kAnswerMs));
    ASSERT_TRUE(d.signal(SIGTERM));
    const int status = d.wait();
    flooding = false;
    flood.join();
    ::close(fd);
    EXPECT_EQ(status, 0) << d.err();
    EXPECT_FALSE(d.exists("/var/run/server.pid"));
}

TEST_F(Probe, DescriptorLimitWhileAcceptingNeitherSpinsNorStopsService)
{
#ifdef STALVANE_DAEMON_SANITIZED
    // The sanitizers' runtime needs descriptors of its own for its checks.
    if (std::getenv("STALVANE_DAEMON") == nullptr)
        GTEST_SKIP() << "the daemon built with the tests is sanitized";
#endif
    const Steady::time_point start = Steady::now();
    while (!listening(d.port) && msSince(start) < kStartMs)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(listening(d.port));
    // No descriptor number left below the limit: the next accept fails.
    const std::set<int> open = descriptors(d.pid());
    int lowestFree = 0;
    while (open.count(lowestFree) != 0)
        ++lowestFree;
    rlimit limit{}, saved{};
    ASSERT_EQ(::prlimit(d.pid(), RLIMIT_NOFILE, nullptr, &saved), 0);
    limit = saved;
    limit.rlim_cur = static_cast<rlim_t>(lowestFree);
    ASSERT_EQ(::prlimit(d.pid(), RLIMIT_NOFILE, &limit, nullptr), 0);

    Controller waiting;
    ASSERT_TRUE(waiting.connect(d.port));
    const long ticks = cpuTicks(d.pid());
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    const long used = cpuTicks(d.pid()) - ticks;
    // 1.5 s of waiting costs the loop far less than a third of it.
    EXPECT_LT(used * 1000 / ::sysconf(_SC_CLK_TCK), 500) << used << " ticks";

    ASSERT_EQ(::prlimit(d.pid(), RLIMIT_NOFILE, &saved, nullptr), 0);
    EXPECT_EQ(waiting.command("command : ping : NULL"), ok(1)) << d.err() << d.out();
    stop();
}
