#pragma once
// SEQUENCE values.
//
// Fields are owned value pointers in descriptor order (root fields, then known
// extensions); null means no value object. Optional numbers form one space:
// 0..numOptional-1 address optionalMap, numOptional + k bit k of extensionMap.
#include <cstddef>
#include <vector>

#include <boost/polymorphic_cast.hpp>
#include <boost/scoped_array.hpp>

#include "asn1/AbstractData.h"

namespace ASN1 {

class SEQUENCE : public AbstractData {
public:
    struct InfoType : AbstractData::InfoType {
        bool extendable;
        const AbstractData::InfoType* const* fieldInfos;   // root, then known extensions
        const std::int32_t* fieldIds;                       // per root field: -1 mandatory, else optional number
        std::uint32_t numFields;                            // root fields
        std::uint32_t knownExtensions;
        std::uint32_t numOptional;                          // OPTIONAL root fields
        const unsigned char* extensionPresence;             // initial extension presence, or null
        const std::uint32_t* fieldTags;                     // null, defaultTag or one tag per field
        const char* const* fieldNames;                      // root, then extensions
    };
    // fieldTags marker: every field keeps its own tag.
    static const std::uint32_t defaultTag[1];

    // Presence bits in PER order: bit i is bit 7 - i % 8 of octet i / 8.
    // Maps up to 128 bits (every map a decoder accepts) live inline. Every
    // stored bit beyond the map is 0, so growing within the storage only
    // moves the end.
    class BitMap {
    public:
        BitMap() = default;
        BitMap(const BitMap& other);
        BitMap& operator=(const BitMap& other);
        void swap(BitMap& other);

        std::uint32_t size() const { return bitsInUse_; }
        bool operator[](std::uint32_t i) const
        {
            return i < bitsInUse_ && (data()[i >> 3] & (0x80u >> (i & 7))) != 0;
        }
        void set(std::uint32_t i) { if (i < bitsInUse_) data()[i >> 3] |= static_cast<unsigned char>(0x80u >> (i & 7)); }
        void clear(std::uint32_t i) { if (i < bitsInUse_) data()[i >> 3] &= static_cast<unsigned char>(~(0x80u >> (i & 7))); }
        // Keeps existing octets, adds zero octets or drops octets.
        void resize(std::uint32_t bits)
        {
            if (bits > bitsInUse_ && bits <= capacity_ * 8)
                bitsInUse_ = bits;
            else if (bits != bitsInUse_)
                resizeTo(bits);
        }
        bool any() const;
        std::uint32_t octets() const { return (bitsInUse_ + 7) / 8; }
        unsigned char* data() { return heap_ ? heap_.get() : inline_; }
        const unsigned char* data() const { return heap_ ? heap_.get() : inline_; }

    private:
        void resizeTo(std::uint32_t bits);

        static constexpr std::uint32_t InlineOctets = 16;
        std::uint32_t bitsInUse_ = 0;
        std::uint32_t capacity_ = InlineOctets;     // octets
        unsigned char inline_[InlineOctets] = {};
        boost::scoped_array<unsigned char> heap_;
    };

    // Owned field pointers; copying clones every non-null value. Up to four
    // pointers live inline, a longer table is recycled storage.
    class FieldVector {
    public:
        FieldVector() = default;
        explicit FieldVector(std::size_t count);
        FieldVector(const FieldVector& other);
        FieldVector& operator=(const FieldVector& other);
        ~FieldVector();
        void swap(FieldVector& other);

        std::size_t size() const { return size_; }
        AbstractData* operator[](std::size_t i) const { return table()[i]; }
        // Destroys the value at i and takes ownership of value.
        void reset(std::size_t i, AbstractData* value)
        {
            AbstractData*& slot = table()[i];
            if (slot != value) {
                delete slot;
                slot = value;
            }
        }
        // Hands the value at i to the caller and leaves null.
        AbstractData* release(std::size_t i);

    private:
        friend class SEQUENCE;
        static constexpr std::size_t InlineFields = 4;
        AbstractData** table() { return size_ <= InlineFields ? storage_.inline_ : storage_.heap_; }
        AbstractData* const* table() const { return size_ <= InlineFields ? storage_.inline_ : storage_.heap_; }

        union Storage {
            AbstractData* inline_[InlineFields];
            AbstractData** heap_;
        } storage_ = {};
        std::size_t size_ = 0;
    };

    // Creates every mandatory root field, and the extension fields that
    // extensionPresence marks present.
    explicit SEQUENCE(const InfoType* info);
    SEQUENCE(const SEQUENCE& other) = default;
    // Copy, then swap; the descriptor stays.
    SEQUENCE& operator=(const SEQUENCE& other);
    static AbstractData* create(const AbstractData::InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }
    bool extendable() const { return info()->extendable; }
    std::size_t numFields() const { return info()->numFields; }
    std::size_t knownExtensions() const { return info()->knownExtensions; }
    const char* fieldName(std::size_t fieldIndex) const { return info()->fieldNames[fieldIndex]; }
    // Optional number of the first known extension: they continue from the
    // OPTIONAL root fields.
    std::int32_t firstExtensionNumber() const;

    bool hasOptionalField(std::int32_t optionalNumber) const
    {
        if (optionalNumber < 0)
            return false;
        const std::uint32_t n = static_cast<std::uint32_t>(optionalNumber);
        const std::uint32_t optional = info()->numOptional;
        return n < optional ? optionalMap[n] : extensionMap[n - optional];
    }
    // Sets the presence bit (growing extensionMap for an extension number) and
    // creates the field when it has no value object; an existing one stays.
    void includeOptionalField(std::int32_t optionalNumber, std::size_t fieldIndex);
    // Clears the presence bit only; the value object stays for a later include.
    void removeOptionalField(std::int32_t optionalNumber);

    AbstractData* getField(std::size_t fieldIndex) const { return fields[fieldIndex]; }
    void swap(SEQUENCE& other);

    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

    FieldVector fields;
    BitMap optionalMap;
    BitMap extensionMap;

protected:
    // Typed field access for generated get_/set_ accessors. A field without a
    // value object, or an OPTIONAL one (optionalNumber >= 0) that is absent,
    // is a fatal error.
    template <class T>
    T& fieldAs(std::size_t fieldIndex, std::int32_t optionalNumber = -1)
    {
        return *boost::polymorphic_downcast<T*>(checkedField(fieldIndex, optionalNumber));
    }
    template <class T>
    const T& fieldAs(std::size_t fieldIndex, std::int32_t optionalNumber = -1) const
    {
        return *boost::polymorphic_downcast<const T*>(checkedField(fieldIndex, optionalNumber));
    }

private:
    AbstractData* checkedField(std::size_t fieldIndex, std::int32_t optionalNumber) const
    {
        AbstractData* value = fieldIndex < fields.size() ? fields[fieldIndex] : nullptr;
        if (value == nullptr || (optionalNumber >= 0 && !hasOptionalField(optionalNumber)))
            absentField(fieldIndex);
        return value;
    }
    [[noreturn]] void absentField(std::size_t fieldIndex) const;
};

} // namespace ASN1
