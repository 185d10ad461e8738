#pragma once
// A temporary STALVANE_ROOT with a "dev" folder, and a receiver socket bound
// at its "/dev/log", for tests of the log path. Local time is UTC while it lives.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "support/TempRoot.h"

namespace test {

class LogDir : public TempRoot {
public:
    LogDir() : TempRoot({"dev"}) {}
    ~LogDir() { closeLog(); }

    std::string logPath() const { return path + "/dev/log"; }

    // Binds a fresh receiver at "/dev/log": non-blocking datagram, or a
    // listening stream socket.
    int bindLog(int type)
    {
        closeLog();
        fd = socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        logPath().copy(addr.sun_path, sizeof addr.sun_path - 1);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0) << errno;
        if (type == SOCK_STREAM)
            listen(fd, 4);
        else
            fcntl(fd, F_SETFL, O_NONBLOCK);
        return fd;
    }
    void closeLog()
    {
        if (fd >= 0) {
            close(fd);
            unlink(logPath().c_str());
            fd = -1;
        }
    }

    int fd = -1;

private:
    UtcZone utc;
};

// Every datagram waiting on a non-blocking socket.
inline std::vector<std::string> receiveAll(int fd)
{
    std::vector<std::string> out;
    char buf[20000];
    for (;;) {
        ssize_t n = recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0)
            break;
        out.emplace_back(buf, static_cast<size_t>(n));
    }
    return out;
}

// Every byte waiting on a descriptor, without blocking.
inline std::string readAvailable(int fd)
{
    int flags = fcntl(fd, F_GETFL);
    fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    std::string out;
    char buf[4096];
    for (;;) {
        ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        out.append(buf, static_cast<size_t>(n));
    }
    fcntl(fd, F_SETFL, flags);
    return out;
}

} // namespace test
