#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Death tests: "threadsafe" re-executes the binary, which qemu-user cannot do
    // without a binfmt registration; on the board's target the child is forked
    // without exec instead (the tests are single-threaded).
#if defined(__powerpc__)
    GTEST_FLAG_SET(death_test_style, "fast");
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
