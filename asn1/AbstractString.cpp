#include "asn1/AbstractString.h"

#include <algorithm>
#include <cstring>

#include <boost/polymorphic_cast.hpp>

#include "asn1/ValidChecker.h"
#include "asn1/Visitor.h"

namespace ASN1 {

// Sixteen consecutive codes from b on.
#define ASN1_CODES16(b)                                                                   \
    static_cast<char>(b), static_cast<char>(b + 1), static_cast<char>(b + 2), static_cast<char>(b + 3),    \
    static_cast<char>(b + 4), static_cast<char>(b + 5), static_cast<char>(b + 6), static_cast<char>(b + 7), \
    static_cast<char>(b + 8), static_cast<char>(b + 9), static_cast<char>(b + 10), static_cast<char>(b + 11), \
    static_cast<char>(b + 12), static_cast<char>(b + 13), static_cast<char>(b + 14), static_cast<char>(b + 15)

const char NumericStringSet[] = " 0123456789";
const char PrintableStringSet[] =
    " '()+,-./0123456789:=?ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const char VisibleStringSet[95] = {
    ASN1_CODES16(32), ASN1_CODES16(48), ASN1_CODES16(64), ASN1_CODES16(80), ASN1_CODES16(96),
    static_cast<char>(112), static_cast<char>(113), static_cast<char>(114), static_cast<char>(115), static_cast<char>(116),
    static_cast<char>(117), static_cast<char>(118), static_cast<char>(119), static_cast<char>(120), static_cast<char>(121),
    static_cast<char>(122), static_cast<char>(123), static_cast<char>(124), static_cast<char>(125), static_cast<char>(126)};
const char IA5StringSet[128] = {
    ASN1_CODES16(0), ASN1_CODES16(16), ASN1_CODES16(32), ASN1_CODES16(48),
    ASN1_CODES16(64), ASN1_CODES16(80), ASN1_CODES16(96), ASN1_CODES16(112)};
const char GeneralStringSet[256] = {
    ASN1_CODES16(0), ASN1_CODES16(16), ASN1_CODES16(32), ASN1_CODES16(48),
    ASN1_CODES16(64), ASN1_CODES16(80), ASN1_CODES16(96), ASN1_CODES16(112),
    ASN1_CODES16(128), ASN1_CODES16(144), ASN1_CODES16(160), ASN1_CODES16(176),
    ASN1_CODES16(192), ASN1_CODES16(208), ASN1_CODES16(224), ASN1_CODES16(240)};

#undef ASN1_CODES16

const AbstractString::InfoType IA5String::theInfo = {
    {{&IA5String::create, 22}, Unconstrained, 0, NoUpperLimit}, IA5StringSet, 128, 7, 7, 8};
const AbstractString::InfoType NumericString::theInfo = {
    {{&NumericString::create, 18}, Unconstrained, 0, NoUpperLimit}, NumericStringSet, 11, 4, 4, 4};
const AbstractString::InfoType PrintableString::theInfo = {
    {{&PrintableString::create, 19}, Unconstrained, 0, NoUpperLimit}, PrintableStringSet, 74, 7, 7, 8};
const AbstractString::InfoType VisibleString::theInfo = {
    {{&VisibleString::create, 26}, Unconstrained, 0, NoUpperLimit}, VisibleStringSet, 95, 7, 7, 8};
const AbstractString::InfoType GeneralString::theInfo = {
    {{&GeneralString::create, 27}, Unconstrained, 0, NoUpperLimit}, GeneralStringSet, 256, 8, 8, 8};

AbstractData* AbstractString::create(const AbstractData::InfoType* info)
{
    return new AbstractString(static_cast<const InfoType*>(info));
}

int AbstractString::do_compare(const AbstractData& other) const
{
    const AbstractString& that = *boost::polymorphic_downcast<const AbstractString*>(&other);
    const std::size_t common = std::min(size(), that.size());
    const int diff = std::memcmp(data(), that.data(), common);
    if (diff != 0)
        return diff;
    return size() < that.size() ? -1 : size() > that.size() ? 1 : 0;
}

AbstractData* AbstractString::do_clone() const
{
    return new AbstractString(*this);
}

bool AbstractString::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool AbstractString::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

bool AbstractString::legalCharacter(char c) const
{
    std::uint32_t index = 0;
    return info()->characterSet == nullptr || characterIndex(c, index);
}

bool AbstractString::characterIndex(char c, std::uint32_t& index) const
{
    const unsigned char* set = reinterpret_cast<const unsigned char*>(info()->characterSet);
    if (set == nullptr)
        return false;
    const unsigned char* end = set + info()->characterSetSize;
    const unsigned char code = static_cast<unsigned char>(c);
    // The set is in ascending code order.
    const unsigned char* it = std::lower_bound(set, end, code);
    if (it == end || *it != code)
        return false;
    index = static_cast<std::uint32_t>(it - set);
    return true;
}

std::size_t AbstractString::first_illegal_at() const
{
    return firstIllegalAt(*this);
}

bool AbstractString::isValid() const
{
    return stringValid(*this, false);
}

bool AbstractString::isStrictlyValid() const
{
    return stringValid(*this, true);
}

} // namespace ASN1
