#pragma once
// NULL values.
#include "asn1/AbstractData.h"

namespace ASN1 {

class Null : public AbstractData {
public:
    typedef AbstractData::InfoType InfoType;
    static const InfoType theInfo;

    explicit Null(const InfoType* info = &theInfo) : AbstractData(info) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

} // namespace ASN1
