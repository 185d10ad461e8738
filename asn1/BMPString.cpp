#include "asn1/BMPString.h"

#include <boost/polymorphic_cast.hpp>

#include "asn1/ValidChecker.h"
#include "asn1/Visitor.h"

namespace ASN1 {

const BMPString::InfoType BMPString::theInfo = {
    {{&BMPString::create, 30}, Unconstrained, 0, NoUpperLimit}, 0, 65535, 16, 16};

AbstractData* BMPString::create(const AbstractData::InfoType* info)
{
    return new BMPString(static_cast<const InfoType*>(info));
}

int BMPString::do_compare(const AbstractData& other) const
{
    const BMPString& that = *boost::polymorphic_downcast<const BMPString*>(&other);
    const std::size_t common = std::min(size(), that.size());
    for (std::size_t i = 0; i < common; ++i) {
        if ((*this)[i] != that[i])
            return (*this)[i] < that[i] ? -1 : 1;
    }
    return size() < that.size() ? -1 : size() > that.size() ? 1 : 0;
}

bool BMPString::legalCharacter(wchar_t c) const
{
    const std::uint32_t code = static_cast<std::uint32_t>(c);
    return code >= info()->firstChar && code <= info()->lastChar;
}

std::size_t BMPString::first_illegal_at() const
{
    return firstIllegalAt(*this);
}

bool BMPString::isValid() const
{
    return stringValid(*this, false);
}

bool BMPString::isStrictlyValid() const
{
    return stringValid(*this, true);
}

AbstractData* BMPString::do_clone() const
{
    return new BMPString(*this);
}

bool BMPString::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool BMPString::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
