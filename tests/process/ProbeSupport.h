#pragma once
// Shared by the probe tests: raw controller connections and what can be
// seen of the daemon from outside (/proc), besides DaemonProcess.
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "DaemonProcess.h"

namespace proctest {

using Steady = std::chrono::steady_clock;

inline long msSince(Steady::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count());
}

// ping with seq 7 in a TPKT frame, and its answer.
const char kPingFrame[8] = {3, 0, 0, 8, '\x80', 1, 7, 0x18};

inline std::string ok(int seq, int slot = -1)
{
    return "{ seq " + std::to_string(seq) + (slot >= 0 ? ", slot " + std::to_string(slot) : "") +
           ", pdu response : success : NULL }";
}

inline std::string trunk(unsigned number, unsigned timeslot)
{
    return "command : create : trunk : { trunk " + std::to_string(number) + ", timeslot " +
           std::to_string(timeslot) + " }";
}

// A plain TCP connection to the daemon; -1 when none was made in time.
inline int rawConnect(std::uint16_t port, int receiveBuffer = 0)
{
    const Steady::time_point start = Steady::now();
    while (msSince(start) < kStartMs) {
        int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (receiveBuffer > 0)
            ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            return fd;
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
}

// True once the peer has closed the connection (read gives 0 or a reset).
inline bool closedByPeer(int fd, int timeoutMs = kAnswerMs)
{
    const Steady::time_point start = Steady::now();
    char buffer[4096];
    while (msSince(start) < timeoutMs) {
        pollfd entry = {fd, POLLIN, 0};
        if (::poll(&entry, 1, 50) == 1) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n == 0 || (n < 0 && errno != EAGAIN))
                return true;
        }
    }
    return false;
}

// The daemon's open descriptors, by number.
inline std::set<int> descriptors(pid_t pid)
{
    std::set<int> out;
    const std::string folder = "/proc/" + std::to_string(pid) + "/fd";
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir))
            if (entry->d_name[0] != '.')
                out.insert(std::atoi(entry->d_name));
        ::closedir(dir);
    }
    return out;
}

// User and system time the process has used, in clock ticks.
inline long cpuTicks(pid_t pid)
{
    std::ifstream in(("/proc/" + std::to_string(pid) + "/stat").c_str());
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name in parentheses: state is field 3, utime 14, stime 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            utime = std::atol(field.c_str());
        if (i == 15)
            stime = std::atol(field.c_str());
    }
    return utime + stime;
}

// A controller whose ping (seq 1) was answered; a connection the daemon
// refuses or closes while it still reports the last one is tried again.
inline std::unique_ptr<Controller> servedController(const DaemonProcess& d)
{
    const Steady::time_point start = Steady::now();
    while (msSince(start) < kStartMs) {
        std::unique_ptr<Controller> c(new Controller);
        if (c->connect(d.port) && c->command("command : ping : NULL") == ok(1))
            return c;
    }
    return nullptr;
}

} // namespace proctest
