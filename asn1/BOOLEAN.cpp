#include "asn1/BOOLEAN.h"

#include <utility>

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {

const BOOLEAN::InfoType BOOLEAN::theInfo = {&BOOLEAN::create, 1};

AbstractData* BOOLEAN::create(const AbstractData::InfoType* info)
{
    return new BOOLEAN(info);
}

void BOOLEAN::swap(BOOLEAN& other)
{
    std::swap(value_, other.value_);
}

int BOOLEAN::do_compare(const AbstractData& other) const
{
    const BOOLEAN& that = *boost::polymorphic_downcast<const BOOLEAN*>(&other);
    return static_cast<int>(value_) - static_cast<int>(that.value_);
}

AbstractData* BOOLEAN::do_clone() const
{
    return new BOOLEAN(*this);
}

bool BOOLEAN::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool BOOLEAN::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
