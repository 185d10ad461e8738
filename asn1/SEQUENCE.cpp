#include "asn1/SEQUENCE.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "asn1/Visitor.h"

namespace ASN1 {

const std::uint32_t SEQUENCE::defaultTag[1] = {0};

// ---- BitMap ----

SEQUENCE::BitMap::BitMap(const BitMap& other)
{
    resize(other.bitsInUse_);
    std::memcpy(data(), other.data(), octets());
}

SEQUENCE::BitMap& SEQUENCE::BitMap::operator=(const BitMap& other)
{
    if (this != &other) {
        resize(other.bitsInUse_);
        std::memcpy(data(), other.data(), octets());
    }
    return *this;
}

void SEQUENCE::BitMap::swap(BitMap& other)
{
    if (!heap_ && !other.heap_) {
        unsigned char tmp[InlineOctets];
        std::memcpy(tmp, inline_, InlineOctets);
        std::memcpy(inline_, other.inline_, InlineOctets);
        std::memcpy(other.inline_, tmp, InlineOctets);
        std::swap(bitsInUse_, other.bitsInUse_);
        return;
    }
    BitMap tmp(*this);
    *this = other;
    other = tmp;
}

// Shrinking clears what it drops; growing past the storage moves the map
// to the heap.
void SEQUENCE::BitMap::resizeTo(std::uint32_t bits)
{
    const std::uint32_t oldOctets = octets();
    const std::uint32_t newOctets = static_cast<std::uint32_t>((static_cast<std::uint64_t>(bits) + 7) / 8);
    if (newOctets > capacity_) {
        boost::scoped_array<unsigned char> grown(new unsigned char[newOctets]);
        std::memcpy(grown.get(), data(), oldOctets);
        std::memset(grown.get() + oldOctets, 0, newOctets - oldOctets);
        heap_.swap(grown);
        capacity_ = newOctets;
    } else if (newOctets < oldOctets) {
        std::memset(data() + newOctets, 0, oldOctets - newOctets);
    }
    if (bits % 8 != 0)
        data()[newOctets - 1] &= static_cast<unsigned char>(0xFF00u >> (bits % 8));
    bitsInUse_ = bits;
}

bool SEQUENCE::BitMap::any() const
{
    const unsigned char* p = data();
    for (std::uint32_t i = 0; i < octets(); ++i) {
        if (p[i] != 0)
            return true;
    }
    return false;
}

// ---- FieldVector ----

SEQUENCE::FieldVector::FieldVector(std::size_t count) : size_(count)
{
    if (count > InlineFields) {
        storage_.heap_ = static_cast<AbstractData**>(Recycler::allocate(count * sizeof(AbstractData*)));
        std::fill(storage_.heap_, storage_.heap_ + count, nullptr);
    }
}

SEQUENCE::FieldVector::FieldVector(const FieldVector& other) : FieldVector(other.size_)
{
    AbstractData** mine = table();
    AbstractData* const* theirs = other.table();
    for (std::size_t i = 0; i < size_; ++i)
        mine[i] = theirs[i] ? theirs[i]->clone() : nullptr;
}

SEQUENCE::FieldVector& SEQUENCE::FieldVector::operator=(const FieldVector& other)
{
    FieldVector copy(other);
    swap(copy);
    return *this;
}

SEQUENCE::FieldVector::~FieldVector()
{
    AbstractData** values = table();
    const std::size_t count = size_;
    for (std::size_t i = 0; i < count; ++i)
        delete values[i];
    if (count > InlineFields)
        Recycler::release(values, count * sizeof(AbstractData*));
}

void SEQUENCE::FieldVector::swap(FieldVector& other)
{
    std::swap(storage_, other.storage_);
    std::swap(size_, other.size_);
}

AbstractData* SEQUENCE::FieldVector::release(std::size_t i)
{
    AbstractData* value = table()[i];
    table()[i] = nullptr;
    return value;
}

// ---- SEQUENCE ----

namespace {

AbstractData* createFrom(const AbstractData::InfoType* info)
{
    return info ? info->create(info) : nullptr;
}

} // namespace

SEQUENCE::SEQUENCE(const InfoType* info)
    : AbstractData(info), fields(info->numFields + info->knownExtensions)
{
    optionalMap.resize(info->numOptional);
    // Every slot is null yet.
    AbstractData** table = fields.table();
    const std::uint32_t numFields = info->numFields;
    const std::int32_t* ids = info->fieldIds;
    const AbstractData::InfoType* const* infos = info->fieldInfos;
    for (std::uint32_t i = 0; i < numFields; ++i) {
        if (ids[i] < 0)
            table[i] = createFrom(infos[i]);
    }
    if (info->extensionPresence != nullptr) {
        extensionMap.resize(info->knownExtensions);
        for (std::uint32_t k = 0; k < info->knownExtensions; ++k) {
            if (info->extensionPresence[k] != 0) {
                extensionMap.set(k);
                fields.reset(info->numFields + k, createFrom(info->fieldInfos[info->numFields + k]));
            }
        }
    }
}

SEQUENCE& SEQUENCE::operator=(const SEQUENCE& other)
{
    if (this != &other) {
        SEQUENCE copy(other);
        swap(copy);
    }
    return *this;
}

AbstractData* SEQUENCE::create(const AbstractData::InfoType* info)
{
    return new SEQUENCE(static_cast<const InfoType*>(info));
}

std::int32_t SEQUENCE::firstExtensionNumber() const
{
    const InfoType* desc = info();
    std::int32_t number = static_cast<std::int32_t>(desc->numOptional);
    for (std::uint32_t i = desc->numFields; i > 0; --i) {
        if (desc->fieldIds[i - 1] >= 0)
            return std::max(number, desc->fieldIds[i - 1] + 1);
    }
    return number;
}

void SEQUENCE::includeOptionalField(std::int32_t optionalNumber, std::size_t fieldIndex)
{
    if (optionalNumber < 0)
        return;
    const std::uint32_t n = static_cast<std::uint32_t>(optionalNumber);
    if (n < info()->numOptional) {
        optionalMap.set(n);
    } else {
        const std::uint32_t k = n - info()->numOptional;
        if (extensionMap.size() < k + 1)
            extensionMap.resize(k + 1);
        extensionMap.set(k);
    }
    if (fieldIndex < fields.size() && fields[fieldIndex] == nullptr)
        fields.reset(fieldIndex, createFrom(info()->fieldInfos[fieldIndex]));
}

void SEQUENCE::removeOptionalField(std::int32_t optionalNumber)
{
    if (optionalNumber < 0)
        return;
    const std::uint32_t n = static_cast<std::uint32_t>(optionalNumber);
    if (n < info()->numOptional)
        optionalMap.clear(n);
    else
        extensionMap.clear(n - info()->numOptional);
}

void SEQUENCE::swap(SEQUENCE& other)
{
    fields.swap(other.fields);
    optionalMap.swap(other.optionalMap);
    extensionMap.swap(other.extensionMap);
}

int SEQUENCE::do_compare(const AbstractData& other) const
{
    const SEQUENCE& that = *boost::polymorphic_downcast<const SEQUENCE*>(&other);
    const InfoType* desc = info();
    auto compareField = [&](std::size_t i, std::int32_t optionalNumber) {
        if (optionalNumber >= 0) {
            const bool mine = hasOptionalField(optionalNumber);
            const bool theirs = that.hasOptionalField(optionalNumber);
            if (mine != theirs)
                return mine ? 1 : -1;
            if (!mine)
                return 0;
        }
        const AbstractData* a = fields[i];
        const AbstractData* b = i < that.fields.size() ? that.fields[i] : nullptr;
        if (a == nullptr || b == nullptr)
            return a ? 1 : b ? -1 : 0;
        return a->compare(*b);
    };
    for (std::uint32_t i = 0; i < desc->numFields; ++i) {
        const int result = compareField(i, desc->fieldIds[i]);
        if (result != 0)
            return result;
    }
    for (std::uint32_t k = 0; k < desc->knownExtensions; ++k) {
        const int result = compareField(desc->numFields + k, static_cast<std::int32_t>(desc->numOptional + k));
        if (result != 0)
            return result;
    }
    return 0;
}

AbstractData* SEQUENCE::do_clone() const
{
    return new SEQUENCE(*this);
}

bool SEQUENCE::do_accept(Visitor& visitor)
{
    return visitor.do_visit(*this);
}

bool SEQUENCE::do_accept(ConstVisitor& visitor) const
{
    return visitor.visit(*this);
}

void SEQUENCE::absentField(std::size_t fieldIndex) const
{
    const char* name = fieldIndex < fields.size() ? info()->fieldNames[fieldIndex] : "?";
    std::cerr << "ASN1 ASSERTION! access to absent field \"" << name << "\"" << std::endl;
    std::abort();
}

} // namespace ASN1
