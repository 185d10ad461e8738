#include "asn1/Null.h"

#include "asn1/Visitor.h"

namespace ASN1 {

const Null::InfoType Null::theInfo = {&Null::create, 5};

AbstractData* Null::create(const AbstractData::InfoType* info)
{
    return new Null(info);
}

int Null::do_compare(const AbstractData&) const
{
    return 0;
}

AbstractData* Null::do_clone() const
{
    return new Null(*this);
}

bool Null::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool Null::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
