#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "runtime/Mux.h"
#include "support/TempRoot.h"

namespace {

using Mux::timeval;

::testing::AssertionResult is(const timeval& tv, std::int32_t sec, std::int32_t usec)
{
    if (tv.sec == sec && tv.usec == usec)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "{" << tv.sec << ", " << tv.usec << "}";
}

// Every case starts and ends without a cached time.
struct MuxClock : ::testing::Test
{
    MuxClock() { Mux::g_tv_time = {0, 0}; }
    ~MuxClock() override { Mux::g_tv_time = {0, 0}; }
};

TEST_F(MuxClock, CachedTimeDrivesEveryClock)
{
    // 2026-11-28: sec x 1e6 overflows 32 bits by far; only the 64-bit
    // computation gives these truncated values.
    Mux::g_tv_time = {1796000000, 123456};
    EXPECT_EQ(Mux::milliseconds(), 703670395u);
    EXPECT_EQ(Mux::microseconds(), 3590726208u);
    EXPECT_EQ(Mux::seconds(), 1796000000);
    timeval tv{};
    EXPECT_EQ(Mux::gettimeval(tv), 0);
    EXPECT_TRUE(is(tv, 1796000000, 123456));

    // the millisecond clock wraps at 2^32 ms
    Mux::g_tv_time = {4294967, 296000};
    EXPECT_EQ(Mux::milliseconds(), 0u);
    Mux::g_tv_time = {4294967, 295999};
    EXPECT_EQ(Mux::milliseconds(), 4294967295u);
}

TEST_F(MuxClock, EmptyCacheReadsSystemTimeAndSetCachesIt)
{
    std::int32_t before = static_cast<std::int32_t>(std::time(nullptr));
    EXPECT_GE(Mux::seconds(), before);
    Mux::mux_settimeofday();
    timeval cached = Mux::g_tv_time;
    EXPECT_GE(cached.sec, before);
    timeval tv{};
    Mux::mux_gettimeofday(tv);
    EXPECT_EQ(Mux::timevalcompare(tv, cached), 0);
}

TEST(Timeval, ArithmeticExamples)
{
    timeval a{5, 100};
    Mux::timevalsub(a, timeval{2, 900000});
    EXPECT_TRUE(is(a, 2, 100100));
    Mux::timevaladd(a, timeval{0, 899900});
    EXPECT_TRUE(is(a, 3, 0));

    timeval b{1, 600000}, out{};
    Mux::timevaladd2(b, timeval{2, 700000}, out);
    EXPECT_TRUE(is(out, 4, 300000));
    Mux::timevalsub2(out, timeval{4, 300000}, b);
    EXPECT_TRUE(is(b, 0, 0));

    Mux::make_from_usec(a, 3000001);
    EXPECT_TRUE(is(a, 3, 1));
    Mux::make_from_msec(a, 4294967295u);
    EXPECT_TRUE(is(a, 4294967, 295000));
    Mux::timevalset(a, 5000000123LL);
    EXPECT_TRUE(is(a, 5000000, 123000));
}

TEST(Timeval, DiffAndCompare)
{
    EXPECT_EQ(Mux::timevaldiff(timeval{3, 0}, timeval{2, 0}), 0);
    EXPECT_EQ(Mux::timevaldiff(timeval{0, 999999}, timeval{1, 0}), 1);
    EXPECT_EQ(Mux::timevaldiff(timeval{10, 500}, timeval{12, 1500}), 2001);
    EXPECT_EQ(Mux::timevaldiff(timeval{0, 0}, timeval{2000000000, 0}), 2000000000000LL);
    EXPECT_EQ(Mux::timevalcompare(timeval{1, 2}, timeval{1, 3}), -1);
    EXPECT_EQ(Mux::timevalcompare(timeval{2, 0}, timeval{1, 999999}), 1);
    EXPECT_EQ(Mux::timevalcompare(timeval{1, 2}, timeval{1, 2}), 0);
}

TEST(Timeval, ToStringInLocalTime)
{
    test::UtcZone utc;
    EXPECT_EQ(Mux::timevaltostring(timeval{1700000000, 42}), "2023-11-14 22:13:20.000042");
}

TEST(TimevalTimer, PeriodBelowOneNeverExpires)
{
    Mux::timeval_timer t;
    t.init(timeval{100, 0}, 0);
    EXPECT_FALSE(t.is_expired(timeval{2000000000, 0}));
    t.init(timeval{100, 0}, 250);
    EXPECT_FALSE(t.is_expired(timeval{100, 250000}));   // must exceed the period
    EXPECT_TRUE(t.is_expired(timeval{100, 251000}));
    t.inc();
    EXPECT_TRUE(is(t.start, 100, 250000));
    t.inc();
    t.inc();
    t.inc();
    EXPECT_TRUE(is(t.start, 101, 0));
    t.init_now(timeval{7, 0});
    EXPECT_EQ(t.period, 250);
}

TEST(MuxSet, RefusesDescriptorsOutsideTheSet)
{
    Mux::Set s;
    EXPECT_EQ(s.max(), -1);
    EXPECT_FALSE(s.add(FD_SETSIZE));
    EXPECT_FALSE(s.add(-1));
    EXPECT_EQ(s.max(), -1);
    EXPECT_TRUE(s.add(3));
    EXPECT_TRUE(s.add(9));
    EXPECT_EQ(s.max(), 9);
    s.remove(9);
    EXPECT_EQ(s.max(), 3);
    EXPECT_FALSE(s.is_set(9));
    EXPECT_TRUE(s.is_set(3));
    EXPECT_FALSE(s.is_set(FD_SETSIZE + 5));
}

TEST(MuxSet, SelectSeesReadableAndWritableEnds)
{
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, sv), 0);
    Mux::Set r, w;
    r.add(sv[0]);
    EXPECT_EQ(Mux::select_rd(r, timeval{0, 0}), 0);
    ASSERT_EQ(write(sv[1], "x", 1), 1);
    r.add(sv[0]);
    EXPECT_EQ(Mux::select_rd(r, timeval{0, 0}), 1);
    EXPECT_TRUE(r.is_set(sv[0]));
    w.add(sv[1]);
    EXPECT_EQ(Mux::select_wr(w, timeval{0, 0}), 1);
    Mux::Set e;   // empty: passed as null
    r.add(sv[0]);
    w.add(sv[1]);
    EXPECT_EQ(Mux::max_fd(r, w, e), sv[0] > sv[1] ? sv[0] : sv[1]);
    EXPECT_EQ(Mux::select(r, w, e, timeval{0, 0}), 2);
    close(sv[0]);
    close(sv[1]);
}

} // namespace
