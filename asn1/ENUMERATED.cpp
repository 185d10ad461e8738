#include "asn1/ENUMERATED.h"

#include <cstdlib>
#include <cstring>
#include <utility>

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {

std::int32_t enumEntryValue(const char* entry, std::int32_t previous)
{
    const char* equals = std::strchr(entry, '=');
    if (equals == nullptr)
        return previous + 1;
    return static_cast<std::int32_t>(std::strtol(equals + 1, nullptr, 10));
}

AbstractData* ENUMERATED::create(const AbstractData::InfoType* info)
{
    return new ENUMERATED(static_cast<const InfoType*>(info));
}

const char* ENUMERATED::getName() const
{
    std::int32_t value = -1;
    for (std::uint32_t i = 0; i < info()->namesCount; ++i) {
        value = enumEntryValue(info()->names[i], value);
        if (value == value_)
            return info()->names[i];
    }
    return nullptr;
}

bool ENUMERATED::setFromName(const std::string& name)
{
    std::int32_t value = -1;
    for (std::uint32_t i = 0; i < info()->namesCount; ++i) {
        value = enumEntryValue(info()->names[i], value);
        if (name == info()->names[i]) {
            value_ = value;
            return true;
        }
    }
    return false;
}

void ENUMERATED::swap(ENUMERATED& other)
{
    std::swap(value_, other.value_);
}

int ENUMERATED::do_compare(const AbstractData& other) const
{
    const ENUMERATED& that = *boost::polymorphic_downcast<const ENUMERATED*>(&other);
    return value_ < that.value_ ? -1 : value_ > that.value_ ? 1 : 0;
}

AbstractData* ENUMERATED::do_clone() const
{
    return new ENUMERATED(*this);
}

bool ENUMERATED::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool ENUMERATED::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
