#pragma once
// BIT STRING values: bit 0 is the most significant bit of octet 0.
#include <vector>

#include "asn1/AbstractData.h"

namespace ASN1 {

class BIT_STRING : public ConstrainedObject {
public:
    typedef ConstrainedObject::InfoType InfoType;
    static const InfoType theInfo;

    explicit BIT_STRING(const InfoType* info = &theInfo) : ConstrainedObject(info) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    std::uint32_t size() const { return totalBits; }
    // Keeps the existing octets; new bits are 0.
    void resize(std::uint32_t bits);
    bool operator[](std::uint32_t bit) const;
    void set(std::uint32_t bit);
    void clear(std::uint32_t bit);
    void swap(BIT_STRING& other);

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

    std::uint32_t totalBits = 0;
    std::vector<char> bitData;      // (totalBits + 7) / 8 octets
};

} // namespace ASN1
