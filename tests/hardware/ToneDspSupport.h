#pragma once
// Shared by the tone and DSP service tests: stream capture, loop turns that
// never wait, the loop clock, and the requests one device received.
#include <poll.h>

#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "board/sim/SimBoard.h"
#include "runtime/Multiplexer.h"
#include "runtime/Mux.h"

namespace ToneDspTest {

class Capture {
public:
    explicit Capture(std::ostream& stream) : stream_(stream), old_(stream.rdbuf(text_.rdbuf())) {}
    ~Capture() { stream_.rdbuf(old_); }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::string take()
    {
        std::string s = text_.str();
        text_.str("");
        return s;
    }

private:
    std::ostream& stream_;
    std::ostringstream text_;
    std::streambuf* old_;
};

inline int pollNow(pollfd* fds, nfds_t count, int)
{
    return ::poll(fds, count, 0);
}

// One loop turn that does not wait.
inline void turn()
{
    multiplexer.setPollForTest(pollNow);
    multiplexer.runTurnForTest();
    multiplexer.setPollForTest(nullptr);
}

// The loop clock stands still at a fixed time while the object lives.
class FixedClock {
public:
    FixedClock() { Mux::g_tv_time = {100000, 0}; }
    ~FixedClock() { Mux::g_tv_time = {0, 0}; }
    FixedClock(const FixedClock&) = delete;
    FixedClock& operator=(const FixedClock&) = delete;

    // Moves the clock on and runs one turn, which fires the timers due.
    void advance(unsigned ms)
    {
        Mux::timeval step;
        Mux::make_from_msec(step, ms);
        Mux::timevaladd(Mux::g_tv_time, step);
        turn();
    }
};

// The record and value requests of one device, in order.
inline std::vector<SimBoard::Request> requestsOf(const SimBoard& board, const std::string& device)
{
    std::vector<SimBoard::Request> result;
    for (const SimBoard::Request& r : board.requests())
        if (r.device == device && (r.op == SimBoard::Op::Ioctl || r.op == SimBoard::Op::IoctlValue))
            result.push_back(r);
    return result;
}

template <class Array>
std::vector<unsigned char> bytes(const Array& a)
{
    return std::vector<unsigned char>(a.begin(), a.end());
}

} // namespace ToneDspTest
