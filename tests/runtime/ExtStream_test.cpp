#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "runtime/ExtStream.h"

namespace {

TEST(OutBufInHex, UpperCasePairsEachFollowedBySpace)
{
    const unsigned char bytes[] = {0x0A, 0xFF, 0x01};
    std::ostringstream os;
    os << std::showbase << std::oct;
    const auto flags = os.flags();
    os << ext::OutBufInHex(bytes, bytes + 3) << 8;
    EXPECT_EQ(os.str(), "0A FF 01 010");   // flags restored: octal with base
    EXPECT_EQ(os.flags(), flags);
    EXPECT_EQ(os.fill(), ' ');

    std::ostringstream sized;
    const char text[] = "\x80z";
    sized << ext::OutBufInHex(text, 2);   // char may be signed on the host
    EXPECT_EQ(sized.str(), "80 7A ");

    std::ostringstream empty;
    empty << ext::OutBufInHex(bytes, bytes) << 5;
    EXPECT_EQ(empty.str(), "5");
}

TEST(OutUnsignedInHex, ZeroPaddedToWidth)
{
    std::ostringstream os;
    os << ext::OutUnsignedInHex(0x1F, 4) << ' ' << ext::OutUnsignedInHex(0xABCDE, 2) << ' ' << 10;
    EXPECT_EQ(os.str(), "0x001F 0xABCDE 10");
    os.str("");
    os << ext::OutUnsignedInHex(0xC0504D03u, 8);
    EXPECT_EQ(os.str(), "0xC0504D03");
}

struct Logged
{
    void PutHeader(std::ostream& os) const { os << "E1Ctl[" << id << "]: "; }
    int id;
};

TEST(ExtManipulators, HeaderCallsPutHeaderAndQuotedWrapsTheValue)
{
    Logged l{3};
    std::ostringstream os;
    os << ext::header(&l) << ext::quoted(std::string("eth0")) << ' ' << ext::quoted(42) << ' ' << ext::quoted("");
    EXPECT_EQ(os.str(), "E1Ctl[3]: \"eth0\" \"42\" \"\"");
}

} // namespace
