#pragma once
// The loop clock and time arithmetic, and select() over descriptor sets.
//
// Clock seam: every clock read returns Mux::g_tv_time when it is not {0, 0},
// else the system time. The event loop refreshes the cache after each poll
// when it runs with a time cache; tests set it (directly or through
// mux_settimeofday) to control every timer.
#include <sys/select.h>

#include <cstdint>
#include <string>

namespace Mux {

struct timeval
{
    std::int32_t sec;
    std::int32_t usec;   // 0..999999 after every operation
};

// The cached loop time; {0, 0} means no cache: read the system clock.
extern timeval g_tv_time;

int mux_gettimeofday(timeval& now);
int gettimeval(timeval& now);   // now; returns 0
void mux_settimeofday();        // stores the system time into g_tv_time

// 32-bit millisecond clock of every timer (wraps after about 49.7 days).
std::uint32_t milliseconds();
// 32-bit microsecond clock of every duration measure (wraps after about 71.6 minutes).
std::uint32_t microseconds();
std::int32_t seconds();

void make_from_usec(timeval& tv, unsigned us);
void make_from_msec(timeval& tv, unsigned ms);
void timevalset(timeval& tv, std::int64_t ms);

void timevaladd(timeval& a, const timeval& b);   // a += b
void timevalsub(timeval& a, const timeval& b);   // a -= b
void timevaladd2(const timeval& a, const timeval& b, timeval& out);
void timevalsub2(const timeval& a, const timeval& b, timeval& out);

// Milliseconds from a to b; whole seconds and microseconds are converted
// separately (the microsecond part truncates toward zero); 0 when b < a.
std::int64_t timevaldiff(const timeval& a, const timeval& b);
int timevalcompare(const timeval& a, const timeval& b);   // -1, 0, 1
// Local time "YYYY-MM-DD hh:mm:ss.uuuuuu".
std::string timevaltostring(const timeval& tv);

// A period counted from a start time; a period below 1 never expires.
struct timeval_timer
{
    timeval start{0, 0};
    int period = 0;   // ms

    void init(const timeval& from, int ms)
    {
        start = from;
        period = ms;
    }
    void init_now(const timeval& from) { start = from; }
    bool is_expired(const timeval& now) const;
    void inc();   // start += period
};

// A select() descriptor set and the highest descriptor in it (-1: empty).
// Descriptors outside 0..FD_SETSIZE-1 are refused: fd_set cannot hold them.
class Set
{
public:
    Set() { clear(); }

    void clear()
    {
        FD_ZERO(&fds);
        highest = -1;
    }
    bool add(int fd);      // false for a descriptor the set cannot hold
    void remove(int fd);   // highest is recomputed when fd was the highest
    bool is_set(int fd) const;
    int max() const { return highest; }
    fd_set* get() { return &fds; }

private:
    fd_set fds;
    int highest;
};

int max_fd(const Set& a, const Set& b);
int max_fd(const Set& a, const Set& b, const Set& c);

// select() on the sets given; a set whose highest descriptor is below 0 is
// passed as null. The result is select()'s.
int select(Set& r, Set& w, Set& e, const timeval& timeout);
int select(Set& r, Set& w, Set& e);
int select(Set& r, Set& w);
int select(Set& r);
int select_rd(Set& set, const timeval& timeout);
int select_wr(Set& set, const timeval& timeout);

} // namespace Mux
