#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "runtime/INet4Addr.h"

namespace {

// The address field's bytes as they lie in memory (network order).
std::vector<char> bytes(unsigned char a, unsigned char b, unsigned char c, unsigned char d)
{
    return {static_cast<char>(a), static_cast<char>(b), static_cast<char>(c), static_cast<char>(d)};
}

INet4::Addr fresh()
{
    INet4::Addr a;
    a.Reset();
    return a;
}

TEST(INet4Addr, ResetLeavesFamilyOnly)
{
    INet4::Addr a;
    std::memset(&a, 0xA5, sizeof(a));
    a.Reset();
    EXPECT_EQ(a.sin_family, AF_INET);
    EXPECT_EQ(a.sin_port, 0);
    EXPECT_EQ(a.sin_addr.s_addr, 0u);
    for (unsigned char z : a.sin_zero)
        EXPECT_EQ(z, 0);
}

TEST(INet4Addr, AddressWithPort)
{
    INet4::Addr a = fresh();
    int port = 0;
    EXPECT_TRUE(a.Assign("10.1.2.3:20001", &port));
    EXPECT_EQ(port, 20001);
    EXPECT_EQ(a.GetPort(), 20001);
    EXPECT_EQ(a.GetVector(), bytes(10, 1, 2, 3));
    EXPECT_EQ(a.GetString(), "10.1.2.3:20001");
    std::ostringstream os;
    os << std::hex << a;
    EXPECT_EQ(os.str(), "10.1.2.3:20001");
}

TEST(INet4Addr, AddressWithoutPortKeepsThePortField)
{
    INet4::Addr a = fresh();
    a.SetPort(5060);
    int port = 0;
    EXPECT_TRUE(a.Assign(std::string("10.1.2.3"), &port));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(a.GetString(), "10.1.2.3:5060");
    EXPECT_TRUE(a.Assign("192.168.0.1", nullptr));
    EXPECT_EQ(a.GetPort(), 5060);
}

TEST(INet4Addr, PortIsNotValidated)
{
    INet4::Addr a = fresh();
    int port = 7;
    EXPECT_TRUE(a.Assign("10.1.2.3:", &port));
    EXPECT_EQ(port, 0);
    EXPECT_EQ(a.GetPort(), 0);
    EXPECT_TRUE(a.Assign("10.1.2.3:65541", &port));
    EXPECT_EQ(port, 65541);
    EXPECT_EQ(a.GetPort(), 5);
    EXPECT_TRUE(a.Assign("10.1.2.3:80abc", &port));
    EXPECT_EQ(a.GetPort(), 80);
    EXPECT_EQ(a.GetString(), "10.1.2.3:80");
    EXPECT_TRUE(a.Assign("1.2.3.4:65535", nullptr));
    EXPECT_EQ(a.GetString(), "1.2.3.4:65535");
}

TEST(INet4Addr, HostNamesDoNotParse)
{
    INet4::Addr a = fresh();
    int port = 0;
    EXPECT_FALSE(a.Assign("localhost:80", &port));
    EXPECT_EQ(port, 80);
    EXPECT_FALSE(a.Assign("gateway", &port));
    EXPECT_EQ(port, -1);
    EXPECT_EQ(a.sin_family, AF_INET);   // never touched by Assign
}

TEST(INet4Addr, EqualityIgnoresFamily)
{
    INet4::Addr a = fresh(), b = fresh();
    a.Assign("10.0.0.1:1", nullptr);
    b.Assign("10.0.0.1:1", nullptr);
    b.sin_family = AF_UNIX;
    EXPECT_TRUE(a.IsEqual(b));
    b.SetPort(2);
    EXPECT_FALSE(a.IsEqual(b));
    b.SetPort(1);
    b.Assign("10.0.0.2", nullptr);
    EXPECT_FALSE(a.IsEqual(b));

    INet4::Addr c = fresh();
    c.Assign(a.sin_addr.s_addr);   // already in network order
    c.SetPort(1);
    EXPECT_TRUE(a.IsEqual(c));
}

} // namespace
