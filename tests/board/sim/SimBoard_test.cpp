#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "board/HalRecords.h"
#include "board/LinuxBoard.h"
#include "board/sim/SimBoard.h"
#include "board/sim/SimHal.h"
#include "runtime/Fd.h"
#include "tests/board/sim/SimFailure.h"

namespace {

int connect(SimBoard& sim, int fd, int output, int source)
{
    Hal::ConnectRecord::Bytes rec = Hal::ConnectRecord{output, source}.encode();
    return sim.ioctl(fd, Hal::kConnect, rec.data(), rec.size());
}

int readChannel(SimBoard& sim, int fd, int channel, int& value)
{
    Hal::ByteRecord::Bytes rec = Hal::ByteRecord{channel, 255}.encode();
    int result = sim.ioctl(fd, Hal::kRead, rec.data(), rec.size());
    value = Hal::ByteRecord::decode(rec.data()).value;
    return result;
}

} // namespace

TEST(SimBoard, OpenGivesARealDescriptorAndLogsInOrder)
{
    SimBoard sim;
    int fd = sim.open("/dev/hal", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(fcntl(fd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    EXPECT_NE(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    struct pollfd p = {fd, POLLIN | POLLOUT, 0};
    EXPECT_EQ(sim.poll(&p, 1, 0), 1);
    EXPECT_EQ(p.revents, POLLOUT);

    // A duplicate reaches the same open.
    int copy = dup(fd);
    EXPECT_EQ(connect(sim, copy, 8192, 5), 0);
    EXPECT_EQ(sim.close(fd), 0);
    EXPECT_EQ(sim.opens("/dev/hal").size(), 1u);
    close(copy);
    EXPECT_TRUE(sim.opens("/dev/hal").empty());

    const auto& log = sim.requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].op, SimBoard::Op::Open);
    EXPECT_EQ(log[0].device, "/dev/hal");
    EXPECT_EQ(log[0].value, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    EXPECT_EQ(log[0].result, fd);
    EXPECT_EQ(log[1].op, SimBoard::Op::Ioctl);
    EXPECT_EQ(log[1].code, Hal::kConnect);
    EXPECT_EQ(log[1].data, (std::vector<unsigned char>{0, 0, 0x20, 0, 0, 0, 0, 5}));
    EXPECT_EQ(log[2].op, SimBoard::Op::Close);
}

// The board remembers the open of each descriptor number: a number an Fd
// closed and a duplicate of another device took must reach that device.
TEST(SimBoard, ANumberReusedAfterAnFdClosedItReachesItsNewOpen)
{
    SimBoard sim;
    int hal = sim.open("/dev/hal", O_RDWR);
    int dtmf = sim.open("/dev/dtmf", O_RDWR);
    Fd copy(::dup(hal));
    const int number = copy.get();
    EXPECT_EQ(connect(sim, number, 8192, 5), 0);
    copy.close();
    ASSERT_EQ(::dup(dtmf), number);
    EXPECT_TRUE(failsWith(connect(sim, number, 8192, 6), ENOTTY));
    EXPECT_EQ(sim.requests().back().device, "/dev/dtmf");
    EXPECT_EQ(sim.hal().output(8192).source, 5);
    ::close(number);
    sim.close(hal);
    sim.close(dtmf);
}

// A number closed or replaced behind the board's back answers for what it
// names now, recorded or not: another device's driver, a plain socket
// (ENOTTY) or nothing (EBADF); the switch stays as it was.
TEST(SimBoard, ANumberChangedBehindTheBoardsBackNoLongerReachesItsOpen)
{
    struct Case {
        const char* what;
        int error;
        void (*change)(int number, int other);
    };
    const Case cases[] = {
        {"dup2 of the dsp", ENOTTY, [](int number, int dsp) { ::dup2(dsp, number); }},
        {"closed, then a socket", ENOTTY,
         [](int number, int) {
             ::close(number);
             EXPECT_EQ(::socket(AF_UNIX, SOCK_DGRAM, 0), number);
         }},
        {"closed", EBADF, [](int number, int) { ::close(number); }},
    };
    for (const Case& c : cases) {
        for (bool keep : {true, false}) {
            SCOPED_TRACE(std::string(c.what) + (keep ? ", recorded" : ", quiet"));
            SimBoard sim;
            sim.keepRequests(keep);
            const int hal = sim.open("/dev/hal", O_RDWR);
            const int dsp = sim.open("/dev/dsp", O_RDWR);
            ASSERT_EQ(connect(sim, hal, 8192, 5), 0);
            c.change(hal, dsp);
            EXPECT_TRUE(failsWith(connect(sim, hal, 8192, 6), c.error));
            Hal::DisableRecord::Bytes d = Hal::DisableRecord{8192}.encode();
            sim.ioctlEach(hal, Hal::kDisable, d.data(), d.size(), 1);
            EXPECT_EQ(sim.hal().output(8192).setting, SimHal::Setting::Connected);
            EXPECT_EQ(sim.hal().output(8192).source, 5);
            ::close(hal);
            sim.close(dsp);
        }
    }
}

// Without a reader nothing is recorded; a file gets one line per request.
TEST(SimBoard, RequestsAreRecordedOnlyWhileSomeoneReadsThem)
{
    char path[] = "/tmp/stalvane-simlog-XXXXXX";
    int made = ::mkstemp(path);
    ASSERT_GE(made, 0);
    ::close(made);
    SimBoard sim;
    sim.keepRequests(false);
    int fd = sim.open("/dev/hal", O_RDWR);
    EXPECT_EQ(connect(sim, fd, 8192, 5), 0);
    EXPECT_TRUE(failsWith(sim.ioctl(fd, Hal::kConnect, nullptr, 8), EINVAL));
    EXPECT_TRUE(sim.requests().empty());
    EXPECT_EQ(sim.hal().output(8192).source, 5);

    ASSERT_TRUE(sim.logTo(path));
    EXPECT_EQ(connect(sim, fd, 8193, 7), 0);
    Hal::DisableRecord::Bytes d = Hal::DisableRecord{8193}.encode();
    sim.failIoctl("/dev/hal", Hal::kDisable, EIO);
    EXPECT_TRUE(failsWith(sim.ioctl(fd, Hal::kDisable, d.data(), d.size()), EIO));
    EXPECT_TRUE(sim.requests().empty());
    sim.keepRequests(true);
    EXPECT_EQ(sim.close(fd), 0);
    ASSERT_EQ(sim.requests().size(), 1u);
    EXPECT_EQ(sim.requests()[0].op, SimBoard::Op::Close);

    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    EXPECT_EQ(text.str(), "ioctl /dev/hal 80084d02 0 0000200100000007 0000200100000007 0 0\n"
                          "ioctl /dev/hal 80044d03 0 00002001 - -1 5\n"
                          "close /dev/hal 00000000 0 - - 0 0\n");
    ::unlink(path);
}

TEST(SimBoard, UnknownDevicesAndRequestsFailAsTheSystemWould)
{
    SimBoard sim;
    errno = 0;
    EXPECT_TRUE(failsWith(sim.open("/dev/nothing", O_RDWR), ENOENT));
    EXPECT_EQ(sim.requests().back().error, ENOENT);

    int fd = sim.open("/dev/hal", O_RDWR);
    unsigned char rec[8] = {};
    EXPECT_TRUE(failsWith(sim.ioctl(fd, IoctlCode::iow('M', 9, 8), rec, 8), ENOTTY));
    // The record size differs from the code's.
    EXPECT_TRUE(failsWith(sim.ioctl(fd, Hal::kConnect, rec, 4), EINVAL));
    EXPECT_TRUE(failsWith(sim.ioctlValue(fd, IoctlCode::io('M', 2), 0), ENOTTY));
    EXPECT_TRUE(failsWith(sim.ioctl(-1, Hal::kConnect, rec, 8), EBADF));
    EXPECT_TRUE(failsWith(connect(sim, fd, 10240, 1), EINVAL));
    EXPECT_TRUE(failsWith(connect(sim, fd, 70, -1), EINVAL));
    sim.close(fd);
}

TEST(SimBoard, InjectedFaultsFailWithTheChosenErrno)
{
    SimBoard sim;
    sim.failOpen("/dev/hal", EACCES);
    EXPECT_TRUE(failsWith(sim.open("/dev/hal", O_RDWR), EACCES));
    EXPECT_EQ(sim.open("/dev/hal", O_RDWR), -1);    // until cleared
    sim.clearFaults();
    sim.failOpen("/dev/hal", EBUSY, 1);
    EXPECT_TRUE(failsWith(sim.open("/dev/hal", O_RDWR), EBUSY));
    int fd = sim.open("/dev/hal", O_RDWR);
    ASSERT_GE(fd, 0);

    sim.failIoctl("/dev/hal", Hal::kConnect, EIO);
    EXPECT_TRUE(failsWith(connect(sim, fd, 8200, 3), EIO));
    EXPECT_EQ(sim.hal().output(8200).setting, SimHal::Setting::Unset);
    EXPECT_EQ(sim.requests().back().error, EIO);
    EXPECT_EQ(connect(sim, fd, 8200, 3), 0);    // once only
    EXPECT_EQ(sim.hal().output(8200).setting, SimHal::Setting::Connected);

    sim.failIoctl("/dev/hal", 0, EPERM, 2);     // any request
    int value = 0;
    EXPECT_EQ(readChannel(sim, fd, 3, value), -1);
    EXPECT_EQ(value, 255);                      // nothing copied back
    EXPECT_EQ(errno, EPERM);
    EXPECT_EQ(connect(sim, fd, 8200, 4), -1);
    EXPECT_EQ(connect(sim, fd, 8200, 4), 0);

    sim.failWrite("/dev/hal", ENOSPC);
    EXPECT_TRUE(failsWith(sim.write(fd, "x", 1), ENOSPC));
    sim.failRead("/dev/hal", EIO);
    char c;
    EXPECT_TRUE(failsWith(sim.read(fd, &c, 1), EIO));
    sim.close(fd);
}

TEST(SimBoard, HalStateIsSharedByEveryOpenAndReadsSample)
{
    SimBoard sim;
    int a = sim.open("/dev/hal", O_RDWR);
    int b = sim.open("/dev/hal", O_RDWR);
    sim.hal().setInput(5, 0x42);
    EXPECT_EQ(connect(sim, a, 8192, 5), 0);
    int value = 0;
    EXPECT_EQ(readChannel(sim, b, 8192, value), 0);
    EXPECT_EQ(value, 0x42);
    EXPECT_EQ(sim.requests().back().data, (std::vector<unsigned char>{0, 0, 0x20, 0, 0, 0, 0, 0xFF}));
    EXPECT_EQ(sim.requests().back().reply, (std::vector<unsigned char>{0, 0, 0x20, 0, 0, 0, 0, 0x42}));

    Hal::ByteRecord::Bytes w = Hal::ByteRecord{5, 0xD5}.encode();
    EXPECT_EQ(sim.ioctl(b, Hal::kWrite, w.data(), w.size()), 0);
    EXPECT_EQ(readChannel(sim, a, 8192, value), 0);   // through the connection
    EXPECT_EQ(value, 0xD5);
    EXPECT_EQ(readChannel(sim, a, 9000, value), 0);   // nothing set: idle input
    EXPECT_EQ(value, 0xFF);

    Hal::DisableRecord::Bytes d = Hal::DisableRecord{8192}.encode();
    EXPECT_EQ(sim.ioctl(b, Hal::kDisable, d.data(), d.size()), 0);
    EXPECT_EQ(sim.hal().output(8192).setting, SimHal::Setting::Disabled);
    EXPECT_EQ(sim.opens("/dev/hal").size(), 2u);
    sim.close(a);
    sim.close(b);
}

TEST(SimBoard, TestsSeeWhatTheDaemonWroteAndInjectData)
{
    SimBoard sim;
    int fd = sim.open("/dev/hal", O_RDWR | O_NONBLOCK);
    std::vector<SimOpenFile*> opens = sim.opens("/dev/hal");
    ASSERT_EQ(opens.size(), 1u);
    SimOpenFile& file = *opens[0];

    EXPECT_EQ(sim.write(fd, "PING", 4), 4);
    EXPECT_EQ(sim.takeWritten(file), (std::vector<unsigned char>{'P', 'I', 'N', 'G'}));
    EXPECT_TRUE(sim.takeWritten(file).empty());

    const unsigned char event[] = {1, 2, 3};
    ASSERT_TRUE(sim.inject(file, event, sizeof event));
    struct pollfd p = {fd, POLLIN, 0};
    EXPECT_EQ(sim.poll(&p, 1, 0), 1);
    unsigned char got[16];
    EXPECT_EQ(sim.read(fd, got, sizeof got), 3);
    EXPECT_EQ(sim.requests().back().data, (std::vector<unsigned char>{1, 2, 3}));
    EXPECT_TRUE(failsWith(sim.read(fd, got, sizeof got), EAGAIN));
    sim.close(fd);
}

TEST(BoardDevice, EnvironmentChoosesAndTestsReplaceTheBackend)
{
    setenv("STALVANE_BOARD", "sim", 1);
    BoardDevice::setForTest(nullptr);
    EXPECT_NE(dynamic_cast<SimBoard*>(&BoardDevice::get()), nullptr);
    setenv("STALVANE_BOARD", "real", 1);
    BoardDevice::setForTest(nullptr);
    EXPECT_NE(dynamic_cast<LinuxBoard*>(&BoardDevice::get()), nullptr);
    unsetenv("STALVANE_BOARD");

    SimBoard sim;
    BoardDevice::setForTest(&sim);
    EXPECT_EQ(&BoardDevice::get(), &sim);
    BoardDevice::setForTest(nullptr);
    EXPECT_NE(dynamic_cast<LinuxBoard*>(&BoardDevice::get()), nullptr);
}

TEST(LinuxBoard, OpensUnderTheFixedPathRoot)
{
    char dir[] = "/tmp/stalvane-board-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    std::string devDir = std::string(dir) + "/dev";
    mkdir(devDir.c_str(), 0700);
    std::string hal = devDir + "/hal";
    int made = ::open(hal.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(made, 0);
    ::close(made);

    LinuxBoard board;
    setenv("STALVANE_ROOT", dir, 1);
    int fd = board.open("/dev/hal", O_RDWR);
    EXPECT_GE(fd, 0);
    EXPECT_EQ(board.write(fd, "ab", 2), 2);
    // A plain file has no requests (ENOTTY; user-mode emulators say ENOSYS).
    EXPECT_EQ(board.ioctlValue(fd, IoctlCode::io('M', 2), 0), -1);
    EXPECT_EQ(board.close(fd), 0);
    EXPECT_TRUE(failsWith(board.open("/dev/dtmf", O_RDWR), ENOENT));
    unsetenv("STALVANE_ROOT");
    unlink(hal.c_str());
    rmdir(devDir.c_str());
    rmdir(dir);
}
