#include <sys/resource.h>

#include <csignal>
#include <cstring>
#include <fstream>

#include "LoopFixture.h"
#include "support/TempRoot.h"
#include "runtime/Dpc.h"
#include "runtime/Timer.h"

using namespace looptest;

namespace {

using MultiplexerTest = LoopTest;

// With a probe on a socket pair attached, so that the loop never sees a hang.
class IdleLoopTest : public LoopTest
{
protected:
    void SetUp() override
    {
        LoopTest::SetUp();
        idle.mux_attach();
    }
    void TearDown() override
    {
        idle.mux_detach();
        LoopTest::TearDown();
    }

    SocketPair pair;
    Probe idle{pair.fd[0], "idle"};
};

void terminateLoop()
{
    multiplexer.terminate();
}

} // namespace

TEST(PollEventAsText, NamesSetBitsInFixedOrder)
{
    EXPECT_EQ(PollEventAsText(0), "");
    EXPECT_EQ(PollEventAsText(POLLOUT | POLLIN), "POLLIN|POLLOUT");
    EXPECT_EQ(PollEventAsText(0x7FF),
              "POLLIN|POLLPRI|POLLOUT|POLLERR|POLLHUP|POLLNVAL|POLLRDNORM|POLLRDBAND|POLLWRNORM|POLLWRBAND|POLLMSG");
    EXPECT_EQ(PollEventAsText(static_cast<short>(0x800 | 0x4000)), "");
    EXPECT_EQ(PollEventAsText(static_cast<short>(0x8000 | 0x400 | 0x20)), "POLLNVAL|POLLMSG");
}

TEST_F(MultiplexerTest, DuplicateAttachAndUnknownDetachAreReportedAndIgnored)
{
    SocketPair pair;
    Probe probe(pair.fd[0], "Probe::One");
    probe.mux_attach();
    {
        Capture err(std::cerr);
        multiplexer.attach(&probe);
        EXPECT_EQ(err.str(), "duplicate multiplexer attach \"Probe::One\" ignored.\n");
    }
    EXPECT_EQ(multiplexer.attachedCountForTest(), 1u);
    probe.mux_detach();
    {
        Capture err(std::cerr);
        multiplexer.detach(&probe);
        EXPECT_EQ(err.str(), "indvalid Multiplexer::detach Probe::One\n");
    }
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
}

TEST_F(MultiplexerTest, IdleHandlersGetZeroOnlyInTurnsWithAReadyDescriptor)
{
    SocketPair one, two;
    Probe ready(one.fd[0], "ready"), idle(two.fd[0], "idle");
    ready.mux_attach();
    idle.mux_attach();
    one.send();
    multiplexer.runTurnForTest();
    EXPECT_EQ(serviceLog(), (std::vector<std::string>{"ready", "idle"}));
    EXPECT_EQ(ready.seen, std::vector<short>{POLLIN});
    EXPECT_EQ(idle.seen, std::vector<short>{0});

    one.drain();
    Timer timer;
    timer.set(50, &terminateLoop);
    multiplexer.runTurnForTest();   // ends by time-out: nobody serviced
    EXPECT_EQ(serviceLog().size(), 2u);
    EXPECT_EQ(pollLog().timeouts, (std::vector<int>{-1, 50}));
    EXPECT_EQ(pollLog().sizes, (std::vector<unsigned>{2, 2}));
}

TEST_F(MultiplexerTest, HandlerDeletedBeforePollLosesItsEntry)
{
    SocketPair pair;
    pair.send();
    Probe keep(pair.fd[0], "keep");
    Probe* gone = new Probe(pair.fd[0], "gone");
    keep.mux_attach();
    gone->mux_attach();
    // The second deferred-call pass runs after the poll set is built.
    Deferred killer([gone](Deferred& self) {
        if (self.calls == 2) {
            delete gone;
            self.dpc.Deactivate();
        }
    });
    killer.dpc.Activate();
    multiplexer.runTurnForTest();
    ASSERT_EQ(pollLog().lastSet.size(), 2u);
    EXPECT_EQ(pollLog().lastSet[1].fd, -1);
    EXPECT_EQ(serviceLog(), std::vector<std::string>{"keep"});
}

