#pragma once
// Validity checkers. ValidChecker accepts what extensible constraints and
// extensible types allow beyond their root; StrictlyValidChecker wants every
// value within the root. A visit returns true when the value and all its
// components pass. Bounds are compared as the PER encoder compares them:
// signed when the lower bound is negative, unsigned otherwise.
#include <cstddef>
#include <cstdint>

#include "asn1/PrimitiveChecker.h"

namespace ASN1 {

class ValidChecker : public PrimitiveChecker {
public:
    using PrimitiveChecker::do_visit;
    bool do_visit(const AbstractData& value) override;     // NULL, BOOLEAN, OID, GeneralizedTime
    bool do_visit(const INTEGER& value) override;
    bool do_visit(const ENUMERATED& value) override;
    bool do_visit(const BIT_STRING& value) override;
    bool do_visit(const OCTET_STRING& value) override;
    bool do_visit(const AbstractString& value) override;
    bool do_visit(const BMPString& value) override;
    bool do_visit(const CHOICE& value) override;
    bool do_visit(const OpenData& value) override;
    bool do_visit(const SEQUENCE_OF_Base& value) override;

    bool preVisitExtensionRoots(const SEQUENCE& seq) override;
    bool visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex) override;
    bool visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex) override;
};

class StrictlyValidChecker : public ValidChecker {
public:
    using ValidChecker::do_visit;
    bool do_visit(const INTEGER& value) override;
    bool do_visit(const ENUMERATED& value) override;
    bool do_visit(const OBJECT_IDENTIFIER& value) override;
    bool do_visit(const BIT_STRING& value) override;
    bool do_visit(const OCTET_STRING& value) override;
    bool do_visit(const AbstractString& value) override;
    bool do_visit(const BMPString& value) override;
    bool do_visit(const CHOICE& value) override;
    bool do_visit(const OpenData& value) override;
    bool do_visit(const GeneralizedTime& value) override;
    bool do_visit(const SEQUENCE_OF_Base& value) override;
};

// The size rules of strings and lists: at least the lower bound; at most
// the upper bound when the constraint is fixed, or extendable and strict.
bool sizeAboveLower(const ConstrainedObject& object, std::uint32_t size);
bool sizeBelowUpper(const ConstrainedObject& object, std::uint32_t size, bool strict);
inline bool sizeValid(const ConstrainedObject& object, std::uint32_t size, bool strict)
{
    return sizeAboveLower(object, size) && sizeBelowUpper(object, size, strict);
}

// The character strings' rules: the first character the type does not
// allow (size() when none), and the size valid with every character allowed.
template <class String>
std::size_t firstIllegalAt(const String& text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!text.legalCharacter(text[i]))
            return i;
    }
    return text.size();
}

template <class String>
bool stringValid(const String& text, bool strict)
{
    return sizeValid(text, static_cast<std::uint32_t>(text.size()), strict) && text.first_illegal_at() == text.size();
}

} // namespace ASN1
