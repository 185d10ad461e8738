#include "asn1/PEREncoder.h"

#include <algorithm>
#include <string>

#include "asn1/ASN1.h"

namespace ASN1 {
namespace {

// Octets needed for an unsigned number (1 for 0).
unsigned octetsFor(std::uint32_t v)
{
    unsigned n = 1;
    while (n < 4 && (v >> (8 * n)) != 0)
        ++n;
    return n;
}

// Known extensions the value marks, and whether any of them is present.
// Presence bits of extensions this schema does not list (kept by a decoder)
// are not written: no field would follow for them.
std::uint32_t extensionBits(const SEQUENCE& seq)
{
    return std::min<std::uint32_t>(seq.extensionMap.size(), seq.info()->knownExtensions);
}

bool hasExtensions(const SEQUENCE& seq)
{
    const std::uint32_t m = extensionBits(seq);
    for (std::uint32_t k = 0; k < m; ++k) {
        if (seq.extensionMap[k])
            return true;
    }
    return false;
}

} // namespace

// ---- bit writer ----

void PEREncoder::encodeBits(std::uint32_t value, unsigned n)
{
    if (n == 0)
        return;
    if (n < 32)
        value &= (1u << n) - 1;
    if (bitOffset != 8) {
        // The rest of the last octet takes the leading bits.
        const unsigned take = std::min(n, bitOffset);
        n -= take;
        bitOffset -= take;
        const unsigned lead = static_cast<unsigned>(value >> n) & ((1u << take) - 1);
        encodedBuffer.back() = static_cast<char>(static_cast<unsigned char>(encodedBuffer.back()) | (lead << bitOffset));
        if (bitOffset == 0)
            bitOffset = 8;
        if (n == 0)
            return;
    }
    for (; n >= 8; n -= 8)
        encodedBuffer.push_back(static_cast<char>(static_cast<unsigned char>(value >> (n - 8))));
    if (n > 0) {
        encodedBuffer.push_back(static_cast<char>(static_cast<unsigned char>(value << (8 - n))));
        bitOffset = 8 - n;
    }
}

void PEREncoder::encodeByte(unsigned octet)
{
    byteAlign();
    encodedBuffer.push_back(static_cast<char>(octet & 0xFF));
}

void PEREncoder::encodeBlock(const char* octets, std::size_t n)
{
    if (n == 0)
        return;
    byteAlign();
    encodedBuffer.insert(encodedBuffer.end(), octets, octets + n);
}

// X.691 10.5: constrained whole number.
bool PEREncoder::encodeUnsigned(std::uint32_t value, std::uint32_t lb, std::uint32_t ub)
{
    if (!withinLimits(value, lb, ub))
        return false;
    if (lb == ub)
        return true;
    const std::uint32_t range = ub - lb + 1;    // 0: the full 32-bit range
    const std::uint32_t v = value - lb;
    if (range != 0 && range <= 255) {
        encodeMultiBit(v, CountBits(range));
    } else if (range == 256) {
        encodeByte(v);
    } else if (range != 0 && range <= 65536) {
        byteAlign();
        encodeMultiBit(v, 16);
    } else {
        const unsigned maxOctets = (CountBits(range) + 7) / 8;
        const unsigned octets = octetsFor(v);
        if (!encodeLength(octets, 1, maxOctets))
            return false;
        byteAlign();
        encodeMultiBit(v, octets * 8);
    }
    return true;
}

// X.691 10.9, without the fragmented form.
bool PEREncoder::encodeLength(std::uint32_t len, std::uint32_t lb, std::uint32_t ub)
{
    if (len < lb || len > ub)
        return false;
    if (ub <= 65535)
        return encodeUnsigned(len, lb, ub);
    if (len >= 16384)
        return false;
    byteAlign();
    if (len < 128) {
        encodeMultiBit(len, 8);
    } else {
        encodeMultiBit(0x8000 | len, 16);
    }
    return true;
}

// X.691 10.6: normally small non-negative whole number.
void PEREncoder::encodeSmallUnsigned(std::uint32_t n)
{
    if (n <= 63) {
        encodeSingleBit(false);
        encodeMultiBit(n, 6);
        return;
    }
    encodeSingleBit(true);
    const unsigned octets = octetsFor(n);
    encodeLength(octets, 0, NoUpperLimit);
    byteAlign();
    encodeMultiBit(n, octets * 8);
}

bool PEREncoder::encodeConstraint(const ConstrainedObject& object, std::uint32_t value)
{
    switch (object.getConstraintType()) {
    case ExtendableConstraint: {
        const bool outside = !withinLimits(value, static_cast<std::uint32_t>(object.getLowerLimit()), object.getUpperLimit());
        encodeSingleBit(outside);
        return outside;
    }
    case FixedConstraint:
        return false;
    default:
        return true;
    }
}

bool PEREncoder::encodeConstrainedLength(const ConstrainedObject& object, std::uint32_t len)
{
    if (encodeConstraint(object, len))
        return encodeLength(len, 0, NoUpperLimit);
    return encodeLength(len, static_cast<std::uint32_t>(object.getLowerLimit()), object.getUpperLimit());
}

void PEREncoder::encodeBitMap(const unsigned char* bits, std::uint32_t m)
{
    std::uint32_t i = 0;
    for (; m >= 8; m -= 8, ++i)
        encodeMultiBit(bits[i], 8);
    if (m > 0)
        encodeMultiBit(static_cast<std::uint32_t>(bits[i]) >> (8 - m), m);
}

// X.691 10.2: open type field.
bool PEREncoder::encodeAnyType(const AbstractData* value)
{
    std::vector<char> octets;
    octets.reserve(256);
    if (value != nullptr) {
        PEREncoder nested(octets, alignedFlag);
        if (!value->accept(nested))
            return false;
    }
    if (octets.empty())
        octets.push_back(0);
    if (!encodeLength(static_cast<std::uint32_t>(std::min<std::size_t>(octets.size(), 0xFFFFFFFFu)), 0, NoUpperLimit))
        return false;
    encodeBlock(octets.data(), octets.size());
    return true;
}

// ---- values ----

bool PEREncoder::do_visit(const Null&)
{
    return true;
}

bool PEREncoder::do_visit(const BOOLEAN& value)
{
    encodeSingleBit(value.getValue());
    return true;
}

bool PEREncoder::do_visit(const INTEGER& value)
{
    const std::uint32_t v = value.getUnsignedValue();
    if (!encodeConstraint(value, v))
        return encodeUnsigned(v, static_cast<std::uint32_t>(value.getLowerLimit()), value.getUpperLimit());
    // X.691 10.8: the fewest two's complement octets with a sign bit.
    const std::int32_t s = value.getValue();
    unsigned bits;
    if (s >= 0)
        bits = CountBits(static_cast<std::uint32_t>(s) + 1) + 1;
    else
        bits = CountBits(0u - static_cast<std::uint32_t>(s)) + 1;
    unsigned octets = s == 0 ? 1 : (bits + 7) / 8;
    // A PartiallyConstrained value is read back without sign extension: with
    // a non-negative lower limit (unsigned) one of 2^31 or more takes all four
    // octets, which read back as that number; with a negative one no octets
    // read back as a negative number.
    if (value.getConstraintType() == PartiallyConstrained && s < 0) {
        if (!value.isUnsigned())
            return false;
        octets = 4;
    }
    if (!encodeLength(octets, 0, NoUpperLimit))
        return false;
    encodeMultiBit(v, octets * 8);
    return true;
}

// Departure from X.691: coded by the declared value, not by its index.
bool PEREncoder::do_visit(const ENUMERATED& value)
{
    const std::int32_t v = value.getValue();
    if (v < 0)
        return false;
    if (value.extendable()) {
        const bool extension = v > static_cast<std::int32_t>(value.getMaximum());
        encodeSingleBit(extension);
        if (extension) {
            encodeSmallUnsigned(static_cast<std::uint32_t>(v) + 1);
            return encodeUnsigned(static_cast<std::uint32_t>(v), 0, static_cast<std::uint32_t>(v));
        }
    }
    return encodeUnsigned(static_cast<std::uint32_t>(v), 0, value.getMaximum());
}

bool PEREncoder::do_visit(const OBJECT_IDENTIFIER& value)
{
    std::vector<char> contents;
    if (!value.encodeCommon(contents) || contents.size() > 255 || !encodeLength(static_cast<std::uint32_t>(contents.size()), 0, 255))
        return false;
    encodeBlock(contents.data(), contents.size());
    return true;
}

bool PEREncoder::do_visit(const BIT_STRING& value)
{
    const std::uint32_t count = value.totalBits;
    const std::size_t octets = (static_cast<std::size_t>(count) + 7) / 8;
    if (value.bitData.size() < octets || !encodeConstrainedLength(value, count))
        return false;
    if (count == 0)
        return true;
    if (count > 16)
        encodeBlock(value.bitData.data(), octets);
    else
        encodeBitMap(reinterpret_cast<const unsigned char*>(value.bitData.data()), count);
    return true;
}

bool PEREncoder::do_visit(const OCTET_STRING& value)
{
    if (value.size() > 0xFFFFFFFFu || !encodeConstrainedLength(value, static_cast<std::uint32_t>(value.size())))
        return false;
    if (value.size() <= 2) {
        // Departure from X.691: one or two octets are never aligned.
        for (char octet : value)
            encodeMultiBit(static_cast<unsigned char>(octet), 8);
    } else {
        encodeBlock(value.data(), value.size());
    }
    return true;
}

bool PEREncoder::do_visit(const AbstractString& value)
{
    const AbstractString::InfoType* info = value.info();
    if (value.size() > 0xFFFFFFFFu || !encodeConstrainedLength(value, static_cast<std::uint32_t>(value.size())))
        return false;
    const unsigned bits = info->alignedBits;
    const bool small = info->type != Unconstrained && static_cast<std::uint64_t>(info->upperLimit) * bits <= 16;
    if (!small) {
        if (bits == 8) {
            encodeBlock(value.data(), value.size());
            return true;
        }
        byteAlign();
    }
    const bool ownCode = info->canonicalBits <= bits && info->canonicalBits > 4;
    for (char c : value) {
        std::uint32_t code = static_cast<unsigned char>(c);
        if (!ownCode && !value.characterIndex(c, code))
            return false;
        encodeMultiBit(code, bits);
    }
    return true;
}

bool PEREncoder::do_visit(const BMPString& value)
{
    const BMPString::InfoType* info = value.info();
    if (value.size() > 0xFFFFFFFFu || !encodeConstrainedLength(value, static_cast<std::uint32_t>(value.size())))
        return false;
    if (info->type == Unconstrained || static_cast<std::uint64_t>(info->upperLimit) * 16 > 16)
        byteAlign();
    for (wchar_t c : value) {
        // A character the field cannot hold would be cut to another one.
        const std::uint32_t code = static_cast<std::uint32_t>(c) - info->firstChar;
        if (info->alignedBits < 32 && (code >> info->alignedBits) != 0)
            return false;
        encodeMultiBit(code, info->alignedBits);
    }
    return true;
}

bool PEREncoder::do_visit(const GeneralizedTime& value)
{
    const std::string text = value.get();
    if (!encodeLength(static_cast<std::uint32_t>(text.size()), 0, NoUpperLimit))
        return false;
    encodeBlock(text.data(), text.size());
    return true;
}

bool PEREncoder::do_visit(const CHOICE& value)
{
    const CHOICE::InfoType* info = value.info();
    const std::int32_t id = value.choiceID;
    // Nothing selected, the invalid selection, or none of the alternatives.
    if (id < 0 || static_cast<std::uint32_t>(id) >= std::max(info->totalChoices, info->numChoices))
        return false;
    const bool extension = static_cast<std::uint32_t>(id) >= info->numChoices;
    if (extension && !info->extendable)
        return false;
    if (info->extendable)
        encodeSingleBit(extension);
    if (extension) {
        encodeSmallUnsigned(static_cast<std::uint32_t>(id) - info->numChoices);
        return encodeAnyType(value.choice);
    }
    if (info->numChoices > 1 && !encodeUnsigned(static_cast<std::uint32_t>(id), 0, info->numChoices - 1))
        return false;
    return value.choice != nullptr && value.choice->accept(*this);
}

bool PEREncoder::do_visit(const SEQUENCE_OF_Base& value)
{
    if (value.size() > 0xFFFFFFFFu || !encodeConstrainedLength(value, static_cast<std::uint32_t>(value.size())))
        return false;
    for (const AbstractData* element : value.container) {
        if (!element->accept(*this))
            return false;
    }
    return true;
}

bool PEREncoder::do_visit(const OpenData& value)
{
    return encodeAnyType(value.data.get());
}

// ---- SEQUENCE ----

bool PEREncoder::preVisitExtensionRoots(const SEQUENCE& seq)
{
    if (seq.optionalMap.size() != seq.info()->numOptional)
        return false;
    if (seq.extendable())
        encodeSingleBit(hasExtensions(seq));
    encodeBitMap(seq.optionalMap.data(), seq.optionalMap.size());
    return true;
}

bool PEREncoder::visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex)
{
    const AbstractData* field = seq.fields[fieldIndex];
    return field != nullptr && field->accept(*this);
}

bool PEREncoder::preVisitExtensions(const SEQUENCE& seq)
{
    if (!seq.extendable() || !hasExtensions(seq))
        return true;
    const std::uint32_t m = extensionBits(seq);
    encodeSmallUnsigned(m - 1);
    encodeBitMap(seq.extensionMap.data(), m);
    return true;
}

bool PEREncoder::visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex)
{
    if (!seq.extendable() || !hasExtensions(seq))
        return true;
    return encodeAnyType(seq.fields[fieldIndex]);
}

} // namespace ASN1
