#include "asn1/PrimitiveChecker.h"

#include "asn1/ASN1.h"

namespace ASN1 {

bool PrimitiveChecker::do_visit(const CHOICE& value)
{
    return value.choice == nullptr || value.choice->accept(*this);
}

bool PrimitiveChecker::do_visit(const OpenData& value)
{
    // Raw octets alone are primitive.
    return !value.has_data() || value.data->accept(*this);
}

bool PrimitiveChecker::do_visit(const SEQUENCE_OF_Base&)
{
    return false;
}

bool PrimitiveChecker::preVisitExtensionRoots(const SEQUENCE&)
{
    return false;
}

bool isPrimitive(const AbstractData& value)
{
    PrimitiveChecker checker;
    return value.accept(checker);
}

} // namespace ASN1
