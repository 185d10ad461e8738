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

TEST(INet4Addr, AssignTakesDottedAddressAndUncheckedPort)
{
    // The port field starts at 5060; a text without a port keeps it.
    const struct {
        const char* text;
        bool ok;
        int port;           // what Assign reports
        const char* shown;  // GetString afterwards
    } cases[] = {
        {"10.1.2.3:20001", true, 20001, "10.1.2.3:20001"},
        {"10.1.2.3", true, -1, "10.1.2.3:5060"},
        {"10.1.2.3:", true, 0, "10.1.2.3:0"},
        {"10.1.2.3:65541", true, 65541, "10.1.2.3:5"},   // cut to 16 bits
        {"10.1.2.3:80abc", true, 80, "10.1.2.3:80"},
        {"1.2.3.4:65535", true, 65535, "1.2.3.4:65535"},
        {"localhost:80", false, 80, nullptr},
        {"gateway", false, -1, nullptr},
    };
    for (const auto& c : cases) {
        INet4::Addr a = fresh();
        a.SetPort(5060);
        int port = 7;
        EXPECT_EQ(a.Assign(c.text, &port), c.ok) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
        EXPECT_EQ(a.sin_family, AF_INET) << c.text;   // never touched by Assign
        if (c.shown != nullptr) {
            EXPECT_EQ(a.GetString(), c.shown) << c.text;
        }
    }

    INet4::Addr a = fresh();
    a.SetPort(5060);
    EXPECT_TRUE(a.Assign(std::string("10.1.2.3:20001"), nullptr));
    EXPECT_EQ(a.GetPort(), 20001);
    EXPECT_EQ(a.GetVector(), bytes(10, 1, 2, 3));
    std::ostringstream os;
    os << std::hex << a;
    EXPECT_EQ(os.str(), "10.1.2.3:20001");
    EXPECT_TRUE(a.Assign("192.168.0.1", nullptr));
    EXPECT_EQ(a.GetPort(), 20001);
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
