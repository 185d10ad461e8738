#pragma once
// Owned file descriptor (-1 when empty). Copying makes a close-on-exec
// duplicate; destruction closes.
#include <sys/types.h>

#include <cstddef>

class Fd
{
public:
    Fd() = default;
    explicit Fd(int descriptor) : fd(descriptor) {}
    Fd(const Fd& other) : fd(other.dup()) {}
    Fd(Fd&& other) noexcept : fd(other.fd) { other.fd = -1; }
    Fd& operator=(const Fd& other);
    Fd& operator=(Fd&& other) noexcept;
    ~Fd();

    // A close-on-exec duplicate of the held descriptor; -1 when empty or dup fails.
    int dup() const;
    // -1 with EBADF when empty; otherwise close()'s result, and the Fd is empty.
    int close();
    // Non-blocking mode on the held descriptor; false when empty.
    bool NonBlock() const;

    // Closes what is held and takes descriptor.
    void reset(int descriptor = -1);
    // Gives the descriptor up without closing it.
    int release();

    int get() const { return fd; }
    explicit operator bool() const { return fd >= 0; }

private:
    int fd = -1;
};

// Opens a file without ever waiting on it (O_NONBLOCK and O_CLOEXEC are
// added): what is there and is no regular file (a FIFO, a folder, a device)
// is closed again and counts as a failed open (empty Fd). O_TRUNC empties
// the file only once it is known to be a regular one.
Fd openRegularFile(const char* path, int flags, mode_t mode = 0);

// Writes all n bytes, again after EINTR and short writes; false on an error.
bool writeAll(int fd, const char* data, std::size_t n);

// Set or clear O_NONBLOCK; true when the change succeeded.
bool NonBlockMode(int fd);
bool BlockMode(int fd);
// Set (on) or clear FD_CLOEXEC; true when the change succeeded.
bool SetCloexec(int fd, bool on);
