#include "LoopFixture.h"
#include "runtime/Timer.h"

using namespace looptest;

namespace {

std::vector<std::string>& fired()
{
    static std::vector<std::string> log;
    return log;
}

class Client
{
public:
    explicit Client(std::string name) : name(std::move(name)) {}

    void OnTimer()
    {
        fired().push_back(name);
        armedInside = timer.get() != nullptr;
        if (action) {
            std::function<void()> run = action;   // may delete this client
            run();
        }
    }
    void OnTimerWithOwner(Timer* owner)
    {
        fired().push_back(name + (owner == &timer ? " own" : " other"));
    }

    std::string name;
    Timer timer;
    bool armedInside = true;
    std::function<void()> action;
};

void plainFunction()
{
    fired().push_back("plain");
}

// Runs the timer step at the current loop time.
unsigned step()
{
    return multiplexer.timers_schedule();
}

class Periodic
{
public:
    static const TimerSpec<Periodic> TUpdatespec;

    void OnUpdateTimer()
    {
        ++updates;
        timer.set(this);
    }

    TimerSpec<Periodic>::SpecTimer<TUpdatespec> timer;
    int updates = 0;
};

const TimerSpec<Periodic> Periodic::TUpdatespec = {&Periodic::OnUpdateTimer, 3000};

} // namespace

class TimerTest : public LoopTest
{
protected:
    void SetUp() override
    {
        LoopTest::SetUp();
        fired().clear();
    }
};

TEST_F(TimerTest, FiresByExpiryAndEqualDeadlinesInArmingOrder)
{
    Client a("a"), b("b"), c("c"), d("d");
    a.timer.set(100, &Client::OnTimer, &a);
    b.timer.set(50, &Client::OnTimer, &b);
    c.timer.set(100, &Client::OnTimer, &c);
    d.timer.set(50, &Client::OnTimer, &d);
    EXPECT_EQ(multiplexer.timerCountForTest(), 4u);
    EXPECT_EQ(step(), 50u);
    advance(49);
    EXPECT_EQ(step(), 1u);
    EXPECT_TRUE(fired().empty());
    advance(1000);   // the clock jumps forward: all fire in one step, in order
    EXPECT_EQ(step(), 0u);
    EXPECT_EQ(fired(), (std::vector<std::string>{"b", "d", "a", "c"}));
    EXPECT_FALSE(a.armedInside);   // the holder is empty while its callback runs
    EXPECT_EQ(a.timer.get(), nullptr);
}

TEST_F(TimerTest, RearmingReplacesAndDestroyingCancels)
{
    Client a("a");
    a.timer.set(10, &Client::OnTimer, &a);
    a.timer.set(30, &Client::OnTimerWithOwner, &a);   // the first deadline is gone
    {
        Client gone("gone");
        gone.timer.set(20, &Client::OnTimer, &gone);
    }
    a.timer.reset();
    a.timer.reset();   // not pending: nothing
    a.timer.set(40, &Client::OnTimerWithOwner, &a);
    Timer plain;
    plain.set(40, &plainFunction);
    advance(100);
    step();
    EXPECT_EQ(fired(), (std::vector<std::string>{"a own", "plain"}));
    EXPECT_EQ(multiplexer.timerCountForTest(), 0u);
}

TEST_F(TimerTest, ReArmingInsideTheCallbackGivesAPeriod)
{
    Periodic periodic;
    periodic.timer.set(&periodic);
    for (int second = 1; second <= 9; ++second) {
        advance(1000);
        step();
    }
    EXPECT_EQ(periodic.updates, 3);
    EXPECT_NE(periodic.timer.get(), nullptr);
    EXPECT_EQ(step(), 3000u);
}

