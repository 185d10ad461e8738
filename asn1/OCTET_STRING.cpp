#include "asn1/OCTET_STRING.h"

#include <boost/polymorphic_cast.hpp>

#include "asn1/Visitor.h"

namespace ASN1 {

const OCTET_STRING::InfoType OCTET_STRING::theInfo = {{&OCTET_STRING::create, 4}, Unconstrained, 0, NoUpperLimit};

AbstractData* OCTET_STRING::create(const AbstractData::InfoType* info)
{
    return new OCTET_STRING(static_cast<const InfoType*>(info));
}

int OCTET_STRING::do_compare(const AbstractData& other) const
{
    const OCTET_STRING& that = *boost::polymorphic_downcast<const OCTET_STRING*>(&other);
    return lexicographic_compare_bytes(data(), data() + size(), that.data(), that.data() + that.size());
}

AbstractData* OCTET_STRING::do_clone() const
{
    return new OCTET_STRING(*this);
}

bool OCTET_STRING::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool OCTET_STRING::do_accept(ConstVisitor& visitor) const
{
    return visitor.do_visit(*this);
}

} // namespace ASN1
