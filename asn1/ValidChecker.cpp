#include "asn1/ValidChecker.h"

#include "asn1/ASN1.h"

namespace ASN1 {

bool sizeAboveLower(const ConstrainedObject& object, std::uint32_t size)
{
    return !object.constrained() || size >= static_cast<std::uint32_t>(object.getLowerLimit());
}

bool sizeBelowUpper(const ConstrainedObject& object, std::uint32_t size, bool strict)
{
    const ConstraintType type = object.getConstraintType();
    if (type != FixedConstraint && !(strict && type == ExtendableConstraint))
        return true;
    return size <= object.getUpperLimit();
}

// ---- ValidChecker ----

bool ValidChecker::do_visit(const AbstractData&)
{
    return true;
}

bool ValidChecker::do_visit(const INTEGER& value)
{
    return value.isStrictValid() || value.extendable();
}

bool ValidChecker::do_visit(const ENUMERATED& value)
{
    // The encoder codes no negative value, not even as an extension.
    return value.isStrictlyValid() || (value.extendable() && value.getValue() >= 0);
}

bool ValidChecker::do_visit(const BIT_STRING& value)
{
    return sizeValid(value, value.size(), false);
}

bool ValidChecker::do_visit(const OCTET_STRING& value)
{
    return sizeValid(value, static_cast<std::uint32_t>(value.size()), false);
}

bool ValidChecker::do_visit(const AbstractString& value)
{
    return value.isValid();
}

bool ValidChecker::do_visit(const BMPString& value)
{
    return value.isValid();
}

bool ValidChecker::do_visit(const CHOICE& value)
{
    return value.isValid();
}

bool ValidChecker::do_visit(const OpenData& value)
{
    return value.isValid();
}

bool ValidChecker::do_visit(const SEQUENCE_OF_Base& value)
{
    return value.isValid();
}

bool ValidChecker::preVisitExtensionRoots(const SEQUENCE&)
{
    return true;
}

bool ValidChecker::visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex)
{
    const AbstractData* field = seq.getField(fieldIndex);
    return field != nullptr && field->accept(*this);
}

bool ValidChecker::visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex)
{
    return visitExtensionRoot(seq, fieldIndex);
}

// ---- StrictlyValidChecker ----

bool StrictlyValidChecker::do_visit(const INTEGER& value)
{
    return value.isStrictValid();
}

bool StrictlyValidChecker::do_visit(const ENUMERATED& value)
{
    return value.isStrictlyValid();
}

bool StrictlyValidChecker::do_visit(const OBJECT_IDENTIFIER& value)
{
    return value.levels() != 0;
}

bool StrictlyValidChecker::do_visit(const BIT_STRING& value)
{
    return sizeValid(value, value.size(), true);
}

bool StrictlyValidChecker::do_visit(const OCTET_STRING& value)
{
    return sizeValid(value, static_cast<std::uint32_t>(value.size()), true);
}

bool StrictlyValidChecker::do_visit(const AbstractString& value)
{
    return value.isStrictlyValid();
}

bool StrictlyValidChecker::do_visit(const BMPString& value)
{
    return value.isStrictlyValid();
}

bool StrictlyValidChecker::do_visit(const CHOICE& value)
{
    return value.isStrictlyValid();
}

bool StrictlyValidChecker::do_visit(const OpenData& value)
{
    return value.isStrictlyValid();
}

bool StrictlyValidChecker::do_visit(const GeneralizedTime& value)
{
    return value.isStrictlyValid();
}

bool StrictlyValidChecker::do_visit(const SEQUENCE_OF_Base& value)
{
    return value.isStrictlyValid();
}

} // namespace ASN1
