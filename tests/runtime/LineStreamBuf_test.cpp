#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <iostream>
#include <string>

#include "runtime/LineStreamBuf.h"

namespace {

// Each write(2) into the buffer's descriptor arrives as one message.
struct Lines : ::testing::Test
{
    Lines() { ::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, sv); }
    ~Lines() override
    {
        ::close(sv[0]);
        ::close(sv[1]);
    }
    // The next write, "" when there is none.
    std::string next()
    {
        char text[256];
        const ssize_t n = ::recv(sv[1], text, sizeof text, MSG_DONTWAIT);
        return n > 0 ? std::string(text, static_cast<std::size_t>(n)) : std::string();
    }
    int sv[2] = {-1, -1};
};

TEST_F(Lines, EachLineIsOneWriteAndAFlushWritesWhatWaits)
{
    LineStreamBuf buffer(sv[0]);
    std::ostream out(&buffer);
    out << "a" << 1 << 'b' << "\n" << "c" << -2 << std::endl;
    EXPECT_EQ(next(), "a1b\n");
    EXPECT_EQ(next(), "c-2\n");
    out << "x\ny\nz";
    EXPECT_EQ(next(), "x\ny\n");
    EXPECT_EQ(next(), "");
    out << std::flush;
    EXPECT_EQ(next(), "z");
    out.put('w').put('\n');
    EXPECT_EQ(next(), "w\n");
}

// std::cerr and std::clog share the buffer: their pieces keep their order
// and a line made of both is one write.
TEST_F(Lines, StandardErrorAndLogShareOneBufferOnDescriptorTwo)
{
    const int saved = ::dup(STDERR_FILENO);
    std::streambuf* const cerrBuffer = std::cerr.rdbuf();
    std::streambuf* const clogBuffer = std::clog.rdbuf();
    const std::ios::fmtflags cerrFlags = std::cerr.flags();
    ::dup2(sv[0], STDERR_FILENO);
    writeStandardErrorByLines();
    std::clog << "log ";
    std::cerr << "error " << 3;
    std::clog << std::endl;
    std::cerr << "crash" << std::endl;
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    std::cerr.rdbuf(cerrBuffer);
    std::clog.rdbuf(clogBuffer);
    std::cerr.flags(cerrFlags);
    EXPECT_EQ(next(), "log error 3\n");
    EXPECT_EQ(next(), "crash\n");
    EXPECT_EQ(next(), "");
}

} // namespace
