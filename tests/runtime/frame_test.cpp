#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "runtime/FixedPath.h"

// The board is big-endian with unsigned char; the host is not. Both must build.
TEST(Frame, CharAndIntWidths)
{
    EXPECT_EQ(CHAR_BIT, 8);
    EXPECT_EQ(sizeof(int), 4u);
}

TEST(FixedPath, PrefixesRootWhenSet)
{
    unsetenv("STALVANE_ROOT");
    EXPECT_EQ(fixedPath("/dev/hal"), "/dev/hal");
    setenv("STALVANE_ROOT", "/tmp/x/", 1);
    EXPECT_EQ(fixedPath("/dev/hal"), "/tmp/x/dev/hal");
    setenv("STALVANE_ROOT", "/tmp/x", 1);
    EXPECT_EQ(fixedPath(std::string("/var/run/server.pid")), "/tmp/x/var/run/server.pid");
    setenv("STALVANE_ROOT", "", 1);
    EXPECT_EQ(fixedPath("/dev/log"), "/dev/log");
    unsetenv("STALVANE_ROOT");
}
