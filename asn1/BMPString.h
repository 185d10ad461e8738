#pragma once
// BMPString values: a wide string (32-bit characters), coded in 16 bits each.
#include <string>

#include "asn1/AbstractData.h"

namespace ASN1 {

class BMPString : public ConstrainedObject, public std::wstring {
public:
    struct InfoType : ConstrainedObject::InfoType {     // limits apply to the length
        std::uint32_t firstChar;
        std::uint32_t lastChar;
        std::uint32_t unalignedBits;
        std::uint32_t alignedBits;
    };
    static const InfoType theInfo;

    BMPString() : ConstrainedObject(&theInfo) {}
    explicit BMPString(const InfoType* info) : ConstrainedObject(info) {}
    BMPString(const std::wstring& text, const InfoType* info = &theInfo) : ConstrainedObject(info), std::wstring(text) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    // Value comparison (std::wstring's compare stays reachable through the base).
    using AbstractData::compare;
    BMPString& operator=(const std::wstring& text) { std::wstring::operator=(text); return *this; }
    void swap(BMPString& other) { std::wstring::swap(other); }
    // Within the type's character range.
    bool legalCharacter(wchar_t c) const;
    // Index of the first character outside the range; size() when none.
    std::size_t first_illegal_at() const;
    bool isValid() const;
    bool isStrictlyValid() const;

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

} // namespace ASN1
