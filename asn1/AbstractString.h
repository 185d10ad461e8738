#pragma once
// Character strings: the value is the narrow string itself; the descriptor
// names the character set and the bits per character.
//
// A module's own string type (for example IA5String (SIZE(1..64))) is only a
// descriptor used with the class of its kind:
//   const ASN1::AbstractString::InfoType Name_theInfo = {
//       {{&ASN1::IA5String::create, 22}, ASN1::FixedConstraint, 1, 64},
//       ASN1::IA5StringSet, 128, 7, 7, 8};
#include <string>

#include "asn1/AbstractData.h"

namespace ASN1 {

// Permitted characters in ascending code order.
extern const char NumericStringSet[];       // space and digits, 11
extern const char PrintableStringSet[];     // 74
extern const char VisibleStringSet[];       // codes 32-126, 95
extern const char IA5StringSet[];           // codes 0-127, 128
extern const char GeneralStringSet[];       // codes 0-255, 256

class AbstractString : public ConstrainedObject, public std::string {
public:
    struct InfoType : ConstrainedObject::InfoType {     // limits apply to the length
        const char* characterSet;
        std::uint32_t characterSetSize;
        std::uint32_t canonicalBits;
        std::uint32_t unalignedBits;
        std::uint32_t alignedBits;
    };

    explicit AbstractString(const InfoType* info) : ConstrainedObject(info) {}
    AbstractString(const InfoType* info, const std::string& text) : ConstrainedObject(info), std::string(text) {}
    AbstractString(const InfoType* info, const char* text) : ConstrainedObject(info), std::string(text) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    // Value comparison (std::string's compare stays reachable through the base).
    using AbstractData::compare;
    AbstractString& operator=(const std::string& text) { std::string::operator=(text); return *this; }
    AbstractString& operator=(const char* text) { std::string::operator=(text); return *this; }
    void swap(AbstractString& other) { std::string::swap(other); }
    // In the type's character set (every character when it has none).
    bool legalCharacter(char c) const;
    // The place of c in the type's character set; false when the set does
    // not hold it (or there is none).
    bool characterIndex(char c, std::uint32_t& index) const;
    // Index of the first character outside the set; size() when none.
    std::size_t first_illegal_at() const;
    bool isValid() const;
    bool isStrictlyValid() const;

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

// One class per known string kind, so that a value made from its theInfo is
// of that class. All use AbstractString's coding and printing.
#define ASN1_KNOWN_STRING(Name)                                                          \
    class Name : public AbstractString {                                                 \
    public:                                                                              \
        static const InfoType theInfo;                                                   \
        explicit Name(const InfoType* info = &theInfo) : AbstractString(info) {}         \
        explicit Name(const std::string& text, const InfoType* info = &theInfo)          \
            : AbstractString(info, text) {}                                              \
        explicit Name(const char* text, const InfoType* info = &theInfo)                 \
            : AbstractString(info, text) {}                                              \
        static AbstractData* create(const AbstractData::InfoType* info)                  \
        {                                                                                \
            return new Name(static_cast<const InfoType*>(info));                         \
        }                                                                                \
        Name& operator=(const std::string& text) { std::string::operator=(text); return *this; } \
        Name& operator=(const char* text) { std::string::operator=(text); return *this; } \
        AbstractData* do_clone() const override { return new Name(*this); }             \
    }

ASN1_KNOWN_STRING(IA5String);
ASN1_KNOWN_STRING(NumericString);
ASN1_KNOWN_STRING(PrintableString);
ASN1_KNOWN_STRING(VisibleString);
ASN1_KNOWN_STRING(GeneralString);

#undef ASN1_KNOWN_STRING

} // namespace ASN1
