#pragma once
// BER lengths and tags.
//
// A tag word holds the class in bits 23..22 (universal 0, application 1,
// context-specific 2, private 3) and the number in bits 15..0; a
// descriptor's tag is the value's own tag, 0 for an untagged CHOICE.
// Components are tagged automatically: field i of a SEQUENCE and alternative
// i of a CHOICE carry the context-specific tag [i], which replaces the
// component's own tag, unless the descriptor has a tag table.
#include <cstdint>
#include <vector>

#include "asn1/Visitor.h"

namespace ASN1 {

// A component keeps its own tag.
const std::uint32_t OwnTag = 0xFFFFFFFFu;

inline std::uint32_t contextTag(std::uint32_t number)
{
    return 0x800000u | (number & 0xFFFFu);
}

// The tag of SEQUENCE field fieldIndex: OwnTag or a tag word.
std::uint32_t fieldTag(const SEQUENCE& seq, std::size_t fieldIndex);
// The tag of CHOICE alternative id.
std::uint32_t alternativeTag(const CHOICE& choice, std::int32_t id);

// Octets of the identifier of tag, and of the length octets of length.
std::uint32_t identifierLength(std::uint32_t tag);
std::uint32_t lengthLength(std::uint32_t length);
// The fewest two's complement octets (1 to 4) that keep the sign of v.
unsigned integerOctets(std::int32_t v);

// Sums the content length of a value.
class DataLengthCounter : public ConstVisitor {
public:
    std::uint32_t length() const { return length_; }

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

private:
    void add(std::uint32_t n) { length_ += n; }
    std::uint32_t length_ = 0;
};

// The content length of a value.
std::uint32_t getDataLength(const AbstractData& value);
// Identifier, length octets and contents of a value written with tag
// (OwnTag: its own); the content length alone for an untagged CHOICE.
std::uint32_t getObjectLength(const AbstractData& value, std::uint32_t tag);

} // namespace ASN1
