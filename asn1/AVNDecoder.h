#pragma once
// Value-notation parser: reads what AVNEncoder writes into an existing value
// of the expected type, creating components from their descriptors. Every
// visit returns false at the first token that does not fit; a value partly
// read keeps what was read.
//
// A word is a run of characters up to a blank, "," or "}" (so "ptGSM=3}" is
// the name "ptGSM=3" followed by a closing brace).
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "asn1/Visitor.h"

namespace ASN1 {

// The index of text in names[0..count); false when it is not there.
bool get_id(const char* const* names, std::uint32_t count, const std::string& text, std::int32_t& id);

class AVNDecoder : public Visitor {
public:
    explicit AVNDecoder(std::istream& strm) : strm(strm) {}

    bool do_visit(Null& value) override;
    bool do_visit(BOOLEAN& value) override;
    bool do_visit(INTEGER& value) override;
    bool do_visit(IntegerWithNamedNumber& value) override;
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
    // One per SEQUENCE being read: the look-ahead word (the next field's
    // name) and whether its closing brace has been read.
    struct Frame {
        std::string word;
        bool closed;
    };

    // Skips blanks; the next character, or false at the end of the input.
    bool nextChar(char& c);
    // Skips blanks and reads c; false when the next character is another.
    bool expect(char c);
    // Skips blanks and reads a word, which alsoEnd ends too; false when it
    // would be empty.
    bool readWord(std::string& word, char alsoEnd = ',');
    // Text between apostrophes followed by the letter suffix, blanks dropped.
    bool readQuotedDigits(char suffix, std::string& digits);
    // Text between double quotes, taken as it is.
    bool readQuotedText(std::string& text);
    // After an opening brace: "}" or "element, ... }", each element read by
    // readElement(); false when one fails or the punctuation is another.
    template <class ReadElement>
    bool readElements(ReadElement readElement);
    // One field whose name is the top word: reads its value and what follows.
    VisitSeqResult readField(SEQUENCE& seq, std::size_t fieldIndex);

    std::istream& strm;
    std::vector<Frame> frames;      // innermost last
};

} // namespace ASN1
