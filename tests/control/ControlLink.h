#pragma once
// Shared by the control server tests: a controller on a real loopback TCP
// connection, a scripted control service, and byte helpers.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "asn1/CoderEnv.h"
#include "control/CtrlSrvServer.h"
#include "control/CtrlSrvService.h"
#include "control/HeartBeatCtl.h"
#include "protocol/AcceptorNet.h"
#include "protocol/LoopDriver.h"
#include "runtime/INet4Addr.h"
#include "runtime/Mux.h"

namespace ctrltest {

inline std::string bytes(std::initializer_list<int> list)
{
    std::string s;
    for (int b : list)
        s.push_back(static_cast<char>(b));
    return s;
}

inline std::string frame(const std::string& payload)
{
    const std::size_t n = payload.size() + 4;
    return bytes({3, 0, static_cast<int>(n >> 8), static_cast<int>(n & 0xFF)}) + payload;
}

inline std::string encode(const LGCP::Message& m)
{
    ASN1::CoderEnv env(ASN1::CoderEnv::per_encoding);
    std::vector<char> out;
    EXPECT_TRUE(ASN1::encode(m, &env, std::back_inserter(out)));
    return std::string(out.begin(), out.end());
}

// A controller: a plain non-blocking TCP client on the loopback.
struct Client
{
    explicit Client(std::uint16_t port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        INet4::Addr a;
        a.Reset();
        a.Assign("127.0.0.1", nullptr);
        a.SetPort(port);
        EXPECT_EQ(::connect(fd, a.sa(), sizeof a), 0);
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    ~Client() { ::close(fd); }
    void send(const std::string& b)
    {
        ASSERT_EQ(::send(fd, b.data(), b.size(), MSG_NOSIGNAL), static_cast<ssize_t>(b.size()));
    }
    // Reads what is there; true once the server has closed.
    bool pump()
    {
        char buffer[4096];
        for (;;) {
            ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
            if (n > 0)
                received.append(buffer, static_cast<std::size_t>(n));
            else
                return n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        }
    }
    // Takes the whole frames received so far, as payloads.
    std::vector<std::string> frames()
    {
        std::vector<std::string> out;
        while (received.size() >= 4) {
            const std::size_t n = (static_cast<unsigned char>(received[2]) << 8) | static_cast<unsigned char>(received[3]);
            if (n < 4 || received.size() < n)
                break;
            out.push_back(received.substr(4, n - 4));
            received.erase(0, n);
        }
        return out;
    }
    std::string name() const
    {
        INet4::Addr a;
        socklen_t size = sizeof a;
        ::getsockname(fd, a.sa(), &size);
        return "127.0.0.1:" + std::to_string(a.GetPort());
    }

    int fd;
    std::string received;
};

// A control service whose command handling is scripted by the test; it logs
// what it hears into a log that several probes may share.
struct Probe : CtrlSrv::Service
{
    Probe(const std::string& name, std::vector<std::string>& log) : name(name), log(log) {}
    void OnConnect() override { log.push_back(name + " connect"); }
    void OnDisconnect() override { log.push_back(name + " disconnect"); }
    bool OnCommand(const LGCP::Command& c) override
    {
        log.push_back(name + " command " + std::to_string(c.currentSelection()));
        return onCommand ? onCommand(c) : false;
    }
    void OnSignal(const LGCP::Signal& s) override
    {
        log.push_back(name + " signal " + std::to_string(s.currentSelection()));
    }

    std::string name;
    std::vector<std::string>& log;
    std::function<bool(const LGCP::Command&)> onCommand;
};

// The server with the heartbeat and one probe bound, activated on an
// acceptor on a free port, with one controller connected. The plain
// acceptor: its checking variant's health check is not under test here.
class ControlLink : public ::testing::Test
{
protected:
    ControlLink()
    {
        Mux::g_tv_time = {1700000000, 0};
        server.Bind(&heartbeat);
        server.Bind(&probe);
        acceptor = new Control::AcceptorNet(0, true);
        EXPECT_TRUE(server.Activate(acceptor));
        client.reset(new Client(acceptor->GetBoundPort()));
        EXPECT_TRUE(looptest::runUntil([this] { return connected(); }));
    }
    ~ControlLink() override
    {
        server.Deactivate();
        Mux::g_tv_time = {0, 0};
    }

    bool connected() const { return acceptor->GetState() == Control::Service::State::Connected; }
    // Sends one payload and waits for `count` answer frames.
    std::vector<std::string> exchange(const std::string& payload, std::size_t count = 1)
    {
        client->send(frame(payload));
        return answers(count);
    }
    std::vector<std::string> answers(std::size_t count)
    {
        std::vector<std::string> got;
        looptest::runUntil([&] {
            client->pump();
            for (std::string& f : client->frames())
                got.push_back(f);
            return got.size() >= count;
        });
        return got;
    }
    // Moves the loop clock and runs a few turns so that due timers fire.
    void advance(int ms)
    {
        Mux::g_tv_time.sec += ms / 1000;
        Mux::g_tv_time.usec += (ms % 1000) * 1000;
        looptest::runUntil([] { return false; }, 30);
    }

    looptest::Capture out{std::cout};
    looptest::Capture err{std::cerr};
    looptest::Capture log{std::clog};
    std::vector<std::string> events;
    CtrlSrv::Server server;
    HeartBeatCtl heartbeat;
    Probe probe{"probe", events};
    Control::AcceptorNet* acceptor;   // owned by the server
    std::unique_ptr<Client> client;
};

} // namespace ctrltest
