#pragma once
// Test peers of the control services: a TPKT frame builder, a recording
// user and a plain socket end that sends and collects bytes.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "protocol/ControlService.h"
#include "protocol/LoopDriver.h"
#include "runtime/INet4Addr.h"
#include "runtime/Mux.h"

namespace looptest {

inline std::string frame(const std::string& payload)
{
    const unsigned n = static_cast<unsigned>(payload.size()) + 4;
    return std::string{'\x03', '\x00', static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)} + payload;
}

// Records what a service reports, with the state and name seen at the time.
struct User : Control::Notify
{
    explicit User(Control::Service& service) : service(service) {}
    void OnConnect() override
    {
        events.push_back(std::string("connect ") + Control::GetTextNotation(service.GetState()) + " " +
                         service.GetConnectionName());
    }
    void OnDisconnect() override
    {
        events.push_back(std::string("disconnect ") + Control::GetTextNotation(service.GetState()));
    }
    void OnMessage(const char* data, int length) override { messages.emplace_back(data, length); }

    Control::Service& service;
    std::vector<std::string> events, messages;
};

// Lowers the soft descriptor limit to the lowest free descriptor, so that
// the next descriptor asked for fails with EMFILE, until restore() or the end
// of the scope.
struct NoFreeDescriptor
{
    NoFreeDescriptor()
    {
        const int lowest_free = ::dup(0);
        if (lowest_free < 0 || ::close(lowest_free) != 0 || ::getrlimit(RLIMIT_NOFILE, &saved) != 0)
            return;
        rlimit limit = saved;
        limit.rlim_cur = static_cast<rlim_t>(lowest_free);
        lowered = ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
    }
    NoFreeDescriptor(const NoFreeDescriptor&) = delete;
    NoFreeDescriptor& operator=(const NoFreeDescriptor&) = delete;
    ~NoFreeDescriptor() { restore(); }
    // True once the limit is back.
    bool restore()
    {
        if (lowered && ::setrlimit(RLIMIT_NOFILE, &saved) == 0)
            lowered = false;
        return !lowered;
    }

    rlimit saved{};
    bool lowered = false;
};

// One end of a stream connection, owned; non-blocking reads.
struct Peer
{
    explicit Peer(int descriptor = -1) : fd(descriptor) {}
    Peer(const Peer&) = delete;
    Peer& operator=(const Peer&) = delete;
    ~Peer() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // Reads what is there; true once the other end has closed.
    bool pump()
    {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                received.append(buffer, static_cast<std::size_t>(n));
            else
                return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }

    int fd;
    std::string received;
};

// A blocking TCP socket connected to port on the loopback.
inline int connectLoopback(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    INet4::Addr a;
    a.Reset();
    a.Assign("127.0.0.1", nullptr);
    a.SetPort(port);
    EXPECT_EQ(::connect(fd, a.sa(), sizeof a), 0);
    return fd;
}

// The address a socket is bound to.
inline INet4::Addr localAddress(int fd)
{
    INet4::Addr a;
    socklen_t size = sizeof a;
    ::getsockname(fd, a.sa(), &size);
    return a;
}

inline int count(const std::string& text, const std::string& needle)
{
    int n = 0;
    for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1))
        ++n;
    return n;
}

} // namespace looptest
