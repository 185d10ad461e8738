#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>

#include "runtime/Mux.h"
#include "runtime/Timestamp.h"

namespace {

TEST(Timestamp, DayMonthAndTimeOfTheLoopClock)
{
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    Mux::g_tv_time = {1700000000, 999999};
    std::ostringstream os;
    timestamp(os) << "|";
    EXPECT_EQ(os.str(), "14/11 22:13:20|");
    Mux::g_tv_time = {0, 0};
    if (old)
        ::setenv("TZ", saved.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

} // namespace
