#include <gtest/gtest.h>

#include <cstdlib>

#include "runtime/FixedPath.h"

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
