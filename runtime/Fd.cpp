#include "runtime/Fd.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool changeStatus(int fd, bool nonBlocking)
{
    int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1)
        return false;
    flags = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) != -1;
}

} // namespace

Fd& Fd::operator=(const Fd& other)
{
    if (this != &other)
        reset(other.dup());
    return *this;
}

Fd& Fd::operator=(Fd&& other) noexcept
{
    if (this != &other)
        reset(other.release());
    return *this;
}

Fd::~Fd()
{
    if (fd >= 0)
        ::close(fd);
}

int Fd::dup() const
{
    if (fd < 0)
        return -1;
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

int Fd::close()
{
    if (fd < 0) {
        errno = EBADF;
        return -1;
    }
    int result = ::close(fd);
    fd = -1;
    return result;
}

bool Fd::NonBlock() const
{
    return fd >= 0 && NonBlockMode(fd);
}

void Fd::reset(int descriptor)
{
    if (fd >= 0 && fd != descriptor)
        ::close(fd);
    fd = descriptor;
}

int Fd::release()
{
    int result = fd;
    fd = -1;
    return result;
}

bool NonBlockMode(int fd)
{
    return changeStatus(fd, true);
}

bool BlockMode(int fd)
{
    return changeStatus(fd, false);
}

bool SetCloexec(int fd, bool on)
{
    int flags = ::fcntl(fd, F_GETFD);
    if (flags == -1)
        return false;
    flags = on ? (flags | FD_CLOEXEC) : (flags & ~FD_CLOEXEC);
    return ::fcntl(fd, F_SETFD, flags) != -1;
}
