#pragma once
// OCTET STRING values: the value is the vector of octets itself.
#include <string>
#include <vector>

#include "asn1/AbstractData.h"

namespace ASN1 {

class OCTET_STRING : public ConstrainedObject, public std::vector<char> {
public:
    typedef ConstrainedObject::InfoType InfoType;
    static const InfoType theInfo;

    explicit OCTET_STRING(const InfoType* info = &theInfo) : ConstrainedObject(info) {}
    OCTET_STRING(std::size_t count, char fill, const InfoType* info = &theInfo)
        : ConstrainedObject(info), std::vector<char>(count, fill) {}
    OCTET_STRING(const std::vector<char>& octets, const InfoType* info = &theInfo)
        : ConstrainedObject(info), std::vector<char>(octets) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    using ConstrainedObject::info;
    OCTET_STRING& operator=(const std::vector<char>& octets) { std::vector<char>::operator=(octets); return *this; }
    OCTET_STRING& operator=(const std::string& octets) { assign(octets.begin(), octets.end()); return *this; }
    // Copies the octets into a narrow string.
    operator std::string() const { return std::string(begin(), end()); }
    void swap(OCTET_STRING& other) { std::vector<char>::swap(other); }

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

} // namespace ASN1
