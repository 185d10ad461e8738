#include <gtest/gtest.h>

#include <csignal>

#include "runtime/Signal.h"

namespace {

volatile sig_atomic_t plainSeen = 0;
volatile sig_atomic_t infoSeen = 0;

void plain(int sig) { plainSeen = sig; }
void info(int sig, siginfo_t* si, void*) { infoSeen = si != nullptr && si->si_signo == sig ? sig : -1; }

struct sigaction current(int sig)
{
    struct sigaction a {};
    ::sigaction(sig, nullptr, &a);
    return a;
}

struct SignalCase : ::testing::Test
{
    ~SignalCase() override
    {
        IPC::Signal::system(SIGUSR1);
        IPC::Signal::system(SIGUSR2);
    }
};

TEST_F(SignalCase, HandlerKindsSetOrClearSiginfo)
{
    ASSERT_EQ(IPC::Signal::handle(SIGUSR1, plain, IPC::Signal::Set(SIGTERM, SIGINT), SA_SIGINFO | SA_RESTART), 0);
    struct sigaction a = current(SIGUSR1);
    EXPECT_EQ(a.sa_flags & SA_SIGINFO, 0);
    EXPECT_NE(a.sa_flags & SA_RESTART, 0);
    EXPECT_EQ(sigismember(&a.sa_mask, SIGTERM), 1);
    EXPECT_EQ(sigismember(&a.sa_mask, SIGINT), 1);
    EXPECT_EQ(sigismember(&a.sa_mask, SIGHUP), 0);
    ::raise(SIGUSR1);
    EXPECT_EQ(plainSeen, SIGUSR1);

    ASSERT_EQ(IPC::Signal::handle(SIGUSR2, info), 0);
    a = current(SIGUSR2);
    EXPECT_NE(a.sa_flags & SA_SIGINFO, 0);
    EXPECT_EQ(sigismember(&a.sa_mask, SIGTERM), 0);
    ::raise(SIGUSR2);
    EXPECT_EQ(infoSeen, SIGUSR2);
}

TEST_F(SignalCase, IgnoreDefaultAndRestart)
{
    ASSERT_EQ(IPC::Signal::ignore(SIGUSR1), 0);
    EXPECT_EQ(current(SIGUSR1).sa_handler, SIG_IGN);
    ::raise(SIGUSR1);   // ignored: the test goes on
    ASSERT_EQ(IPC::Signal::system(SIGUSR1), 0);
    EXPECT_EQ(current(SIGUSR1).sa_handler, SIG_DFL);

    IPC::Signal::handle(SIGUSR2, plain);
    EXPECT_EQ(IPC::Signal::disable_int(SIGUSR2), 0);
    EXPECT_NE(current(SIGUSR2).sa_flags & SA_RESTART, 0);
    EXPECT_EQ(IPC::Signal::enable_int(SIGUSR2), 0);
    EXPECT_EQ(current(SIGUSR2).sa_flags & SA_RESTART, 0);
    EXPECT_EQ(current(SIGUSR2).sa_handler, plain);
}

TEST(SignalSet, ValidNumbers)
{
    EXPECT_TRUE(IPC::Signal::Set::is_signal(SIGCHLD));
    EXPECT_FALSE(IPC::Signal::Set::is_signal(0));
    EXPECT_FALSE(IPC::Signal::Set::is_signal(-3));
    EXPECT_FALSE(IPC::Signal::Set::is_signal(1000));
    IPC::Signal::Set three(SIGHUP, SIGUSR1, SIGUSR2);
    EXPECT_EQ(sigismember(&three.get(), SIGUSR2), 1);
    EXPECT_EQ(sigismember(&three.get(), SIGINT), 0);
}

} // namespace
