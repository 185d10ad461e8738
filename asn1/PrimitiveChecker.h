#pragma once
// Tells primitive from constructed values (the BER identifier's constructed
// bit): SEQUENCE, SEQUENCE OF and SET OF are constructed, a CHOICE or an open
// type is what its content value is, every other kind is primitive. A visit
// returns true for a primitive value. Also the base of the validity checkers.
#include "asn1/Visitor.h"

namespace ASN1 {

class PrimitiveChecker : public ConstVisitor {
public:
    using ConstVisitor::do_visit;
    bool do_visit(const CHOICE& value) override;
    bool do_visit(const OpenData& value) override;
    bool do_visit(const SEQUENCE_OF_Base& value) override;
    bool preVisitExtensionRoots(const SEQUENCE& seq) override;
};

// True when the value is primitive.
bool isPrimitive(const AbstractData& value);

} // namespace ASN1
