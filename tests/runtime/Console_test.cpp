#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <sstream>

#include "runtime/Console.h"

namespace {

// Puts a descriptor (or nothing) in place of standard input and captures std::cerr.
struct StdinSwap : ::testing::Test
{
    StdinSwap() : saved(::dup(STDIN_FILENO)), old(std::cerr.rdbuf(err.rdbuf())) {}
    ~StdinSwap() override
    {
        std::cerr.rdbuf(old);
        ::dup2(saved, STDIN_FILENO);
        ::close(saved);
    }
    void use(int fd)
    {
        ::dup2(fd, STDIN_FILENO);
        ::close(fd);
    }
    int saved;
    std::ostringstream err;
    std::streambuf* old;
};

TEST_F(StdinSwap, BinaryModeClearsEchoAndCanonical)
{
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    use(slave);
    EXPECT_TRUE(Console::SwitchToBinaryMode());
    termios t{};
    ASSERT_EQ(::tcgetattr(STDIN_FILENO, &t), 0);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOCTL), 0u);
    EXPECT_NE(t.c_lflag & ISIG, 0u);
    EXPECT_NE(t.c_lflag & IEXTEN, 0u);
    EXPECT_EQ(err.str(), "");
    ::close(master);
}

TEST_F(StdinSwap, NotATerminalStopsAtFirstFailure)
{
    int p[2];
    ASSERT_EQ(::pipe(p), 0);
    use(p[0]);
    EXPECT_FALSE(Console::SwitchToBinaryMode());
    EXPECT_EQ(err.str(), "can't obtain terminal attributes\n");
    err.str("");
    EXPECT_TRUE(Console::SwitchToNonBlockMode());
    EXPECT_NE(::fcntl(STDIN_FILENO, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_EQ(err.str(), "");
    ::close(p[1]);
}

TEST_F(StdinSwap, NonBlockFailureIsReported)
{
    ::close(STDIN_FILENO);
    EXPECT_FALSE(Console::SwitchToNonBlockMode());
    EXPECT_EQ(err.str(), "can't switch terminal to blocked mode\n");
}

} // namespace
