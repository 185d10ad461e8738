#include "asn1/INTEGER.h"

#include <algorithm>
#include <utility>

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {

const INTEGER::InfoType INTEGER::theInfo = {{&INTEGER::create, 2}, Unconstrained, 0, NoUpperLimit};

AbstractData* INTEGER::create(const AbstractData::InfoType* info)
{
    return new INTEGER(static_cast<const InfoType*>(info));
}

void INTEGER::swap(INTEGER& other)
{
    std::swap(value_, other.value_);
}

bool INTEGER::belowLowerLimit() const
{
    return constrained() && belowLimit(value_, getLowerLimit());
}

bool INTEGER::aboveUpperLimit() const
{
    if (getConstraintType() != FixedConstraint && getConstraintType() != ExtendableConstraint)
        return false;
    return aboveLimit(value_, getLowerLimit(), getUpperLimit());
}

int INTEGER::do_compare(const AbstractData& other) const
{
    const INTEGER& that = *boost::polymorphic_downcast<const INTEGER*>(&other);
    if (isUnsigned())
        return value_ < that.value_ ? -1 : value_ > that.value_ ? 1 : 0;
    return getValue() < that.getValue() ? -1 : getValue() > that.getValue() ? 1 : 0;
}

AbstractData* INTEGER::do_clone() const
{
    return new INTEGER(*this);
}

bool INTEGER::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool INTEGER::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

AbstractData* IntegerWithNamedNumber::create(const AbstractData::InfoType* info)
{
    return new IntegerWithNamedNumber(static_cast<const InfoType*>(info));
}

bool IntegerWithNamedNumber::getName(std::string& name) const
{
    const NameEntry* first = info()->nameEntries;
    const NameEntry* last = first + info()->entryCount;
    const std::int32_t value = getValue();
    const NameEntry* it = std::lower_bound(first, last, value,
                                           [](const NameEntry& e, std::int32_t v) { return e.value < v; });
    if (it == last || it->value != value)
        return false;
    name = it->name;
    return true;
}

bool IntegerWithNamedNumber::setFromName(const std::string& name)
{
    for (std::uint32_t i = 0; i < info()->entryCount; ++i) {
        if (name == info()->nameEntries[i].name) {
            setValue(info()->nameEntries[i].value);
            return true;
        }
    }
    return false;
}

AbstractData* IntegerWithNamedNumber::do_clone() const
{
    return new IntegerWithNamedNumber(*this);
}

bool IntegerWithNamedNumber::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool IntegerWithNamedNumber::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
