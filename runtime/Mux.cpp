#include "runtime/Mux.h"

#include <sys/time.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

namespace Mux {

timeval g_tv_time = {0, 0};

namespace {

constexpr std::int32_t usecPerSec = 1000000;

void systemTime(timeval& now)
{
    ::timeval tv{};
    ::gettimeofday(&tv, nullptr);
    now.sec = static_cast<std::int32_t>(tv.tv_sec);
    now.usec = static_cast<std::int32_t>(tv.tv_usec);
}

timeval now()
{
    timeval tv = g_tv_time;
    if (tv.sec == 0 && tv.usec == 0)
        systemTime(tv);
    return tv;
}

std::int64_t totalUsec(const timeval& tv)
{
    return static_cast<std::int64_t>(tv.sec) * usecPerSec + tv.usec;
}

// Null for a set without descriptors.
fd_set* orNull(Set& set)
{
    return set.max() < 0 ? nullptr : set.get();
}

int doSelect(int highest, Set* r, Set* w, Set* e, const timeval* timeout)
{
    if (highest >= FD_SETSIZE) {
        errno = EINVAL;
        return -1;
    }
    ::timeval tv{};
    if (timeout != nullptr) {
        tv.tv_sec = timeout->sec;
        tv.tv_usec = timeout->usec;
    }
    return ::select(highest + 1, r ? orNull(*r) : nullptr, w ? orNull(*w) : nullptr,
                    e ? orNull(*e) : nullptr, timeout ? &tv : nullptr);
}

} // namespace

int mux_gettimeofday(timeval& tv)
{
    tv = now();
    return 0;
}

int gettimeval(timeval& tv)
{
    return mux_gettimeofday(tv);
}

void mux_settimeofday()
{
    systemTime(g_tv_time);
}

std::uint32_t milliseconds()
{
    return static_cast<std::uint32_t>(totalUsec(now()) / 1000);
}

std::uint32_t microseconds()
{
    return static_cast<std::uint32_t>(totalUsec(now()));
}

std::int32_t seconds()
{
    return now().sec;
}

void make_from_usec(timeval& tv, unsigned us)
{
    tv.sec = static_cast<std::int32_t>(us / 1000000u);
    tv.usec = static_cast<std::int32_t>(us % 1000000u);
}

void make_from_msec(timeval& tv, unsigned ms)
{
    timevalset(tv, ms);
}

void timevalset(timeval& tv, std::int64_t ms)
{
    tv.sec = static_cast<std::int32_t>(ms / 1000);
    tv.usec = static_cast<std::int32_t>((ms % 1000) * 1000);
}

void timevaladd2(const timeval& a, const timeval& b, timeval& out)
{
    std::int32_t usec = a.usec + b.usec;
    out.sec = a.sec + b.sec + usec / usecPerSec;
    out.usec = usec % usecPerSec;
}

void timevalsub2(const timeval& a, const timeval& b, timeval& out)
{
    std::int32_t usec = a.usec - b.usec + usecPerSec;
    out.sec = a.sec - b.sec - 1 + usec / usecPerSec;
    out.usec = usec % usecPerSec;
}

void timevaladd(timeval& a, const timeval& b)
{
    timevaladd2(a, b, a);
}

void timevalsub(timeval& a, const timeval& b)
{
    timevalsub2(a, b, a);
}

std::int64_t timevaldiff(const timeval& a, const timeval& b)
{
    if (timevalcompare(b, a) < 0)
        return 0;
    return (static_cast<std::int64_t>(b.sec) - a.sec) * 1000 + (b.usec - a.usec) / 1000;
}

int timevalcompare(const timeval& a, const timeval& b)
{
    if (a.sec != b.sec)
        return a.sec < b.sec ? -1 : 1;
    if (a.usec != b.usec)
        return a.usec < b.usec ? -1 : 1;
    return 0;
}

std::string timevaltostring(const timeval& tv)
{
    std::time_t seconds = tv.sec;
    std::tm local{};
    char date[64] = "";
    if (::localtime_r(&seconds, &local) != nullptr)
        std::strftime(date, sizeof(date), "%Y-%m-%d %H:%M:%S", &local);
    char text[96];
    std::snprintf(text, sizeof(text), "%s.%06ld", date, static_cast<long>(tv.usec));
    return text;
}

bool timeval_timer::is_expired(const timeval& now) const
{
    if (period < 1)
        return false;
    return timevaldiff(start, now) > period;
}

void timeval_timer::inc()
{
    timeval step;
    make_from_msec(step, static_cast<unsigned>(period));
    timevaladd(start, step);
}

bool Set::add(int fd)
{
    if (fd < 0 || fd >= FD_SETSIZE)
        return false;
    FD_SET(fd, &fds);
    if (fd > highest)
        highest = fd;
    return true;
}

void Set::remove(int fd)
{
    if (fd < 0 || fd >= FD_SETSIZE)
        return;
    FD_CLR(fd, &fds);
    if (fd == highest) {
        while (highest >= 0 && !FD_ISSET(highest, &fds))
            --highest;
    }
}

bool Set::is_set(int fd) const
{
    return fd >= 0 && fd < FD_SETSIZE && FD_ISSET(fd, &fds);
}

int max_fd(const Set& a, const Set& b)
{
    return a.max() > b.max() ? a.max() : b.max();
}

int max_fd(const Set& a, const Set& b, const Set& c)
{
    int ab = max_fd(a, b);
    return ab > c.max() ? ab : c.max();
}

int select(Set& r, Set& w, Set& e, const timeval& timeout)
{
    return doSelect(max_fd(r, w, e), &r, &w, &e, &timeout);
}

int select(Set& r, Set& w, Set& e)
{
    return doSelect(max_fd(r, w, e), &r, &w, &e, nullptr);
}

int select(Set& r, Set& w)
{
    return doSelect(max_fd(r, w), &r, &w, nullptr, nullptr);
}

int select(Set& r)
{
    return doSelect(r.max(), &r, nullptr, nullptr, nullptr);
}

int select_rd(Set& set, const timeval& timeout)
{
    return doSelect(set.max(), &set, nullptr, nullptr, &timeout);
}

int select_wr(Set& set, const timeval& timeout)
{
    return doSelect(set.max(), nullptr, &set, nullptr, &timeout);
}

} // namespace Mux
