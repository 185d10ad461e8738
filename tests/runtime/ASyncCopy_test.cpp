#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "runtime/ASyncCopy.h"
#include "runtime/Fd.h"
#include "runtime/LoopFixture.h"
#include "support/LogSocket.h"

namespace {

using ASync::Copy;
typedef Copy::Status Status;

struct Recorder {
    void on(Status::Type s) { statuses.push_back(s); }
    std::vector<Status::Type> statuses;
};

// A non-blocking stream socket pair owned by the test.
struct Stream {
    Stream()
    {
        int sv[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, sv), 0);
        a = Fd(sv[0]);
        b = Fd(sv[1]);
    }
    // Small buffers, so that a large copy has to wait for the reader.
    void shrink()
    {
        int size = 4096;
        setsockopt(a.get(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
        setsockopt(b.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    Fd a, b;
};

std::string pattern(size_t n)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + (i * 7) % 26);
    return s;
}

// A non-blocking pipe holding `data`, its write end closed.
Fd pipeWith(const std::string& data)
{
    int p[2];
    EXPECT_EQ(pipe2(p, O_NONBLOCK | O_CLOEXEC), 0);
    EXPECT_EQ(write(p[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
    close(p[1]);
    return Fd(p[0]);
}

// A regular file holding `data`, always readable.
Fd fileWith(const std::string& data)
{
    char name[] = "/tmp/stalvane-copyXXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    unlink(name);
    EXPECT_EQ(write(fd, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    lseek(fd, 0, SEEK_SET);
    fcntl(fd, F_SETFL, O_NONBLOCK);
    return Fd(fd);
}

class CopyTest : public looptest::LoopTest {
protected:
    void SetUp() override
    {
        LoopTest::SetUp();
        oldPipe = signal(SIGPIPE, SIG_IGN);
        copy.Bind(&Recorder::on, &rec);
    }
    void TearDown() override
    {
        signal(SIGPIPE, oldPipe);
        LoopTest::TearDown();
    }

    // Runs turns until the copy reports, reading what the destination got.
    std::string pump(Fd& reader, int maxTurns = 2000)
    {
        std::string got;
        for (int i = 0; i < maxTurns && rec.statuses.empty(); ++i) {
            got += test::readAvailable(reader.get());
            multiplexer.runTurnForTest();
        }
        return got + test::readAvailable(reader.get());
    }

    Recorder rec;
    Copy copy;
    void (*oldPipe)(int) = nullptr;
};

} // namespace

TEST_F(CopyTest, PipeToSocketCompletesAtTheFlushEvent)
{
    const std::string data = pattern(5000);
    Stream dst;
    copy.Start(pipeWith(data), dst.a);
    // Everything fits at once; the copy waits for POLLWRNORM.
    EXPECT_EQ(copy.state(), Status::flushing);
    EXPECT_EQ(copy.copied(), 5000u);
    EXPECT_EQ(pump(dst.b), data);
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
    EXPECT_EQ(copy.bufsize(), Copy::DefaultBufferSize);
}

TEST_F(CopyTest, SlowDestinationGetsEveryByteInOrder)
{
    const std::string data = pattern(200000);
    Stream dst;
    dst.shrink();
    copy.Start(fileWith(data), dst.a);
    EXPECT_EQ(copy.state(), Status::copying);
    EXPECT_LT(copy.copied(), 200000u);
    EXPECT_EQ(pump(dst.b), data);
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::completed});
    EXPECT_EQ(copy.copied(), 200000u);
}

TEST_F(CopyTest, SourceClosedEarlyEndsTheCopy)
{
    Stream src, dst;
    Copy::EventsParams noFlush;
    noFlush.flush = 0;
    copy.set_events(noFlush);  // idle: only stored
    EXPECT_TRUE(rec.statuses.empty());
    EXPECT_EQ(copy.state(), Status::idle);

    copy.Start(src.b, dst.a);
    ASSERT_EQ(write(src.a.get(), "abc", 3), 3);
    multiplexer.runTurnForTest();  // one turn: read, write, wait again
    std::string got = test::readAvailable(dst.b.get());
    EXPECT_EQ(got, "abc");
    ASSERT_EQ(write(src.a.get(), "def", 3), 3);
    src.a.reset();
    got += pump(dst.b);
    EXPECT_EQ(got, "abcdef");
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::completed});
}

TEST_F(CopyTest, ReadErrorBeforeAnyByteFails)
{
    Fd dir(open("/tmp", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    Stream dst;
    copy.Start(dir, dst.a);
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::failed});
    EXPECT_EQ(copy.error(), 0);
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
}

TEST_F(CopyTest, StopWritesThePendingBufferThenFlushes)
{
    const std::string data = pattern(200000);
    Stream dst;
    dst.shrink();
    copy.Start(fileWith(data), dst.a);
    ASSERT_EQ(copy.state(), Status::copying);
    copy.Stop();
    EXPECT_EQ(copy.state(), Status::draining);
    const std::string got = pump(dst.b);
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::completed});
    // Whole buffers only: the one being written when Stop came was finished.
    EXPECT_EQ(got, data.substr(0, got.size()));
    EXPECT_EQ(got.size(), copy.copied());
    EXPECT_EQ(got.size() % 1024, 0u);
    copy.Stop();  // finished: nothing happens
    EXPECT_EQ(rec.statuses.size(), 1u);
}

TEST_F(CopyTest, DestinationClosedWhileDrainingFails)
{
    Stream dst;
    dst.shrink();
    copy.Start(fileWith(pattern(200000)), dst.a);
    copy.Stop();
    ASSERT_EQ(copy.state(), Status::draining);
    dst.b.reset();
    for (int i = 0; i < 10 && rec.statuses.empty(); ++i)
        multiplexer.runTurnForTest();
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::failed});
}

TEST_F(CopyTest, ReconfiguringARunningCopyEndsIt)
{
    Stream src, dst;
    copy.Start(src.b, dst.a);
    copy.set_bufsize(0);
    EXPECT_EQ(rec.statuses, std::vector<Status::Type>{Status::reconfigured});
    EXPECT_EQ(copy.bufsize(), Copy::DefaultBufferSize);
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);

    copy.set_bufsize(3);
    copy.Start(src.b, dst.a);
    copy.set_events(Copy::EventsParams());
    EXPECT_EQ(rec.statuses.back(), Status::reconfigured);
    // A restart reuses the 3-byte buffer; with flush mask 0 the last write
    // completes the copy inside Start.
    Copy::EventsParams params;
    params.flush = 0;
    copy.set_events(params);
    copy.Start(pipeWith("1234567"), dst.a);
    EXPECT_EQ(rec.statuses.back(), Status::completed);
    EXPECT_EQ(multiplexer.attachedCountForTest(), 0u);
    EXPECT_EQ(test::readAvailable(dst.b.get()), "1234567");
}

namespace {

struct SelfDeleting {
    void on(Status::Type s)
    {
        status = s;
        delete copy;
        copy = nullptr;
    }
    Copy* copy = new Copy;
    Status::Type status = Status::idle;
};

} // namespace

TEST_F(CopyTest, HandlerMayDeleteItsCopy)
{
    SelfDeleting owner;
    owner.copy->Bind(&SelfDeleting::on, &owner);
    Stream src, dst;
    owner.copy->Start(src.b, dst.a);
    src.a.reset();  // end of file on the next turn: flushing
    for (int i = 0; i < 10 && owner.copy != nullptr; ++i)
        multiplexer.runTurnForTest();
    EXPECT_EQ(owner.copy, nullptr);
    EXPECT_EQ(owner.status, Status::completed);
}
