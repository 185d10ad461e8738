#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <string>

#include "runtime/FindProc.h"
#include "support/TempRoot.h"

namespace {

// A fake /proc under STALVANE_ROOT.
struct FakeProc : ::testing::Test
{
    void process(const std::string& entry, const std::string& stat)
    {
        ::mkdir((root.path + "/proc/" + entry).c_str(), 0755);
        std::ofstream(root.path + "/proc/" + entry + "/stat") << stat;
    }
    test::TempRoot root{"proc"};
};

TEST_F(FakeProc, HintIsTestedBeforeTheScan)
{
    process("12", "12 (pppd) S 1 12");
    process("34", "34 (pppd) S 1 34");
    EXPECT_EQ(find_proc_by_name("pppd", 34), 34);
    EXPECT_EQ(find_proc_by_name("pppd", 12), 12);
    int scanned = find_proc_by_name("pppd", 0);
    EXPECT_TRUE(scanned == 12 || scanned == 34);
    EXPECT_EQ(find_proc_by_name("pppd", 99), scanned);   // a hint that does not exist
}

TEST_F(FakeProc, NameRunsToTheLastParenthesis)
{
    process("5", "5 (odd) name) S 1 5 (x");
    process("6", "6 (fax) S 1 6");
    process("self", "7 (self) S 1 7");
    process("0", "0 (zero) S 0 0");
    EXPECT_EQ(find_proc_by_name("odd) name", 0), 5);
    EXPECT_EQ(find_proc_by_name("odd", 0), -1);
    EXPECT_EQ(find_proc_by_name("fa", 0), -1);   // exact match only
    EXPECT_EQ(find_proc_by_name("self", 0), -1);
    EXPECT_EQ(find_proc_by_name("zero", 0), -1);
}

TEST_F(FakeProc, OnlyTheFirst255BytesAreRead)
{
    process("8", "8 (" + std::string(300, 'a') + ") S");
    process("9", "9 (" + std::string(250, 'b') + ") S");
    EXPECT_EQ(find_proc_by_name(std::string(300, 'a').c_str(), 0), -1);
    EXPECT_EQ(find_proc_by_name(std::string(250, 'b').c_str(), 0), 9);
}

TEST(FindProc, UnknownNameOnTheRealProc)
{
    EXPECT_EQ(find_proc_by_name("no-such-stalvane-proc", 0), -1);
}

} // namespace
