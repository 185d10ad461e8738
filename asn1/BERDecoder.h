#pragma once
// BER decoder: reads one value from [begin, end) into an existing value,
// creating components from their descriptors. Definite lengths (the
// indefinite length octet reads as length 0); every read is checked against
// the end of the input and of the enclosing contents.
#include <cstdint>
#include <vector>

#include "asn1/Visitor.h"

namespace ASN1 {

class CoderEnv;

class BERDecoder : public Visitor {
public:
    struct Header {
        std::uint32_t tag;      // class in bits 23..22, number in bits 15..0
        bool constructed;
        std::uint32_t length;   // content octets
    };

    BERDecoder(const char* begin, const char* end, CoderEnv* env) : env(env), position(begin), endPosition(end) {}

    // Reads a header whose contents fit the enclosing contents.
    bool decodeHeader(Header& header);
    // The next header without moving.
    bool peekHeader(Header& header);
    const char* getPosition() const { return position; }

    bool do_visit(Null& value) override;
    bool do_visit(BOOLEAN& value) override;
    bool do_visit(INTEGER& value) override;
    bool do_visit(ENUMERATED& value) override;
    bool do_visit(OBJECT_IDENTIFIER& value) override;
    bool do_visit(OCTET_STRING& value) override;
    bool do_visit(BIT_STRING& value) override;
    bool do_visit(AbstractString& value) override;
    bool do_visit(BMPString& value) override;
    bool do_visit(CHOICE& value) override;
    bool do_visit(SEQUENCE_OF_Base& value) override;
    bool do_visit(OpenData& value) override;
    bool do_revisit(OpenData& value) override;
    bool do_visit(TypeConstrainedOpenData& value) override;
    bool do_visit(GeneralizedTime& value) override;

    VisitSeqResult preVisitExtensionRoots(SEQUENCE& seq) override;
    VisitSeqResult visitExtensionRoot(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber) override;
    VisitSeqResult preVisitExtensions(SEQUENCE& seq) override;
    VisitSeqResult visitKnownExtension(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber) override;
    bool visitUnknownExtensions(SEQUENCE& seq) override;

private:
    // The end of the contents being read: the innermost SEQUENCE's, else the input's.
    const char* limit() const { return ends.empty() ? endPosition : ends.back(); }
    // The value's header: its own tag unless a component tag was matched.
    bool valueHeader(const AbstractData& value, Header& header);
    // The contents of a primitive value: their start, and the position moved past them.
    bool contents(const AbstractData& value, const char*& start, std::uint32_t& length);
    // The contents taken as the value's octets.
    template <class Text>
    bool assignContents(Text& value);
    bool decodeSigned(const AbstractData& value, std::uint32_t& out);
    // One SEQUENCE field whose tag may come next.
    VisitSeqResult field(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber);

    CoderEnv* env;
    const char* position;
    const char* endPosition;
    std::vector<const char*> ends;      // contents' ends of the SEQUENCEs being read
    unsigned waiveTagCheck = 0;         // 1: the next value's tag has been matched
};

} // namespace ASN1
