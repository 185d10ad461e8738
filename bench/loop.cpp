// Costs of the loop's registrations: attaching and detaching a handler, arming
// and cancelling a timer, one deferred-call pass and one idle turn, for a few
// registration counts. Prints nanoseconds per operation.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "runtime/Dpc.h"
#include "runtime/Multiplexer.h"
#include "runtime/Timer.h"

namespace {

using Clock = std::chrono::steady_clock;

class Handler : public EventHandler
{
public:
    explicit Handler(int fd) : fd(fd) {}
    void shedule_event(pollfd& entry) override
    {
        entry.fd = fd;
        entry.events = POLLIN;
    }
    void svc_event(short) override {}

private:
    int fd;
};

struct Client
{
    void OnTimer() {}
    void OnDpc() { ++calls; }
    unsigned calls = 0;
};

// Poll that reports a time-out at once: turns without waiting.
int noWait(pollfd*, nfds_t, int)
{
    return 0;
}

double nsPer(Clock::time_point start, unsigned long operations)
{
    return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / static_cast<double>(operations);
}

double attachDetach(int fd, unsigned count)
{
    std::vector<std::unique_ptr<Handler>> handlers;
    for (unsigned i = 0; i < count; ++i) {
        handlers.emplace_back(new Handler(fd));
        handlers.back()->mux_attach();
    }
    multiplexer.runTurnForTest();   // all active
    const unsigned rounds = 2000000 / count + 1;
    const Clock::time_point start = Clock::now();
    for (unsigned round = 0; round < rounds; ++round) {
        for (auto& handler : handlers) {
            handler->mux_detach();
            handler->mux_attach();
        }
        multiplexer.runTurnForTest();
    }
    const double result = nsPer(start, static_cast<unsigned long>(rounds) * count);
    for (auto& handler : handlers)
        handler->mux_detach();
    return result;
}

double armCancel(unsigned count)
{
    Client client;
    std::vector<std::unique_ptr<Timer>> pending;
    for (unsigned i = 0; i < count; ++i) {
        pending.emplace_back(new Timer);
        pending.back()->set(1000000 + i, &Client::OnTimer, &client);
    }
    Timer timer;
    const unsigned long operations = 2000000;
    const Clock::time_point start = Clock::now();
    for (unsigned long i = 0; i < operations; ++i) {
        timer.set(5000000, &Client::OnTimer, &client);   // the latest deadline: inserted at the tail
        timer.reset();
    }
    return nsPer(start, operations);
}

double dpcPass(unsigned count)
{
    std::vector<std::unique_ptr<Dpc>> dpcs;
    Client client;
    for (unsigned i = 0; i < count; ++i) {
        dpcs.emplace_back(new Dpc);
        dpcs.back()->Bind(&client, &Client::OnDpc);
        dpcs.back()->Activate();
    }
    const unsigned long passes = 4000000 / count + 1;
    const Clock::time_point start = Clock::now();
    for (unsigned long i = 0; i < passes; ++i)
        multiplexer.execute_dpc();
    return nsPer(start, passes);
}

double idleTurn(int fd, unsigned count)
{
    std::vector<std::unique_ptr<Handler>> handlers;
    for (unsigned i = 0; i < count; ++i) {
        handlers.emplace_back(new Handler(fd));
        handlers.back()->mux_attach();
    }
    const unsigned long turns = 4000000 / count + 1;
    const Clock::time_point start = Clock::now();
    for (unsigned long i = 0; i < turns; ++i)
        multiplexer.runTurnForTest();
    const double result = nsPer(start, turns);
    for (auto& handler : handlers)
        handler->mux_detach();
    return result;
}

} // namespace

int main()
{
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_DGRAM, 0, pair) != 0) {
        std::perror("socketpair");
        return 1;
    }
    multiplexer.setPollForTest(noWait);
    std::printf("%8s %22s %22s %18s %18s\n", "count", "detach+attach ns/op", "arm+cancel ns/op", "dpc pass ns",
                "idle turn ns");
    for (unsigned count : {16u, 256u, 4096u}) {
        const double handlers = attachDetach(pair[0], count);
        const double timers = armCancel(count);
        const double dpc = count <= 256 ? dpcPass(count) : 0.0;
        const double turn = idleTurn(pair[0], count);
        std::printf("%8u %22.1f %22.1f %18.1f %18.1f\n", count, handlers, timers, dpc, turn);
    }
    multiplexer.setPollForTest(nullptr);
    ::close(pair[0]);
    ::close(pair[1]);
    return 0;
}
