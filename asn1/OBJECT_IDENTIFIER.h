#pragma once
// OBJECT IDENTIFIER values and their X.690 content octets.
#include <vector>

#include "asn1/AbstractData.h"

namespace ASN1 {

class OBJECT_IDENTIFIER : public AbstractData {
public:
    typedef AbstractData::InfoType InfoType;
    static const InfoType theInfo;

    explicit OBJECT_IDENTIFIER(const InfoType* info = &theInfo) : AbstractData(info) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    std::size_t levels() const { return arcs.size(); }
    std::uint32_t operator[](std::size_t i) const { return arcs[i]; }
    void append(std::uint32_t arc) { arcs.push_back(arc); }
    void swap(OBJECT_IDENTIFIER& other) { arcs.swap(other.arcs); }

    // Appends the content octets (none for no arc). False, with nothing
    // appended, for arcs that no content octets read back as: a single arc,
    // a first arc above 2, a second arc of 40 or more under a first of 0 or
    // 1, or a first sub-identifier (40 times the first arc plus the second)
    // beyond 32 bits.
    bool encodeCommon(std::vector<char>& out) const;
    // Replaces the arcs from content octets; false for a cut-off sub-identifier.
    bool decodeCommon(const char* begin, const char* end);

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

    std::vector<std::uint32_t> arcs;
};

} // namespace ASN1
