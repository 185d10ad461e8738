#include <sys/wait.h>
#include <time.h>

#include <algorithm>

#include "LoopFixture.h"
#include "runtime/ChildWait.h"

using namespace looptest;

namespace {

// A component waiting for its children.
class Owner
{
public:
    void OnChild(int status) { statuses.push_back(status); }
    void OnChildThenWaitAgain(int status)
    {
        statuses.push_back(status);
        if (next > 0) {
            wait.Attach(next);
            next = 0;
        }
    }

    ChildWait wait;
    std::vector<int> statuses;
    int next = 0;
};

// A child that ends with `code`, at once or once a byte arrives on gate.
pid_t spawn(int code, int gate = -1)
{
    pid_t pid = ::fork();
    if (pid == 0) {
        if (gate >= 0) {
            char byte;
            while (::read(gate, &byte, 1) < 0 && errno == EINTR) {
            }
        }
        ::_exit(code);
    }
    return pid;
}

// Waits (a few ms at a time) until the signal handler has reaped n children.
bool reaped(unsigned n)
{
    for (int i = 0; i < 5000; ++i) {
        if (ChildWaitService::reapedCountForTest() >= n)
            return true;
        timespec pause = {0, 1000000};
        ::nanosleep(&pause, nullptr);
    }
    return false;
}

struct Gate
{
    int fd[2];
    Gate() { EXPECT_EQ(::pipe(fd), 0); }
    ~Gate()
    {
        ::close(fd[0]);
        ::close(fd[1]);
    }
    void open() { ASSERT_EQ(::write(fd[1], "go", 2), 2); }
};

std::string line(pid_t pid, int status)
{
    return "terminate child process, pid=" + std::to_string(pid) + " status=" + std::to_string(status) + "\n";
}

int exited(int code)
{
    return code << 8;   // the waitpid status word of a normal exit
}

} // namespace

class ChildWaitTest : public LoopTest
{
protected:
    void SetUp() override
    {
        LoopTest::SetUp();
        base = ChildWaitService::reapedCountForTest();
        ASSERT_TRUE(ChildWait::Activate());
        ASSERT_TRUE(ChildWaitService::childWaitService->IsActive());
    }
    void TearDown() override
    {
        ChildWaitService::deactivateForTest();
        LoopTest::TearDown();
    }
    bool reapedHere(unsigned n) { return reaped(base + n); }

    unsigned base = 0;
};

TEST_F(ChildWaitTest, TwoChildrenEndingInReverseOrder)
{
    Gate gateA, gateB;
    Owner a, b;
    a.wait.Bind(&a, &Owner::OnChild);
    b.wait.Bind(&b, &Owner::OnChild);
    const pid_t pidA = spawn(3, gateA.fd[0]);
    const pid_t pidB = spawn(4, gateB.fd[0]);
    a.wait.Attach(pidA);
    b.wait.Attach(pidB);
    EXPECT_TRUE(a.wait.isWaiting());

    Capture log(std::clog);
    gateB.open();
    ASSERT_TRUE(reapedHere(1));
    multiplexer.runTurnForTest();
    EXPECT_EQ(b.statuses, std::vector<int>{exited(4)});
    EXPECT_TRUE(a.statuses.empty());
    EXPECT_FALSE(b.wait.isWaiting());

    gateA.open();
    ASSERT_TRUE(reapedHere(2));
    multiplexer.runTurnForTest();
    EXPECT_EQ(a.statuses, std::vector<int>{exited(3)});
    EXPECT_EQ(b.statuses.size(), 1u);
    EXPECT_EQ(log.str(), line(pidB, exited(4)) + line(pidA, exited(3)));
}

TEST_F(ChildWaitTest, ElevenChildrenEndingBeforeTheLoopReads)
{
    // A small socket buffer holds only a few records: the rest must wait in
    // the ring, not block the signal handler.
    int small = 1;
    ASSERT_EQ(::setsockopt(ChildWaitService::childWaitService->writeFdForTest(), SOL_SOCKET, SO_SNDBUF, &small,
                           sizeof small),
              0);
    const unsigned ringedBefore = ChildWaitService::ringedCountForTest();
    const int count = 11;
    Owner owners[count];
    for (int i = 0; i < count; ++i) {
        owners[i].wait.Bind(&owners[i], &Owner::OnChild);
        owners[i].wait.Attach(spawn(10 + i));
    }
    ASSERT_TRUE(reapedHere(count));
    EXPECT_GT(ChildWaitService::ringedCountForTest(), ringedBefore);
    Capture log(std::clog);
    multiplexer.runTurnForTest();
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(owners[i].statuses, std::vector<int>{exited(10 + i)}) << "child " << i;
    const std::string text = log.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), count);
}

TEST_F(ChildWaitTest, EarlyEndIsDroppedAndAHandlerMayWaitAgain)
{
    Capture log(std::clog);
    Owner early;
    early.wait.Bind(&early, &Owner::OnChild);
    const pid_t gone = spawn(1);
    ASSERT_TRUE(reapedHere(1));
    multiplexer.runTurnForTest();   // nobody waits: logged only
    EXPECT_EQ(log.str(), line(gone, exited(1)));
    early.wait.Attach(gone);        // waits in vain
    EXPECT_TRUE(early.wait.isWaiting());
    early.wait.Detach();
    EXPECT_FALSE(early.wait.isWaiting());

    Gate gate;
    Owner again;
    again.wait.Bind(&again, &Owner::OnChildThenWaitAgain);
    const pid_t second = spawn(6, gate.fd[0]);
    again.next = second;
    again.wait.Attach(spawn(5));
    ASSERT_TRUE(reapedHere(2));
    multiplexer.runTurnForTest();
    EXPECT_EQ(again.statuses, std::vector<int>{exited(5)});
    EXPECT_EQ(again.wait.getPid(), second);
    gate.open();
    ASSERT_TRUE(reapedHere(3));
    multiplexer.runTurnForTest();
    EXPECT_EQ(again.statuses, (std::vector<int>{exited(5), exited(6)}));
}

TEST_F(ChildWaitTest, HandlerMayDestroyItsRegistration)
{
    struct SelfDestroying
    {
        ChildWait* wait = new ChildWait;
        int status = -1;
        void OnChild(int s)
        {
            status = s;
            delete wait;
            wait = nullptr;
        }
    } owner;
    owner.wait->Bind(&owner, &SelfDestroying::OnChild);
    owner.wait->Attach(spawn(7));
    ASSERT_TRUE(reapedHere(1));
    Capture log(std::clog);
    multiplexer.runTurnForTest();
    EXPECT_EQ(owner.status, exited(7));
    EXPECT_EQ(owner.wait, nullptr);
}

TEST(ChildWaitSignal, HandlerKeepsErrno)
{
    ASSERT_NE(ChildWaitService::childWaitService, nullptr);
    errno = ENOTTY;
    ChildWaitService::SigChldHandlerWrapper(SIGCHLD, nullptr, nullptr);   // nothing to reap: ECHILD inside
    EXPECT_EQ(errno, ENOTTY);
}
