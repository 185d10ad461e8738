#pragma once
// BER encoder (X.690, definite lengths only): appends the encoding of one
// value to an octet vector. Fails on a CHOICE with nothing (or an unknown
// alternative) selected and on an open type without content.
#include <cstdint>
#include <vector>

#include "asn1/DataLengthCounter.h"

namespace ASN1 {

class BEREncoder : public ConstVisitor {
public:
    explicit BEREncoder(std::vector<char>& out) : out(out) {}

    using ConstVisitor::do_visit;
    bool do_visit(const Null& value) override;
    bool do_visit(const BOOLEAN& value) override;
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

    bool preVisitExtensionRoots(const SEQUENCE& seq) override;
    bool visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex) override;
    bool visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex) override;

    // Identifier and length octets.
    void encodeHeader(std::uint32_t tag, bool constructed, std::uint32_t length);

private:
    // The tag of the value being written: the component tag set by its
    // container, else its own. Used up by the call.
    std::uint32_t takeTag(const AbstractData& value);
    // Header with the value's tag and content length.
    void header(const AbstractData& value, bool constructed);
    void encodeSigned(std::int32_t v);

    std::vector<char>& out;
    std::uint32_t nextTag = OwnTag;
};

} // namespace ASN1
