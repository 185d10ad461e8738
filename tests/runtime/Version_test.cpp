#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "runtime/Profile.h"
#include "runtime/TraceBlock.h"
#include "runtime/Version.h"
#include "runtime/Mux.h"

namespace {

TEST(Version, CurrentIsTheBuildSnapshot)
{
    const Version& v = Version::current;
    std::ostringstream os;
    os << v;
    EXPECT_EQ(os.str(), Version::build::tag);
    EXPECT_EQ(v.get_type(), Version::snapshot);
    EXPECT_EQ(v.get_number(), 0);
    EXPECT_STREQ(v.get_first(), "");
    EXPECT_STREQ(v.get_user(), Version::build::user);
    EXPECT_TRUE(std::regex_match(v.get_date(), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}")))
        << v.get_date();
    EXPECT_EQ(std::string(Version::build::date).compare(0, 16, v.get_date()), 0);
#if defined(__powerpc__)
    EXPECT_STREQ(v.get_arch(), "ppc");
#endif
}

TEST(Version, TypeNamesAndSuffixes)
{
    const char* names[] = {"snapshot", "test", "release", "unit-test"};
    const char* suffixes[] = {"S", "T", "R", "T"};
    for (int t = 0; t < 4; ++t) {
        EXPECT_STREQ(version_string(Version::Type(t)), names[t]);
        EXPECT_STREQ(version_suffix(Version::Type(t)), suffixes[t]);
    }
    EXPECT_STREQ(version_string(Version::Type(7)), "unknown");
    EXPECT_STREQ(version_suffix(Version::Type(7)), "U");
    std::ostringstream os;
    os << Version::release << ' ' << Version::Type(-1);
    EXPECT_EQ(os.str(), "release unknown");
}

TEST(TraceBlock, EnabledBracketsTheScope)
{
    std::ostringstream os;
    {
        Trace::Block b(true, "Slots::OnCommand", os);
        os << "work\n";
    }
    {
        Trace::Block b(false, "quiet", os);
    }
    EXPECT_EQ(os.str(), "Enter Slots::OnCommand\nwork\nLeave Slots::OnCommand\n");
}

struct ProfileClock : ::testing::Test
{
    ~ProfileClock() override { Mux::g_tv_time = {0, 0}; }
};

TEST_F(ProfileClock, StatisticsAndDumpNewestFirst)
{
    Profile::Point older("Control::Service::Send [1]");
    std::ostringstream os;
    {
        Profile::Point p("Tpkt_protocol::message");
        Mux::g_tv_time = {100, 0};
        p.begin();
        Mux::g_tv_time = {100, 5};
        p.end();
        p.begin();
        Mux::g_tv_time = {100, 8};
        p.end();
        os << std::hex;
        Profile::dump(os);
    }
    Profile::dump(os);   // the destroyed point is gone
    EXPECT_EQ(os.str(),
              "[Tpkt_protocol::message]: min=3 max=5 avg=3 counter=2\n"
              "[Control::Service::Send [1]]: min=0 max=0 avg=0 counter=0\n"
              "[Control::Service::Send [1]]: min=0 max=0 avg=0 counter=0\n");
}

} // namespace
