#pragma once
// Base of every ASN.1 value and of every type descriptor.
//
// A value stores one pointer to its descriptor (`info`); bounds, names and
// field lists are read from there. Descriptors are constant static data:
// aggregates whose first member is AbstractData::InfoType {create, tag}.
#include <cstddef>
#include <cstdint>
#include <ios>
#include <iosfwd>
#include <string>

#include "asn1/Recycler.h"

namespace ASN1 {

class Visitor;
class ConstVisitor;

enum ConstraintType : std::uint32_t {
    Unconstrained = 0,          // limits ignored
    PartiallyConstrained = 1,   // lower limit only
    FixedConstraint = 2,        // both limits
    ExtendableConstraint = 3    // both limits and an extension marker
};

// All ones in an upper limit: no upper limit.
const std::uint32_t NoUpperLimit = 0xFFFFFFFFu;

// Largest string length (octets, characters or bits) a decoder accepts.
const std::uint32_t MaximumStringSize = 16384;
// Largest SEQUENCE OF count and extension bit map a decoder accepts.
const std::uint32_t MaximumArraySize = 128;

// Bits needed to number n values: 0 for 1, 32 for 0 (2^32 after wrap-around).
inline unsigned CountBits(std::uint32_t n)
{
    if (n == 0)
        return 32;
    const std::uint32_t top = n - 1;   // the bits of the largest number
    return top == 0 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(top));
}

// Difference of the first differing octets (as unsigned); else 0 when both end
// together, 1 when the first is longer, -1 otherwise.
int lexicographic_compare_bytes(const char* a, const char* aEnd, const char* b, const char* bEnd);

class AbstractData {
public:
    struct InfoType;
    // Value factory: a new heap value (owned by the caller) of the class the
    // descriptor belongs to, whose info is that descriptor.
    typedef AbstractData* (*CreateFun)(const InfoType* info);

    // Common head of every descriptor.
    struct InfoType {
        CreateFun create;
        std::uint32_t tag;      // class and number; only the BER coder reads it
    };

    virtual ~AbstractData() = default;

    // Values are built and destroyed for every message: their storage is
    // recycled (Recycler) rather than returned to the heap each time. Inline:
    // each class's size is a constant, so its create and destructor pick
    // their free list directly.
    static void* operator new(std::size_t size) { return Recycler::allocate(size); }
    static void operator delete(void* block, std::size_t size) noexcept { Recycler::release(block, size); }

    const InfoType* info() const { return info_; }

    int compare(const AbstractData& other) const { return do_compare(other); }
    AbstractData* clone() const { return do_clone(); }
    bool accept(Visitor& visitor) { return do_accept(visitor); }
    bool accept(ConstVisitor& visitor) const { return do_accept(visitor); }

    // Value notation (AVNEncoder): 0 on success, failbit when printing stopped.
    std::ios_base::iostate print_on(std::ostream& strm) const;
    // The printed text, also the partial text when printing stopped.
    std::string asValueNotation() const;
    // The value satisfies its constraints; extensible constraints and types
    // accept values beyond their root (ValidChecker).
    bool isValid() const;
    // Everything lies within the root (StrictlyValidChecker).
    bool isStrictlyValid() const;
    // Reads value notation (AVNDecoder) into this value: 0 on success,
    // failbit otherwise; a value partly read keeps what was read.
    std::ios_base::iostate get_from(std::istream& strm);
    // Reads the whole text (blanks may follow the value); true on success.
    bool setFromValueNotation(const std::string& text);

    // Three-way comparison with a value of the same type.
    virtual int do_compare(const AbstractData& other) const = 0;
    // A new heap object of the same class with a deep copy and the same info.
    virtual AbstractData* do_clone() const = 0;
    virtual bool do_accept(Visitor& visitor) = 0;
    virtual bool do_accept(ConstVisitor& visitor) const = 0;

protected:
    explicit AbstractData(const InfoType* info) : info_(info) {}
    AbstractData(const AbstractData&) = default;
    // Assignment never changes the descriptor.
    AbstractData& operator=(const AbstractData&) { return *this; }

private:
    const InfoType* info_;
};

// Value notation of the value; failbit on the stream when it cannot be printed.
std::ostream& operator<<(std::ostream& strm, const AbstractData& value);
// Reads value notation into value; failbit on the stream when it does not fit.
std::istream& operator>>(std::istream& strm, AbstractData& value);

// Base of every kind whose descriptor carries a constraint: INTEGER,
// BIT_STRING, OCTET_STRING, the character strings, BMPString, SEQUENCE OF.
class ConstrainedObject : public AbstractData {
public:
    struct InfoType : AbstractData::InfoType {
        ConstraintType type;
        std::int32_t lowerLimit;    // signed for INTEGER; sizes are never negative
        std::uint32_t upperLimit;   // NoUpperLimit: none
    };

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    ConstraintType getConstraintType() const { return info()->type; }
    std::int32_t getLowerLimit() const { return info()->lowerLimit; }
    std::uint32_t getUpperLimit() const { return info()->upperLimit; }
    bool extendable() const { return info()->type == ExtendableConstraint; }
    bool constrained() const { return info()->type != Unconstrained; }

protected:
    explicit ConstrainedObject(const InfoType* info) : AbstractData(info) {}
    ConstrainedObject(const ConstrainedObject&) = default;
    ConstrainedObject& operator=(const ConstrainedObject&) = default;
};

// Constraint of SEQUENCE_OF/SET_OF instances: unconstrained.
struct EmptyConstraint {
    static constexpr ConstraintType type = Unconstrained;
    static constexpr std::int32_t lowerLimit = 0;
    static constexpr std::uint32_t upperLimit = NoUpperLimit;
};

template <ConstraintType Type, std::int32_t Lower, std::uint32_t Upper>
struct SizeConstraint {
    static constexpr ConstraintType type = Type;
    static constexpr std::int32_t lowerLimit = Lower;
    static constexpr std::uint32_t upperLimit = Upper;
};

} // namespace ASN1
