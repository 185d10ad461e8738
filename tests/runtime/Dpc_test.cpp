#include "LoopFixture.h"
#include "runtime/Dpc.h"
#include "runtime/Timer.h"

using namespace looptest;

namespace {

// A deferred call that records itself and then runs an optional action.
struct Work
{
    Work() { dpc.Bind(this, &Work::run); }
    void run()
    {
        order().push_back(id);
        ++calls;
        if (action) {
            std::function<void()> call = action;   // may delete this
            call();
        }
    }
    static std::vector<int>& order()
    {
        static std::vector<int> log;
        return log;
    }

    int id = 0;
    int calls = 0;
    std::function<void()> action;
    Dpc dpc;
};

class DpcTest : public LoopTest
{
protected:
    void SetUp() override
    {
        LoopTest::SetUp();
        Work::order().clear();
        for (int i = 0; i < 3; ++i)
            work[i].id = i;
    }
    Work work[3];   // ascending addresses
};

} // namespace

TEST_F(DpcTest, RunsInAddressOrderOncePerPassUntilDeactivated)
{
    work[2].dpc.Activate();
    work[0].dpc.Activate();
    work[1].dpc.Activate();
    work[1].dpc.Activate();   // once only
    EXPECT_EQ(multiplexer.dpcCountForTest(), 3u);
    multiplexer.execute_dpc();
    multiplexer.execute_dpc();
    EXPECT_EQ(Work::order(), (std::vector<int>{0, 1, 2, 0, 1, 2}));
    for (Work& w : work)
        w.dpc.Deactivate();
    multiplexer.execute_dpc();
    EXPECT_EQ(Work::order().size(), 6u);
}

TEST_F(DpcTest, ChangesDuringAPass)
{
    work[0].action = [this] {
        work[0].dpc.Deactivate();   // one-shot
        work[1].dpc.Deactivate();   // later in the pass: skipped now
    };
    work[2].action = [this] {
        work[1].dpc.Activate();     // earlier address: first runs next pass
        work[2].dpc.Deactivate();
        work[2].dpc.Activate();     // off and on again: the rest of this pass is skipped
        work[2].action = nullptr;
    };
    for (Work& w : work)
        w.dpc.Activate();
    multiplexer.execute_dpc();
    EXPECT_EQ(Work::order(), (std::vector<int>{0, 2}));
    multiplexer.execute_dpc();
    EXPECT_EQ(Work::order(), (std::vector<int>{0, 2, 1, 2}));
    EXPECT_TRUE(multiplexer.invariantForTest());
    for (Work& w : work)
        w.dpc.Deactivate();
}

TEST_F(DpcTest, CallDeletesItsOwnDpcAndALaterOne)
{
    auto* self = new Work;
    auto* later = new Work;
    self->id = 10;
    later->id = 11;
    Work* lower = self < later ? self : later;
    Work* higher = self < later ? later : self;
    lower->action = [lower, higher] {
        delete higher;
        delete lower;   // deletes the handler that is running as well
    };
    higher->dpc.Activate();
    lower->dpc.Activate();
    work[0].dpc.Activate();
    multiplexer.execute_dpc();
    ASSERT_EQ(Work::order().size(), 2u);
    EXPECT_EQ(multiplexer.dpcCountForTest(), 1u);
    work[0].dpc.Deactivate();
}

TEST_F(DpcTest, ActiveCallRunsTwicePerTurnAndBindingReplacesTheHandler)
{
    SocketPair pair;
    Probe idle(pair.fd[0], "idle");
    idle.mux_attach();
    Timer timer;
    timer.set(250, [] {});
    work[0].dpc.Activate();
    multiplexer.runTurnForTest();
    EXPECT_EQ(work[0].calls, 2);
    EXPECT_EQ(pollLog().timeouts, std::vector<int>{250});   // the timer sets the turn length

    static int plain = 0;
    work[0].dpc.Bind(new DpcHandler1([] { ++plain; }));
    multiplexer.execute_dpc();
    EXPECT_EQ(plain, 1);
    EXPECT_EQ(work[0].calls, 2);
    work[0].dpc.Bind(nullptr);   // still active, does nothing
    multiplexer.execute_dpc();
    EXPECT_TRUE(work[0].dpc.IsActive());
    work[0].dpc.Deactivate();
}
