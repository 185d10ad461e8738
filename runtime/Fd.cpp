#include "runtime/Fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

// Sets or clears `bit` in the flags that getCmd/setCmd read and write.
bool changeFlag(int fd, int getCmd, int setCmd, int bit, bool on)
{
    int flags = ::fcntl(fd, getCmd);
    if (flags == -1)
        return false;
    flags = on ? (flags | bit) : (flags & ~bit);
    return ::fcntl(fd, setCmd, flags) != -1;
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

Fd openRegularFile(const char* path, int flags, mode_t mode)
{
    Fd fd(::open(path, (flags & ~O_TRUNC) | O_NONBLOCK | O_CLOEXEC, mode));
    struct stat st;
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        ((flags & O_TRUNC) != 0 && ::ftruncate(fd.get(), 0) != 0))
        return Fd();
    return fd;
}

bool writeAll(int fd, const char* data, std::size_t n)
{
    while (n > 0) {
        const ssize_t done = ::write(fd, data, n);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += done;
        n -= static_cast<std::size_t>(done);
    }
    return true;
}

bool NonBlockMode(int fd)
{
    return changeFlag(fd, F_GETFL, F_SETFL, O_NONBLOCK, true);
}

bool BlockMode(int fd)
{
    return changeFlag(fd, F_GETFL, F_SETFL, O_NONBLOCK, false);
}

bool SetCloexec(int fd, bool on)
{
    return changeFlag(fd, F_GETFD, F_SETFD, FD_CLOEXEC, on);
}
