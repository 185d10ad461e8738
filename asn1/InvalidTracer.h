#pragma once
// Explains why a value is not valid: one line naming the path to the first
// offending component (".pdu.signal.number", "[2]" for a list element)
// followed by the reason. A visit returns false when the value fails; the
// text is then in text().
//
// The rules are those of ValidChecker. Run on its own, the tracer also
// rejects an OBJECT IDENTIFIER without arcs and a GeneralizedTime that is not
// strictly valid, so that these can be explained too; the path of a
// constructed value leads only through components that are not valid.
#include <iosfwd>
#include <sstream>
#include <string>

#include "asn1/Visitor.h"

namespace ASN1 {

class InvalidTracer : public ConstVisitor {
public:
    std::string text() const { return strm.str(); }

    using ConstVisitor::do_visit;
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

    bool visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex) override;
    bool visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex) override;

private:
    // The size text of strings and lists; false when the size fails.
    bool traceSize(const char* what, const ConstrainedObject& object, std::uint32_t size);
    // Traces a component with a tracer of its own behind its path step.
    bool traceComponent(const AbstractData* value, const std::string& step);

    std::ostringstream strm;
};

// When the value is not valid (isValid), writes prefix and the tracer's text
// to strm; nothing for a valid value.
void trace_invalid(std::ostream& strm, const char* prefix, const AbstractData& value);

} // namespace ASN1
