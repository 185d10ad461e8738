#include "board/LinuxBoard.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "runtime/FixedPath.h"

int LinuxBoard::open(const char* path, int flags)
{
    return ::open(fixedPath(path).c_str(), flags);
}

int LinuxBoard::close(int fd)
{
    return ::close(fd);
}

// The record size is in the code; the driver reads and fills the record in place.
int LinuxBoard::ioctl(int fd, std::uint32_t code, unsigned char* record, std::size_t)
{
    return ::ioctl(fd, static_cast<unsigned long>(code), record);
}

int LinuxBoard::ioctlValue(int fd, std::uint32_t code, long value)
{
    return ::ioctl(fd, static_cast<unsigned long>(code), value);
}

ssize_t LinuxBoard::read(int fd, void* buffer, std::size_t size)
{
    return ::read(fd, buffer, size);
}

ssize_t LinuxBoard::write(int fd, const void* buffer, std::size_t size)
{
    return ::write(fd, buffer, size);
}

int LinuxBoard::poll(struct pollfd* fds, nfds_t count, int timeout)
{
    return ::poll(fds, count, timeout);
}
