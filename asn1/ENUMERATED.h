#pragma once
// ENUMERATED values: coded by their declared value in 0..maxEnumValue.
#include <string>

#include "asn1/AbstractData.h"

namespace ASN1 {

class ENUMERATED : public AbstractData {
public:
    struct InfoType : AbstractData::InfoType {
        bool extendable;                // the type has an extension marker
        std::uint32_t maxEnumValue;     // largest root value
        // Name table in declaration order: "name" (previous value + 1, the
        // first 0) or "name=N" (value N). Not indexed by value.
        const char* const* names;
        std::uint32_t namesCount;
    };

    explicit ENUMERATED(const InfoType* info) : AbstractData(info) {}
    ENUMERATED(const ENUMERATED&) = default;
    // Copies the value only.
    ENUMERATED& operator=(const ENUMERATED& other) { value_ = other.value_; return *this; }
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    std::int32_t getValue() const { return value_; }
    void setValue(std::int32_t value) { value_ = value; }
    std::uint32_t getMaximum() const { return info()->maxEnumValue; }
    bool extendable() const { return info()->extendable; }
    // A root value: 0..maximum (compared unsigned, as the encoder does).
    bool isStrictlyValid() const { return static_cast<std::uint32_t>(value_) <= info()->maxEnumValue; }
    // The first table entry naming the value, as the table holds it; null when none.
    const char* getName() const;
    // Sets the value an entry names, the entry given exactly as the table
    // holds it ("ptR2S=123"); false when no entry has that text.
    bool setFromName(const std::string& name);
    void swap(ENUMERATED& other);

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    std::int32_t value_ = 0;
};

// The value a name-table entry names, given the value of the entry before it
// (-1 before the first entry).
std::int32_t enumEntryValue(const char* entry, std::int32_t previous);

} // namespace ASN1
