#pragma once
// The real board: each call is the system call on the device, with the path
// passed through fixedPath().
#include "board/BoardDevice.h"

class LinuxBoard : public BoardDevice {
public:
    int open(const char* path, int flags) override;
    int close(int fd) override;
    int ioctl(int fd, std::uint32_t code, unsigned char* record, std::size_t size) override;
    int ioctlValue(int fd, std::uint32_t code, long value) override;
    ssize_t read(int fd, void* buffer, std::size_t size) override;
    ssize_t write(int fd, const void* buffer, std::size_t size) override;
    int poll(struct pollfd* fds, nfds_t count, int timeout) override;
};
