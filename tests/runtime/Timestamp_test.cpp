#include <gtest/gtest.h>

#include <sstream>

#include "runtime/Mux.h"
#include "runtime/Timestamp.h"
#include "support/TempRoot.h"

TEST(Timestamp, DayMonthAndTimeOfTheLoopClock)
{
    test::UtcZone utc;
    Mux::g_tv_time = {1700000000, 999999};
    std::ostringstream os;
    timestamp(os) << "|";
    EXPECT_EQ(os.str(), "14/11 22:13:20|");
    Mux::g_tv_time = {0, 0};
}