TEST_F(MultiplexerTest, TerminateFromAHandlerStopsThePassAndKeepsTheOrder)
{
    SocketPair pair;
    pair.send();
    Probe a(pair.fd[0], "a"), b(pair.fd[0], "b"), c(pair.fd[0], "c");
    b.onService = [](Probe& self) {
        multiplexer.terminate();
        self.onService = nullptr;
    };
    a.mux_attach();
    b.mux_attach();
    c.mux_attach();
    {
        Capture log(std::clog);
        multiplexer.run(false, true);
        EXPECT_EQ(log.str(), "Mux: terminating...\n");
    }
    EXPECT_EQ(serviceLog(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(multiplexer.activeCountForTest(), 3u);
    EXPECT_TRUE(multiplexer.invariantForTest());
    multiplexer.runTurnForTest();
    EXPECT_EQ(serviceLog(), (std::vector<std::string>{"a", "b", "a", "b", "c"}));
    EXPECT_TRUE(c.is_attached());   // still attached after run returned
}

TEST_F(MultiplexerTest, TerminateFromATimerOrDeferredCallEndsTheLoopBeforePoll)
{
    Capture log(std::clog);
    // No descriptor at all: reaching the hang check would abort.
    Timer timer;
    timer.set(0, &terminateLoop);
    multiplexer.run(false, true);
    EXPECT_TRUE(pollLog().timeouts.empty());

    for (int pass : {1, 2}) {
        Deferred stopper([pass](Deferred& self) {
            if (self.calls == pass)
                multiplexer.terminate();
        });
        stopper.dpc.Activate();
        multiplexer.run(false, true);
        EXPECT_EQ(stopper.calls, pass);
        EXPECT_TRUE(pollLog().timeouts.empty());
    }
    EXPECT_EQ(log.str(), "Mux: terminating...\nMux: terminating...\nMux: terminating...\n");
}

TEST_F(IdleLoopTest, TerminateBeforeRunHasNoEffect)
{
    multiplexer.terminate();
    Timer timer;
    timer.set(30, &terminateLoop);
    Capture log(std::clog);
    multiplexer.run(false, true);
    EXPECT_EQ(pollLog().timeouts, std::vector<int>{30});
}

TEST_F(IdleLoopTest, WithTheTimeCacheTheLoopTimeIsRefreshedAfterEachPoll)
{
    std::vector<std::int32_t> seen;
    pollLog().hook = [&seen] {
        seen.push_back(Mux::g_tv_time.sec);
        Mux::g_tv_time = {1, 0};   // what the refresh must overwrite
        if (seen.size() == 2)
            multiplexer.terminate();
    };
    pair.send();   // ready: no waiting
    Capture log(std::clog);
    multiplexer.run(false, false);
    ASSERT_EQ(seen.size(), 2u);
    const std::int32_t now = static_cast<std::int32_t>(::time(nullptr));
    EXPECT_NEAR(seen[0], now, 5);   // set when run starts
    EXPECT_NEAR(seen[1], now, 5);   // refreshed after the first poll
}

TEST_F(IdleLoopTest, ZeroMsTimerArmedInADeferredCallFiresNextTurnWithoutWaiting)
{
    static int fired;
    for (int pass : {1, 2}) {
        fired = 0;
        Timer timer;
        Deferred arm([&timer](Deferred& self) {
            timer.set(0, +[] { ++fired; });
            self.dpc.Deactivate();
        });
        // Activated during the first pass, a call first runs in the second.
        Deferred starter([&arm](Deferred& self) {
            arm.dpc.Activate();
            self.dpc.Deactivate();
        });
        (pass == 1 ? arm.dpc : starter.dpc).Activate();
        multiplexer.runTurnForTest();
        EXPECT_EQ(pollLog().timeouts.back(), 0) << "pass " << pass;
        EXPECT_EQ(fired, 0);
        pair.send();   // so that the turn after the firing does not wait
        multiplexer.runTurnForTest();
        pair.drain();
        EXPECT_EQ(fired, 1);
    }
}

TEST_F(IdleLoopTest, TimerBeyondTwoHoursArmedInTheSecondPassIsCutToASecond)
{
    static int fired;
    fired = 0;
    Timer timer;
    Deferred arm([&timer](Deferred& self) {
        if (self.calls == 2)
            timer.set(10800000, +[] { ++fired; });
    });
    arm.dpc.Activate();
    {
        Capture err(std::cerr);
        multiplexer.runTurnForTest();
        EXPECT_EQ(pollLog().timeouts.back(), 1000);
        EXPECT_EQ(err.str().rfind("******** RUNTIME ERROR CONDITION *************"
                                  "Multiplexer::timers_schedule() invalid wait time detected!\n", 0),
                  0u)
            << err.str();
        EXPECT_NE(err.str().find("count = 1\n"), std::string::npos);
    }
    arm.dpc.Deactivate();
    pair.send();   // so that the turn after the firing does not wait
    multiplexer.runTurnForTest();
    pair.drain();
    EXPECT_EQ(fired, 1);
}

TEST_F(MultiplexerTest, HangIsFatalEvenWithAnActiveDeferredCall)
{
    EXPECT_DEATH(
        {
            Dpc dpc;
            dpc.Bind(new DpcHandler1([] {}));
            dpc.Activate();
            multiplexer.runTurnForTest();
        },
        "^multiplexer: system hang detected!!!\n");
}

TEST_F(MultiplexerTest, FirstHandlerAttachedInTheSecondPassIsNoHang)
{
    SocketPair pair;
    Probe probe(pair.fd[0], "probe");
    Deferred attacher([&probe](Deferred& self) {
        if (self.calls == 2) {
            probe.mux_attach();
            self.dpc.Deactivate();
        }
    });
    attacher.dpc.Activate();
    multiplexer.runTurnForTest();
    EXPECT_EQ(pollLog().timeouts, std::vector<int>{0});
    EXPECT_EQ(pollLog().sizes, std::vector<unsigned>{0});
    pair.send();
    multiplexer.runTurnForTest();
    EXPECT_EQ(probe.seen, std::vector<short>{POLLIN});
}

TEST_F(IdleLoopTest, PollFailureIsFatalExceptForAnInterruption)
{
    pollLog().forcedResult = -1;
    pollLog().forcedErrno = EINTR;
    multiplexer.runTurnForTest();
    EXPECT_TRUE(idle.seen.empty());
    {
        // A signal during poll (the SIGTERM handler terminates) ends the loop at once.
        pollLog().hook = [] { multiplexer.terminate(); };
        Capture log(std::clog);
        multiplexer.run(false, true);
        EXPECT_EQ(pollLog().timeouts.size(), 2u);
    }
    pollLog().hook = nullptr;
    pollLog().forcedErrno = EBADF;
    EXPECT_DEATH(multiplexer.runTurnForTest(), std::string("^multiplexer poll failed: ") + std::strerror(EBADF) + "\n");
}

TEST_F(IdleLoopTest, PluginDeadlineBoundsTheWait)
{
    struct Plugin : TimerPoolPlugin
    {
        int answer;
        std::function<void()> during;
        explicit Plugin(int answer) : answer(answer) {}
        int timerPoll() override
        {
            int result = answer;
            if (during) {
                std::function<void()> call = during;   // may delete this plug-in
                call();
            }
            return result;
        }
    };
    Plugin none(-1), far(700), near(40);
    none.timerHook();
    far.timerHook();
    near.timerHook();
    near.timerHook();   // hooked once
    EXPECT_EQ(multiplexer.pluginCountForTest(), 3u);
    EXPECT_EQ(multiplexer.timerPoll_schedule(), 40);
    multiplexer.runTurnForTest();
    EXPECT_EQ(pollLog().timeouts.back(), 40);

    // The first plug-in unhooks a later one mid-pass: it is neither asked nor kept.
    none.during = [&near] { near.timerUnhook(); };
    EXPECT_EQ(multiplexer.timerPoll_schedule(), 700);
    EXPECT_EQ(multiplexer.pluginCountForTest(), 2u);
    none.during = nullptr;

    Plugin* self = new Plugin(5);
    self->timerHook();
    self->during = [self] { delete self; };   // the destructor unhooks it
    EXPECT_EQ(multiplexer.timerPoll_schedule(), 5);
    EXPECT_EQ(multiplexer.pluginCountForTest(), 2u);

    none.timerUnhook();
    far.timerUnhook();
    EXPECT_EQ(multiplexer.timerPoll_schedule(), 2147483647);
}

// Watchdog: the device path is a plain file under STALVANE_ROOT.
class WatchdogTest : public IdleLoopTest
{
protected:
    void createDevice() { std::ofstream(device.c_str()).flush(); }
    std::string written() const
    {
        std::ifstream in(device.c_str());
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Runs until `turns` polls have happened; `during` runs after each poll.
    void runTurns(unsigned turns, std::function<void()> during = nullptr)
    {
        pollLog().hook = [turns, during] {
            if (during)
                during();
            if (pollLog().timeouts.size() >= turns)
                multiplexer.terminate();
        };
        Capture log(std::clog);
        multiplexer.run(true, true);
    }

    test::TempRoot root{"dev", "dev/misc"};
    const std::string device = root.path + "/dev/misc/gw-wd";
};

TEST_F(WatchdogTest, StartPingStopAndTheOneSecondCap)
{
    createDevice();
    runTurns(3);
    // Nothing else due: each poll waits 1000 ms (the fake poll moves the clock).
    EXPECT_EQ(pollLog().timeouts, (std::vector<int>{1000, 1000, 1000}));
    EXPECT_EQ(written(), "STARTPINGPINGPINGSTOP");
    EXPECT_FALSE(multiplexer.watchdogOpenForTest());
}

TEST_F(WatchdogTest, PingAtMostOncePerSecondAndAtOnceAfterTheClockWentBack)
{
    createDevice();
    struct Ticker
    {
        Timer timer;
        void tick() { timer.set(300, &Ticker::tick, this); }
    } ticker;
    ticker.timer.set(300, &Ticker::tick, &ticker);
    // Polls end 300, 600, ... 1800 ms after the start; the sixth one ends with
    // the clock set back by 5 s; the seventh waits for a timer 5 s ahead,
    // capped to 1 s.
    runTurns(7, [] {
        if (pollLog().timeouts.size() == 6)
            advance(-5000);
    });
    EXPECT_EQ(pollLog().timeouts, (std::vector<int>{300, 300, 300, 300, 300, 300, 1000}));
    // Pings: after the first poll (300), at 1500 (1200 later), after the
    // jump back, and 1000 after that.
    EXPECT_EQ(written(), "STARTPINGPINGPINGPINGSTOP");
}

TEST_F(WatchdogTest, OpenAndStartFailuresRunWithoutWatchdog)
{
    pair.send();   // no watchdog and no timer: the poll must not wait
    {
        Capture err(std::cerr);
        runTurns(1);
        EXPECT_EQ(err.str(), std::string("Mux: fail to open watchdog: ") + std::strerror(ENOENT) + "\n");
    }
    EXPECT_EQ(pollLog().timeouts, std::vector<int>{-1});

    ASSERT_EQ(::symlink("/dev/full", device.c_str()), 0);
    pollLog() = PollLog();
    {
        Capture err(std::cerr);
        runTurns(1);
        EXPECT_EQ(err.str(), std::string("Mux: fail to activate watchdog: ") + std::strerror(ENOSPC) + "\n");
    }
    EXPECT_EQ(pollLog().timeouts, std::vector<int>{-1});
    EXPECT_FALSE(multiplexer.watchdogOpenForTest());
}

TEST_F(WatchdogTest, PingAndStopFailuresAreReported)
{
    createDevice();
    // The file may grow to "STARTPING" only: the next writes fail with EFBIG.
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 9;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string errors;
    {
        Capture err(std::cerr);
        runTurns(2);
        errors = err.str();
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    const std::string reason = std::strerror(EFBIG);
    EXPECT_EQ(errors, "Mux: ping watchdog failed: " + reason + "\nMux: stop watchdog failed: " + reason + "\n");
    EXPECT_EQ(written(), "STARTPING");
    EXPECT_FALSE(multiplexer.watchdogOpenForTest());
}
