#pragma once
// INTEGER values: plain, with named numbers, and the constrained instances.
//
// The value is 32 bits, read as signed or unsigned by the descriptor: a range
// constraint with a non-negative lower limit reads it as unsigned. Setters
// store without a range check; the encoder checks the limits.
#include <cstdint>
#include <string>
#include <type_traits>

#include "asn1/AbstractData.h"

namespace ASN1 {

// The bounds rule of values, coders and checkers alike: a negative lower
// bound makes the range signed, and the value is compared as signed with
// both bounds; otherwise every comparison is unsigned.
inline bool signedLimits(std::int32_t lower)
{
    return lower < 0;
}

inline bool belowLimit(std::uint32_t v, std::int32_t lower)
{
    return signedLimits(lower) ? static_cast<std::int32_t>(v) < lower : v < static_cast<std::uint32_t>(lower);
}

inline bool aboveLimit(std::uint32_t v, std::int32_t lower, std::uint32_t upper)
{
    return signedLimits(lower) ? static_cast<std::int32_t>(v) > static_cast<std::int32_t>(upper) : v > upper;
}

inline bool withinLimits(std::uint32_t v, std::uint32_t lb, std::uint32_t ub)
{
    const std::int32_t lower = static_cast<std::int32_t>(lb);
    return !belowLimit(v, lower) && !aboveLimit(v, lower, ub);
}

class INTEGER : public ConstrainedObject {
public:
    typedef ConstrainedObject::InfoType InfoType;
    // Unconstrained, limits 0 and all ones.
    static const InfoType theInfo;

    explicit INTEGER(const InfoType* info = &theInfo) : ConstrainedObject(info) {}
    INTEGER(std::int32_t value, const InfoType* info) : ConstrainedObject(info), value_(static_cast<std::uint32_t>(value)) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    std::int32_t getValue() const { return static_cast<std::int32_t>(value_); }
    std::uint32_t getUnsignedValue() const { return value_; }
    void setValue(std::int32_t value) { value_ = static_cast<std::uint32_t>(value); }
    void setUnsignedValue(std::uint32_t value) { value_ = value; }
    INTEGER& operator=(std::int32_t value) { setValue(value); return *this; }
    // The descriptor reads the value as unsigned (constrained, lower limit >= 0).
    bool isUnsigned() const { return getConstraintType() != Unconstrained && getLowerLimit() >= 0; }
    void swap(INTEGER& other);
    // Within the limits of the constraint (signed limits when the lower one
    // is negative, unsigned otherwise; a partial constraint has no upper one).
    bool isStrictValid() const { return !belowLowerLimit() && !aboveUpperLimit(); }
    bool belowLowerLimit() const;
    bool aboveUpperLimit() const;

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    std::uint32_t value_ = 0;
};

struct NameEntry {
    std::int32_t value;
    const char* name;
};

class IntegerWithNamedNumber : public INTEGER {
public:
    struct InfoType : INTEGER::InfoType {
        const NameEntry* nameEntries;   // sorted by value
        std::uint32_t entryCount;
    };

    explicit IntegerWithNamedNumber(const InfoType* info) : INTEGER(info) {}
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    // The name of the value (sorted search); false when it has none.
    bool getName(std::string& name) const;
    // Sets the value of a name (linear search); false when no entry has it.
    bool setFromName(const std::string& name);

    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;
};

// INTEGER (Lower..Upper) of the schemas. Its own class, so that a value made
// from its theInfo (decoder, clone) really is this type.
template <ConstraintType Type, std::int32_t Lower, std::uint32_t Upper>
class Constrained_INTEGER : public INTEGER {
public:
    typedef typename std::conditional<(Lower < 0), std::int32_t, std::uint32_t>::type ValueType;
    static const InfoType theInfo;

    explicit Constrained_INTEGER(const InfoType* info = &theInfo) : INTEGER(info) {}
    explicit Constrained_INTEGER(ValueType value) : INTEGER(&theInfo) { *this = value; }
    static AbstractData* create(const AbstractData::InfoType* info)
    {
        return new Constrained_INTEGER(static_cast<const InfoType*>(info));
    }

    ValueType getValue() const { return static_cast<ValueType>(getUnsignedValue()); }
    Constrained_INTEGER& operator=(ValueType value)
    {
        setUnsignedValue(static_cast<std::uint32_t>(value));
        return *this;
    }

    AbstractData* do_clone() const override { return new Constrained_INTEGER(*this); }
};

template <ConstraintType Type, std::int32_t Lower, std::uint32_t Upper>
const typename Constrained_INTEGER<Type, Lower, Upper>::InfoType Constrained_INTEGER<Type, Lower, Upper>::theInfo = {
    {&Constrained_INTEGER::create, 2}, Type, Lower, Upper};

} // namespace ASN1
