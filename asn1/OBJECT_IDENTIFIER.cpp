#include "asn1/OBJECT_IDENTIFIER.h"

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {
namespace {

// One sub-identifier in base 128, continuation bit on all octets but the last.
void appendSubIdentifier(std::vector<char>& out, std::uint32_t value)
{
    unsigned char octets[5];
    int n = 0;
    do {
        octets[n++] = static_cast<unsigned char>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 0) {
        --n;
        out.push_back(static_cast<char>(octets[n] | (n > 0 ? 0x80 : 0)));
    }
}

} // namespace

const OBJECT_IDENTIFIER::InfoType OBJECT_IDENTIFIER::theInfo = {&OBJECT_IDENTIFIER::create, 6};

AbstractData* OBJECT_IDENTIFIER::create(const AbstractData::InfoType* info)
{
    return new OBJECT_IDENTIFIER(info);
}

bool OBJECT_IDENTIFIER::encodeCommon(std::vector<char>& out) const
{
    if (arcs.empty())
        return true;
    if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40) || arcs[1] > 0xFFFFFFFFu - arcs[0] * 40)
        return false;
    appendSubIdentifier(out, arcs[0] * 40 + arcs[1]);
    for (std::size_t i = 2; i < arcs.size(); ++i)
        appendSubIdentifier(out, arcs[i]);
    return true;
}

bool OBJECT_IDENTIFIER::decodeCommon(const char* begin, const char* end)
{
    arcs.clear();
    while (begin != end) {
        std::uint32_t value = 0;
        bool more = true;
        while (more) {
            if (begin == end || (value >> 25) != 0)
                return false;   // cut off, or more than 32 bits
            const unsigned char octet = static_cast<unsigned char>(*begin++);
            value = (value << 7) | (octet & 0x7F);
            more = (octet & 0x80) != 0;
        }
        if (arcs.empty()) {
            const std::uint32_t first = value < 40 ? 0 : value < 80 ? 1 : 2;
            arcs.push_back(first);
            arcs.push_back(value - first * 40);
        } else {
            arcs.push_back(value);
        }
    }
    return true;
}

int OBJECT_IDENTIFIER::do_compare(const AbstractData& other) const
{
    const OBJECT_IDENTIFIER& that = *boost::polymorphic_downcast<const OBJECT_IDENTIFIER*>(&other);
    for (std::size_t i = 0; i < arcs.size() && i < that.arcs.size(); ++i) {
        if (arcs[i] != that.arcs[i])
            return arcs[i] < that.arcs[i] ? -1 : 1;
    }
    return arcs.size() < that.arcs.size() ? -1 : arcs.size() > that.arcs.size() ? 1 : 0;
}

AbstractData* OBJECT_IDENTIFIER::do_clone() const
{
    return new OBJECT_IDENTIFIER(*this);
}

bool OBJECT_IDENTIFIER::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool OBJECT_IDENTIFIER::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