TEST_F(TimerTest, CallbacksMayCancelDeleteAndArmAnyTimer)
{
    Client first("first"), second("second"), armed("armed");
    auto* owner = new Client("deleted");
    first.timer.set(10, &Client::OnTimer, &first);
    second.timer.set(10, &Client::OnTimer, &second);   // due in the same step
    owner->timer.set(10, &Client::OnTimer, owner);
    first.action = [&] {
        second.timer.reset();
        delete owner;
        armed.timer.set(0, &Client::OnTimer, &armed);   // due against the same now
        first.timer.set(5, &Client::OnTimer, &first);
        first.action = nullptr;
    };
    advance(10);
    step();
    EXPECT_EQ(fired(), (std::vector<std::string>{"first", "armed"}));
    advance(5);
    step();
    EXPECT_EQ(fired(), (std::vector<std::string>{"first", "armed", "first"}));
}

TEST_F(TimerTest, ExpiriesCompareAcrossTheClockWrap)
{
    Mux::g_tv_time = {4294967, 0};   // 296 ms before the millisecond clock wraps
    const std::uint32_t start = Mux::milliseconds();
    ASSERT_EQ(start, 4294967000u);
    Client late("late"), early("early");
    late.timer.set(500, &Client::OnTimer, &late);   // expiry 204 after the wrap
    early.timer.set(100, &Client::OnTimer, &early);
    EXPECT_LT(late.timer.get()->getExpiry(), early.timer.get()->getExpiry());
    advance(400);
    EXPECT_EQ(step(), 100u);
    EXPECT_EQ(fired(), std::vector<std::string>{"early"});
    advance(100);
    step();
    EXPECT_EQ(fired(), (std::vector<std::string>{"early", "late"}));
}

TEST_F(TimerTest, HugeDelaysNeverBecomeDueOrMisordered)
{
    Client huge("huge"), small("small");
    huge.timer.set(0xFFFFFFFFu, &Client::OnTimer, &huge);
    EXPECT_EQ(huge.timer.get()->getExpiry() - Mux::milliseconds(), TimerEvent::maxDelay);
    small.timer.set(10, &Client::OnTimer, &small);
    EXPECT_EQ(step(), 10u);
    advance(10);
    Capture err(std::cerr);   // alone, it is then an absurd wait (below)
    step();
    EXPECT_EQ(fired(), std::vector<std::string>{"small"});
    EXPECT_NE(huge.timer.get(), nullptr);
}

TEST_F(TimerTest, AbsurdWaitIsReportedOnceAndEveryEventMovedToOneSecond)
{
    Client a("a"), b("b");
    a.timer.set(20, &Client::OnTimer, &a);
    b.timer.set(20, &Client::OnTimer, &b);
    advance(-3 * 3600 * 1000);   // the clock goes back three hours
    const std::uint32_t now = Mux::milliseconds();
    const std::uint32_t first = a.timer.get()->getExpiry();
    {
        Capture err(std::cerr);
        EXPECT_EQ(step(), 1000u);
        EXPECT_EQ(err.str(), "******** RUNTIME ERROR CONDITION *************"
                             "Multiplexer::timers_schedule() invalid wait time detected!\n"
                             "now = " + std::to_string(now) + "\nfirst = " + std::to_string(first) +
                             "\ncount = 2\n");
        err.clear();
        advance(999);
        EXPECT_EQ(step(), 1u);
        EXPECT_EQ(err.str(), "");
    }
    advance(1);
    step();
    EXPECT_EQ(fired(), (std::vector<std::string>{"a", "b"}));
}

TEST_F(TimerTest, TimerBeyondTwoHoursFiresAfterASecondWhenFirst)
{
    Client far("far");
    far.timer.set(7200001, &Client::OnTimer, &far);
    Capture err(std::cerr);
    EXPECT_EQ(step(), 1000u);
    EXPECT_NE(err.str().find("count = 1\n"), std::string::npos);
    advance(1000);
    step();
    EXPECT_EQ(fired(), std::vector<std::string>{"far"});

    far.timer.set(7200000, &Client::OnTimer, &far);   // two hours exactly is fine
    err.clear();
    EXPECT_EQ(step(), 7200000u);
    EXPECT_EQ(err.str(), "");
    far.timer.reset();
}
