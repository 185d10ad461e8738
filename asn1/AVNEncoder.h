#pragma once
// Value-notation printer. One printer per printed value; every visit returns
// true while the stream is good.
#include <ostream>
#include <vector>

#include "asn1/Visitor.h"

namespace ASN1 {

class AVNEncoder : public ConstVisitor {
public:
    explicit AVNEncoder(std::ostream& strm, int indent = 0) : strm(strm), indent(indent) {}

    using ConstVisitor::do_visit;
    bool do_visit(const Null& value) override;
    bool do_visit(const BOOLEAN& value) override;
    bool do_visit(const INTEGER& value) override;
    bool do_visit(const IntegerWithNamedNumber& value) override;
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

    bool preVisitExtensionRoots(const SEQUENCE& seq) override;
    bool visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex) override;
    bool preVisitExtensions(const SEQUENCE& seq) override;
    bool visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex) override;
    bool afterVisitSequence(const SEQUENCE& seq) override;

private:
    bool good() const { return !strm.fail(); }
    bool field(const SEQUENCE& seq, std::size_t fieldIndex);

    std::ostream& strm;
    int indent;
    std::vector<bool> fieldWritten;     // per SEQUENCE being printed, innermost last
};

} // namespace ASN1
