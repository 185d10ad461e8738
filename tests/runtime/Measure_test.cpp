#include <gtest/gtest.h>

#include <sstream>

#include "runtime/Measure.h"
#include "runtime/Mux.h"

namespace {

struct MeasureClock : ::testing::Test
{
    ~MeasureClock() override { Mux::g_tv_time = {0, 0}; }
    // microseconds() = sec x 1e6 + usec, truncated to 32 bits
    static void at(std::int32_t sec, std::int32_t usec) { Mux::g_tv_time = {sec, usec}; }
    static std::string text(const Measure& m)
    {
        std::ostringstream os;
        os << std::hex << m;   // numbers are written in decimal whatever the stream's base
        return os.str();
    }
};

TEST_F(MeasureClock, MinMaxLastAndCount)
{
    Measure m;
    EXPECT_EQ(text(m), "min=0 max=0 avg=0 counter=0");
    at(100, 0);
    m.begin();
    at(100, 5);
    EXPECT_EQ(m.end(), 5u);
    at(100, 10);
    m.begin();
    at(100, 13);
    EXPECT_EQ(m.end(), 3u);
    m.begin();
    at(100, 17);
    m.end();
    EXPECT_EQ(text(m), "min=3 max=5 avg=4 counter=3");
}

TEST_F(MeasureClock, IntervalAcrossThe32BitWrap)
{
    // 4294967296 us = 4294 s + 967296 us: the microsecond clock wraps there
    Measure m;
    at(4294, 967290);
    m.begin();
    at(4294, 967300);
    EXPECT_EQ(m.end(), 10u);
    EXPECT_EQ(text(m), "min=10 max=10 avg=10 counter=1");
}

} // namespace
