#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

#include "runtime/LogFileStreamBuf.h"
#include "runtime/Mux.h"
#include "support/LogSocket.h"

namespace {

// 2024-05-03 14:05:09.000042 UTC
const Mux::timeval At1405{1714745109, 42};

std::string contents(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct LogFileTest : ::testing::Test {
    void SetUp() override { Mux::g_tv_time = At1405; }
    void TearDown() override { Mux::g_tv_time = {0, 0}; }
    std::string file(const char* name) const { return contents(dir.path + "/" + name); }

    test::LogDir dir;
};

} // namespace

TEST_F(LogFileTest, OnePrefixPerLineAcrossSyncs)
{
    {
        LogFileStreamBuf buf(dir.path);
        std::ostream os(&buf);
        os << std::unitbuf << "a" << "b" << std::endl;
        os << std::nounitbuf << "x\ny\n" << std::flush;
        os << "a line longer than sixteen bytes" << std::endl;
        os << "lost";  // still in the put area at destruction
    }
    EXPECT_EQ(file("2024_05_03-14.log"),
              "05:09:00042: ab\n05:09:00042: x\n05:09:00042: y\n"
              "05:09:00042: a line longer than sixteen bytes\n");
}

TEST_F(LogFileTest, NewFileAtHourAndDateChangeAppendsAfterRestart)
{
    Mux::g_tv_time = {1714751999, 999999};  // 15:59:59.999999
    {
        LogFileStreamBuf buf(dir.path);
        std::ostream os(&buf);
        os << "in 15" << std::endl;
        os << "half" << std::flush;
        Mux::g_tv_time = {1714752000, 5};  // 16:00:00
        os << " line" << std::endl;  // continues the line in the hour-15 file
        os << "in 16" << std::endl;
        Mux::g_tv_time = {1714752000 + 86400, 7};  // next day, same hour
        os << "next day" << std::endl;
    }
    {
        // A restart within the hour appends.
        LogFileStreamBuf buf(dir.path);
        std::ostream os(&buf);
        os << "restarted" << std::endl;
    }
    EXPECT_EQ(file("2024_05_03-15.log"), "59:59:999999: in 15\n59:59:999999: half line\n");
    EXPECT_EQ(file("2024_05_03-16.log"), "00:00:00005: in 16\n");
    EXPECT_EQ(file("2024_05_04-16.log"), "00:00:00007: next day\n00:00:00007: restarted\n");
}

TEST_F(LogFileTest, UnopenableDirectoryFailsSilently)
{
    LogFileStreamBuf buf(dir.path + "/missing");
    std::ostream os(&buf);
    os << "nowhere" << std::endl;
    EXPECT_TRUE(os.good());
}
