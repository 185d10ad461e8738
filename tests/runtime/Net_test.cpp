#include <gtest/gtest.h>

#include <net/if.h>
#include <unistd.h>

#include <algorithm>

#include "runtime/Net.h"

namespace {

INet4::Addr addr(const char* text)
{
    INet4::Addr a;
    a.Reset();
    a.Assign(text, nullptr);
    return a;
}

TEST(NetIfconfig, SelectorRule)
{
    struct Case
    {
        const char* name;
        const char* address;
        unsigned mode;
        bool taken;
    } cases[] = {
        {"lo", "127.0.0.1", 0, true},
        {"lo", "127.0.0.1", 1, false},
        {"LO", "127.0.0.1", 1, false},
        {"eth0", "8.8.8.8", 1, true},
        {"eth0", "169.254.3.4", 2, true},
        {"eth0", "169.255.3.4", 2, false},
        {"eth0", "10.200.1.1", 4, true},
        {"eth0", "172.16.0.1", 4, true},
        {"eth0", "172.31.255.255", 4, true},
        {"eth0", "172.32.0.1", 4, false},
        {"eth0", "172.15.0.1", 4, false},
        {"eth0", "192.168.7.1", 4, true},
        {"eth0", "192.169.7.1", 4, false},
        {"eth0", "11.0.0.1", 4, false},
        {"lo", "10.0.0.1", 1 | 4, true},   // any set bit accepts
        {"lo", "127.0.0.1", 2 | 4, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Net::ifconfig_accepts(c.name, addr(c.address), c.mode), c.taken)
            << c.name << " " << c.address << " mode " << c.mode;
}

TEST(NetIfconfig, LoopbackListedOnlyInModeZero)
{
    std::list<INet4::Addr> all;
    int n = Net::ifconfig(all, Net::ifconfig_all);
    ASSERT_GE(n, 1);
    EXPECT_EQ(static_cast<std::size_t>(n), all.size());
    INet4::Addr loopback = addr("127.0.0.1");
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [&](const INet4::Addr& a) { return a.IsEqual(loopback); }));

    std::list<INet4::Addr> others;
    EXPECT_EQ(Net::ifconfig(others, Net::ifconfig_not_loopback), n - 1);
    EXPECT_FALSE(std::any_of(others.begin(), others.end(), [&](const INet4::Addr& a) { return a.IsEqual(loopback); }));

    std::list<std::string> names;
    EXPECT_EQ(Net::ifconfig(names, Net::ifconfig_all, IFF_LOOPBACK), 1);
    EXPECT_EQ(names, std::list<std::string>{"lo"});
}

TEST(NetHostname, MatchesSystem)
{
    char name[512] = "";
    ASSERT_EQ(::gethostname(name, sizeof(name)), 0);
    EXPECT_EQ(Net::hostname(), name);
}

} // namespace
