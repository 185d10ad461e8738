#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "runtime/Fd.h"

namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }
bool cloexec(int fd) { return (::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0; }
bool nonBlocking(int fd) { return (::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0; }

struct FdPair : ::testing::Test
{
    FdPair() { ::socketpair(AF_UNIX, SOCK_STREAM, 0, sv); }
    ~FdPair() override { ::close(sv[1]); }
    int sv[2] = {-1, -1};
};

TEST(FdEmpty, CloseFailsWithEbadf)
{
    Fd empty;
    EXPECT_FALSE(empty);
    errno = 0;
    EXPECT_EQ(empty.close(), -1);
    EXPECT_EQ(errno, EBADF);
    EXPECT_EQ(empty.get(), -1);
    EXPECT_EQ(empty.dup(), -1);
    EXPECT_FALSE(empty.NonBlock());
    Fd zero(0);   // descriptor 0 is a valid one
    EXPECT_TRUE(zero);
    zero.release();
}

TEST_F(FdPair, CopyDuplicatesWithCloexecAndDestructionCloses)
{
    int copyFd = -1;
    {
        Fd own(sv[0]);
        EXPECT_FALSE(cloexec(own.get()));
        Fd copy(own);
        copyFd = copy.get();
        EXPECT_NE(copyFd, own.get());
        EXPECT_TRUE(cloexec(copyFd));
        Fd assigned;
        assigned = own;
        EXPECT_TRUE(cloexec(assigned.get()));
        EXPECT_EQ(own.close(), 0);
        EXPECT_FALSE(own);
        EXPECT_FALSE(isOpen(sv[0]));
        EXPECT_TRUE(isOpen(copyFd));
    }
    EXPECT_FALSE(isOpen(copyFd));
}

TEST_F(FdPair, ModeHelpers)
{
    Fd own(sv[0]);
    EXPECT_TRUE(own.NonBlock());
    EXPECT_TRUE(nonBlocking(sv[0]));
    EXPECT_TRUE(BlockMode(sv[0]));
    EXPECT_FALSE(nonBlocking(sv[0]));
    EXPECT_TRUE(NonBlockMode(sv[0]));
    EXPECT_TRUE(nonBlocking(sv[0]));
    EXPECT_TRUE(SetCloexec(sv[0], true));
    EXPECT_TRUE(cloexec(sv[0]));
    EXPECT_TRUE(SetCloexec(sv[0], false));
    EXPECT_FALSE(cloexec(sv[0]));
    own.close();
    EXPECT_FALSE(NonBlockMode(sv[0]));
    EXPECT_FALSE(BlockMode(sv[0]));
    EXPECT_FALSE(SetCloexec(sv[0], true));
}

} // namespace
