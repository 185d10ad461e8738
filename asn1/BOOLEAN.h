#pragma once
// BOOLEAN values.
#include "asn1/AbstractData.h"

namespace ASN1 {

class BOOLEAN : public AbstractData {
public:
    typedef AbstractData::InfoType InfoType;
    static const InfoType theInfo;

    explicit BOOLEAN(const InfoType* info = &theInfo) : AbstractData(info) {}
    explicit BOOLEAN(bool value, const InfoType* info = &theInfo) : AbstractData(info), value_(value) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    bool getValue() const { return value_; }
    void setValue(bool value) { value_ = value; }
    BOOLEAN& operator=(bool value) { value_ = value; return *this; }
    void swap(BOOLEAN& other);

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    bool value_ = false;
};

} // namespace ASN1
