#pragma once
// Runs the real loop over real sockets in tests: poll never waits more than
// 20 ms, so a test bounds its wait by wall time instead of blocking for ever.
#include <poll.h>

#include <chrono>
#include <functional>

#include "runtime/LoopFixture.h"
#include "runtime/Multiplexer.h"

namespace looptest {

inline int cappedPoll(pollfd* fds, nfds_t count, int timeout)
{
    if (timeout < 0 || timeout > 20)
        timeout = 20;
    return ::poll(fds, count, timeout);
}

// Turns the loop until done() holds or limit_ms of wall time have passed;
// returns done(). poll_function stands in for poll (it must not wait long).
inline bool runUntil(const std::function<bool()>& done, int limit_ms = 3000,
                     Multiplexer::PollFunction poll_function = cappedPoll)
{
    multiplexer.setPollForTest(poll_function);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    while (!done() && std::chrono::steady_clock::now() < end) {
        if (multiplexer.attachedCountForTest() == 0 && multiplexer.timerCountForTest() == 0) {
            // A turn would abort on a hang: only deferred calls can still run.
            if (multiplexer.dpcCountForTest() == 0)
                break;
            multiplexer.execute_dpc();
            continue;
        }
        multiplexer.runTurnForTest();
    }
    multiplexer.setPollForTest(nullptr);
    return done();
}

} // namespace looptest
