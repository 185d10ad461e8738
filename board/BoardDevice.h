#pragma once
// The one way the daemon reaches the board's character devices ("/dev/hal",
// "/dev/mcc/ctl", "/dev/maintenance", "/dev/e1-cas", "/dev/dtmf", "/dev/dsp",
// ...). Two backends: LinuxBoard calls the system, SimBoard models the drivers.
// Paths are given as the daemon knows them ("/dev/hal"); the Linux backend
// prefixes STALVANE_ROOT (fixedPath). Descriptors are real in both backends, so
// Event, Fd::dup and poll work on them unchanged.
//
// Every call returns what the system call would (-1 with errno set on failure).
#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

class BoardDevice {
public:
    virtual ~BoardDevice() = default;

    // open(2) of a device; flags as for open (O_RDWR, O_NONBLOCK, O_CLOEXEC).
    // The caller owns the descriptor.
    virtual int open(const char* path, int flags) = 0;
    virtual int close(int fd) = 0;
    // A request whose argument is a record: `size` bytes, in the driver's byte
    // order, read and/or filled by the driver as the code's direction says.
    virtual int ioctl(int fd, std::uint32_t code, unsigned char* record, std::size_t size) = 0;
    // count requests of one code, in order, the i-th with the record at
    // records + i * size; their results are not reported. The board takes
    // them one by one (this does); the simulated board without the detours
    // of single calls.
    virtual void ioctlEach(int fd, std::uint32_t code, unsigned char* records, std::size_t size, std::size_t count);
    // A request whose argument is a plain value passed by value.
    virtual int ioctlValue(int fd, std::uint32_t code, long value) = 0;
    virtual ssize_t read(int fd, void* buffer, std::size_t size) = 0;
    virtual ssize_t write(int fd, const void* buffer, std::size_t size) = 0;
    virtual int poll(struct pollfd* fds, nfds_t count, int timeout) = 0;

    // The process's backend: the simulated board when STALVANE_BOARD is "sim"
    // at the first call, the real devices otherwise.
    static BoardDevice& get();
    // Replaces the backend until called again with null; either way the next
    // get() looks at the environment again (tests).
    static void setForTest(BoardDevice* device);
};
