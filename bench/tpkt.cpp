// TPKT echo over loopback TCP through the control acceptor and service.
//
// The parent runs the event loop with an AcceptorNetCheckConnection whose
// user echoes every message; a forked child is the controller. For payloads
// of 16, 200 and 1400 octets it measures round trips (one message in flight)
// and pipelined throughput (up to `window` messages in flight), and prints
// messages per second.
//
// Then the same for `ping` commands through the control server (with the
// heartbeat bound, as in the daemon): decode, dispatch, answer, encode and
// TPKT, reported as commands per second.
//
//     bench_tpkt [round-trips [pipelined [window]]]
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "control/CtrlSrvServer.h"
#include "control/CtrlSrvService.h"
#include "control/HeartBeatCtl.h"
#include "protocol/AcceptorNet.h"
#include "runtime/Multiplexer.h"

namespace {

const unsigned sizes[] = {16, 200, 1400};

class Echo : public Control::Notify
{
public:
    explicit Echo(Control::Service& service) : service(service) {}
    void OnConnect() override {}
    void OnDisconnect() override { multiplexer.terminate(); }
    void OnMessage(const char* data, int length) override { service.Send(data, length); }

private:
    Control::Service& service;
};

// Ends the loop when the controller goes; takes no command.
class StopOnDisconnect : public CtrlSrv::Service
{
public:
    void OnConnect() override {}
    void OnDisconnect() override { multiplexer.terminate(); }
    bool OnCommand(const LGCP::Command&) override { return false; }
};

// `ping` with seq 7 and its answer, each one 8-octet frame.
const std::string ping_frame("\x03\x00\x00\x08\x80\x01\x07\x18", 8);
const std::string ping_answer("\x03\x00\x00\x08\x80\x01\x07\x40", 8);

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Blocking client side.
class Controller
{
public:
    explicit Controller(std::uint16_t port)
    {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        INet4::Addr a;
        a.Reset();
        a.Assign("127.0.0.1", nullptr);
        a.SetPort(port);
        if (::connect(fd, a.sa(), sizeof a) != 0) {
            std::perror("connect");
            std::exit(1);
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    }
    ~Controller() { ::close(fd); }

    static std::string frame(unsigned size)
    {
        std::string f(size + 4, 'p');
        f[0] = 3;
        f[1] = 0;
        f[2] = static_cast<char>((size + 4) >> 8);
        f[3] = static_cast<char>((size + 4) & 0xFF);
        return f;
    }

    // One frame out; true when the answer is exactly `expected`.
    bool answered(const std::string& f, const std::string& expected)
    {
        std::string in(expected.size(), '\0');
        write_all(f.data(), f.size());
        read_all(&in[0], in.size());
        return in == expected;
    }

    // Frames f out and waits each time for an answer of the same size.
    double round_trips(const std::string& f, unsigned count)
    {
        std::vector<char> in(f.size());
        const auto start = std::chrono::steady_clock::now();
        for (unsigned i = 0; i < count; ++i) {
            write_all(f.data(), f.size());
            read_all(in.data(), in.size());
        }
        return count / seconds_since(start);
    }

    // Up to `window` frames f in flight; answers of the same size.
    double pipelined(const std::string& f, unsigned count, unsigned window)
    {
        std::vector<char> in(65536);
        const std::size_t total = static_cast<std::size_t>(count) * f.size();
        std::size_t sent = 0, received = 0;
        const auto start = std::chrono::steady_clock::now();
        ::fcntl(fd, F_SETFL, O_NONBLOCK);
        while (received < total) {
            const bool room = sent < total && (sent - received) / f.size() < window;
            pollfd p = {fd, static_cast<short>(POLLIN | (room ? POLLOUT : 0)), 0};
            ::poll(&p, 1, 1000);
            if (room && (p.revents & POLLOUT) != 0) {
                std::size_t at = sent % f.size();
                ssize_t n = ::send(fd, f.data() + at, f.size() - at, MSG_NOSIGNAL);
                if (n > 0)
                    sent += static_cast<std::size_t>(n);
            }
            if ((p.revents & POLLIN) != 0) {
                ssize_t n = ::recv(fd, in.data(), in.size(), 0);
                if (n <= 0) {
                    std::fprintf(stderr, "connection lost\n");
                    std::exit(1);
                }
                received += static_cast<std::size_t>(n);
            }
        }
        ::fcntl(fd, F_SETFL, 0);
        return count / seconds_since(start);
    }

private:
    void write_all(const char* p, std::size_t n)
    {
        while (n > 0) {
            ssize_t r = ::send(fd, p, n, MSG_NOSIGNAL);
            if (r <= 0) {
                std::perror("send");
                std::exit(1);
            }
            p += r;
            n -= static_cast<std::size_t>(r);
        }
    }
    void read_all(char* p, std::size_t n)
    {
        while (n > 0) {
            ssize_t r = ::recv(fd, p, n, 0);
            if (r <= 0) {
                std::perror("recv");
                std::exit(1);
            }
            p += r;
            n -= static_cast<std::size_t>(r);
        }
    }

    int fd;
};

int ping_bench(unsigned round_trips, unsigned pipelined, unsigned window)
{
    HeartBeatCtl heartbeat;
    StopOnDisconnect stop;
    CtrlSrv::Server server;
    server.Bind(&heartbeat);
    server.Bind(&stop);
    Control::AcceptorNetCheckConnection* acceptor = new Control::AcceptorNetCheckConnection(0, false);
    if (!server.Activate(acceptor) || acceptor->GetBoundPort() == 0) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    const std::uint16_t port = acceptor->GetBoundPort();

    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        Controller c(port);
        if (!c.answered(ping_frame, ping_answer)) {
            std::fprintf(stderr, "ping not answered with success\n");
            std::_Exit(1);
        }
        const double rt = c.round_trips(ping_frame, round_trips);
        const double pl = c.pipelined(ping_frame, pipelined, window);
        std::printf("\nping through CtrlSrv::Server (decode, dispatch, answer, encode, TPKT)\n");
        std::printf("%8s %20s %24s\n", "payload", "round trips (cmd/s)", "pipelined (cmd/s)");
        std::printf("%8u %20.0f %24.0f\n", 4u, rt, pl);
        std::fflush(stdout);
        std::_Exit(0);
    }
    multiplexer.run(false, true);
    int status = 0;
    ::waitpid(child, &status, 0);
    server.Deactivate();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const unsigned round_trips = argc > 1 ? std::atoi(argv[1]) : 20000;
    const unsigned pipelined = argc > 2 ? std::atoi(argv[2]) : 200000;
    const unsigned window = argc > 3 ? std::atoi(argv[3]) : 64;

    Control::AcceptorNetCheckConnection acceptor(0, false);
    Echo echo(acceptor);
    acceptor.Bind(&echo);
    if (!acceptor.Activate() || acceptor.GetBoundPort() == 0) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    const std::uint16_t port = acceptor.GetBoundPort();

    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        Controller c(port);
        std::printf("TPKT echo over loopback through AcceptorNetCheckConnection and Control::Service\n");
        std::printf("%8s %20s %24s\n", "payload", "round trips (msg/s)", "pipelined (msg/s)");
        for (unsigned size : sizes) {
            const double rt = c.round_trips(Controller::frame(size), round_trips);
            const double pl = c.pipelined(Controller::frame(size), pipelined, window);
            std::printf("%8u %20.0f %24.0f\n", size, rt, pl);
        }
        std::printf("(%u round trips, %u pipelined messages, window %u, per payload size)\n", round_trips, pipelined,
                    window);
        std::fflush(stdout);
        std::_Exit(0);
    }
    multiplexer.run(false, true);
    int status = 0;
    ::waitpid(child, &status, 0);
    acceptor.Deactivate();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return 1;
    return ping_bench(round_trips, pipelined, window);
}
