#include <sstream>

#include "LoopFixture.h"
#include "runtime/Dpc.h"
#include "runtime/Event.h"
#include "runtime/Profile.h"
#include "runtime/Timer.h"

using namespace looptest;

namespace {

struct Client
{
    void OnEvent(int, short) {}
    void OnTimer() {}
    Event event;
};

// One cell as the status dump lays it out: centred, extra space on the right.
std::string cell(std::size_t width, const std::string& text)
{
    const std::size_t fill = text.size() < width ? width - text.size() : 0;
    return "|" + std::string(fill / 2, ' ') + text + std::string((fill + 1) / 2, ' ');
}

const std::string delimiter = "+" + std::string(40, '-') + "+" + std::string(30, '-') + "+" + std::string(10, '-') +
                              "+" + std::string(10, '-') + "+" + std::string(5, '-') + "+" + std::string(60, '-') +
                              "+\n";

std::string row(const std::string& name, const std::string& events, const std::string& count,
                const std::string& handler, const std::string& fd, const std::string& measure)
{
    return cell(40, name) + cell(30, events) + cell(10, count) + cell(10, handler) + cell(5, fd) +
           cell(60, measure) + "|\n";
}

} // namespace

TEST_F(LoopTest, StatusDumpLayout)
{
    multiplexer.resetMeasuresForTest();   // the loop clock stands still: every duration is 0
    SocketPair pair;
    pair.send();
    Client named, unbound, late;
    named.event.Bind("Client::OnEvent", &Client::OnEvent, &named);
    named.event.Schedule(Fd(::dup(pair.fd[0])), POLLIN | POLLOUT);
    unbound.event.Schedule(Fd(::dup(pair.fd[1])), POLLPRI);
    Probe plain(pair.fd[0], "plain");   // polled every turn, but not an Event: not listed
    plain.mux_attach();
    Dpc dpc;
    dpc.Activate();
    Timer timer;
    timer.set(0, &Client::OnTimer, &named);
    multiplexer.runTurnForTest();
    dpc.Deactivate();
    late.event.Schedule(Fd(::dup(pair.fd[0])), POLLIN);   // new list: not listed

    std::ostringstream profile;
    Profile::dump(profile);
    std::ostringstream dump;
    multiplexer.dump(dump);
    EXPECT_EQ(dump.str(),
              "dpc transition measurement (min/max/cur/counter): min=0 max=0 avg=0 counter=2\n"
              "event transition measurement (min/max/cur/counter): min=0 max=0 avg=0 counter=3\n"
              "timer transition measurement (min/max/cur/counter): min=0 max=0 avg=0 counter=1\n" +
                  profile.str() + delimiter + row("name", "events", "count", "handler", "fd", "measure") +
                  delimiter +
                  row("Client::OnEvent", "POLLIN|POLLOUT", "1", "attached", std::to_string(named.event.getFd()),
                      "min=0 max=0 avg=0 counter=0") +
                  row("Unknown", "POLLPRI", "0", "unattached", std::to_string(unbound.event.getFd()),
                      "min=0 max=0 avg=0 counter=0") +
                  delimiter + "\n");
}
