#include "asn1/PERDecoder.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "asn1/ASN1.h"

namespace ASN1 {
namespace {

// Restores the decoder's end after an open type was decoded within its length.
class EndGuard {
public:
    EndGuard(const char*& end, const char* limit) : end_(end), saved_(end) { end_ = limit; }
    ~EndGuard() { end_ = saved_; }
    EndGuard(const EndGuard&) = delete;
    EndGuard& operator=(const EndGuard&) = delete;

private:
    const char*& end_;
    const char* saved_;
};

} // namespace

// ---- failure position ----

void PERDecoder::noteFailure(const char* name)
{
    if (!failureNoted) {
        failureNoted = true;
        failureBit = static_cast<std::size_t>(beginPosition - startPosition) * 8 + (8 - bitOffset);
    }
    failureNames.push_back(name != nullptr ? name : "?");
}

std::size_t PERDecoder::failureBitOffset() const
{
    if (failureNoted)
        return failureBit;
    return static_cast<std::size_t>(beginPosition - startPosition) * 8 + (8 - bitOffset);
}

std::string PERDecoder::failurePath() const
{
    std::string path;
    for (std::size_t i = failureNames.size(); i > 0; --i) {
        if (!path.empty())
            path += '.';
        path += failureNames[i - 1];
    }
    return path;
}

// ---- bit reader ----

bool PERDecoder::decodeBits(unsigned n, std::uint32_t& out)
{
    if (n > 32 || getBitsLeft() < n)
        return false;
    std::uint64_t value = 0;
    while (n > 0) {
        const unsigned take = std::min(n, bitOffset);
        const unsigned octet = static_cast<unsigned char>(*beginPosition);
        value = (value << take) | ((octet >> (bitOffset - take)) & ((1u << take) - 1));
        bitOffset -= take;
        n -= take;
        if (bitOffset == 0) {
            ++beginPosition;
            bitOffset = 8;
        }
    }
    out = static_cast<std::uint32_t>(value);
    return true;
}

void PERDecoder::byteAlign()
{
    if (bitOffset != 8) {
        ++beginPosition;
        bitOffset = 8;
    }
}

void PERDecoder::setPosition(const char* p)
{
    beginPosition = std::min(p, endPosition);
    bitOffset = 8;
}

std::size_t PERDecoder::decodeBlock(char* dst, std::size_t n)
{
    if (n == 0)
        return 0;
    byteAlign();
    const std::size_t count = std::min(n, static_cast<std::size_t>(endPosition - beginPosition));
    std::memcpy(dst, beginPosition, count);
    beginPosition += count;
    return count;
}

// X.691 10.5: constrained whole number.
int PERDecoder::decodeNumber(std::uint32_t lb, std::uint32_t ub, std::uint32_t& out)
{
    if (lb == ub) {
        out = lb;
        return 0;
    }
    if (atEnd())
        return -1;
    const std::uint32_t range = ub - lb + 1;    // 0: the full 32-bit range
    std::uint32_t value = 0;
    if (range != 0 && range <= 255) {
        if (!decodeMultiBit(CountBits(range), value))
            return -1;
    } else if (range != 0 && range <= 65536) {
        // One or two aligned octets.
        byteAlign();
        const unsigned octets = range == 256 ? 1 : 2;
        if (endPosition - beginPosition < static_cast<std::ptrdiff_t>(octets))
            return -1;
        const unsigned char* p = reinterpret_cast<const unsigned char*>(beginPosition);
        value = octets == 1 ? p[0] : (static_cast<std::uint32_t>(p[0]) << 8) | p[1];
        beginPosition += octets;
    } else {
        const unsigned maxOctets = (CountBits(range) + 7) / 8;
        std::uint32_t octets = 0;
        if (!decodeMultiBit(CountBits(maxOctets), octets))
            return -1;
        byteAlign();
        if (!decodeMultiBit((octets + 1) * 8, value))
            return -1;
    }
    // A field wider than the range may hold more than it; the sum must not
    // wrap past the 32 bits (signed when lb is negative) into another number.
    const std::uint32_t room = signedLimits(static_cast<std::int32_t>(lb)) ? 0x7FFFFFFFu - lb : 0xFFFFFFFFu - lb;
    if (value > room)
        return -1;
    out = lb + value;
    return 0;
}

// X.691 10.9, without the fragmented form (lengths of 16384 and more).
int PERDecoder::decodeLength(std::uint32_t lb, std::uint32_t ub, std::uint32_t& out)
{
    if (ub <= 65535)
        return decodeUnsigned(lb, ub, out);
    byteAlign();
    std::uint32_t first = 0;
    if (!decodeMultiBit(8, first))
        return -1;
    if ((first & 0x80) == 0) {
        out = first;
        return 0;
    }
    if ((first & 0x40) != 0)
        return -1;
    std::uint32_t second = 0;
    if (!decodeMultiBit(8, second))
        return -1;
    out = ((first & 0x3F) << 8) | second;
    return 0;
}

// X.691 10.6: normally small non-negative whole number.
bool PERDecoder::decodeSmallUnsigned(std::uint32_t& out)
{
    if (atEnd())
        return false;
    if (!decodeSingleBit())
        return decodeMultiBit(6, out);
    std::uint32_t octets = 0;
    if (decodeLength(0, NoUpperLimit, octets) != 0 || octets > 4)
        return false;
    byteAlign();
    return decodeMultiBit(octets * 8, out);
}

int PERDecoder::decodeConstrainedLength(const ConstrainedObject& object, std::uint32_t& out)
{
    switch (object.getConstraintType()) {
    case ExtendableConstraint:
        if (atEnd())
            return -1;
        if (decodeSingleBit())
            return decodeLength(0, NoUpperLimit, out);
        return decodeLength(static_cast<std::uint32_t>(object.getLowerLimit()), object.getUpperLimit(), out);
    case FixedConstraint:
        return decodeLength(static_cast<std::uint32_t>(object.getLowerLimit()), object.getUpperLimit(), out);
    default:
        return decodeLength(0, NoUpperLimit, out);
    }
}

bool PERDecoder::decodeLongBitMap(unsigned char* bits, std::uint32_t m)
{
    if (getBitsLeft() < m)
        return false;
    std::uint32_t i = 0;
    for (; m >= 8; m -= 8, ++i) {
        std::uint32_t octet = 0;
        decodeMultiBit(8, octet);
        bits[i] = static_cast<unsigned char>(octet);
    }
    if (m > 0) {
        std::uint32_t rest = 0;
        decodeMultiBit(m, rest);
        bits[i] = static_cast<unsigned char>(rest << (8 - m));
    }
    return true;
}

// ---- values ----

bool PERDecoder::do_visit(Null&)
{
    return true;
}

bool PERDecoder::do_visit(BOOLEAN& value)
{
    if (atEnd())
        return false;
    value.setValue(decodeSingleBit());
    return true;
}

bool PERDecoder::do_visit(INTEGER& value)
{
    const ConstraintType type = value.getConstraintType();
    if (type == ExtendableConstraint) {
        if (atEnd())
            return false;
        if (decodeSingleBit())
            return decodeWholeNumber(value, type);
    } else if (type != FixedConstraint) {
        return decodeWholeNumber(value, type);
    }
    std::uint32_t v = 0;
    if (decodeUnsigned(static_cast<std::uint32_t>(value.getLowerLimit()), value.getUpperLimit(), v) != 0)
        return false;
    value.setUnsignedValue(v);
    return true;
}

// X.691 10.8: length and two's complement octets.
bool PERDecoder::decodeWholeNumber(INTEGER& value, ConstraintType type)
{
    byteAlign();
    // Mostly a short length and the number within the input.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(beginPosition);
    if (beginPosition >= endPosition || p[0] - 1u >= 4 || endPosition - beginPosition <= p[0])
        return decodeLongNumber(value, type);
    const std::uint32_t octets = p[0];
    std::uint32_t v = p[1];
    for (std::uint32_t i = 2; i <= octets; ++i)
        v = (v << 8) | p[i];
    beginPosition += 1 + octets;
    return setWholeNumber(value, type, octets, v);
}

// decodeWholeNumber in every other case.
bool PERDecoder::decodeLongNumber(INTEGER& value, ConstraintType type)
{
    std::uint32_t octets = 0;
    std::uint32_t v = 0;
    if (decodeLength(0, NoUpperLimit, octets) != 0 || octets > 4)
        return false;
    if (octets > 0 && !decodeMultiBit(octets * 8, v))
        return false;
    return setWholeNumber(value, type, octets, v);
}

bool PERDecoder::setWholeNumber(INTEGER& value, ConstraintType type, std::uint32_t octets, std::uint32_t v)
{
    if (octets > 0) {
        // A PartiallyConstrained value is the number itself; the others carry a sign.
        const unsigned bits = octets * 8;
        if (type != PartiallyConstrained && bits < 32 && (v >> (bits - 1)) != 0)
            v |= ~((1u << bits) - 1);
    }
    // Under a negative lower limit the number must fit the signed 32 bits.
    if (type == PartiallyConstrained && !value.isUnsigned() && v > 0x7FFFFFFFu)
        return false;
    value.setUnsignedValue(v);
    return true;
}

// Departure from X.691: coded by the declared value, not by its index.
bool PERDecoder::do_visit(ENUMERATED& value)
{
    if (value.extendable()) {
        if (atEnd())
            return false;
        if (decodeSingleBit()) {
            std::uint32_t n = 0;
            std::uint32_t v = 0;
            // A value must stay a non-negative 32-bit number.
            if (!decodeSmallUnsigned(n) || n == 0 || decodeUnsigned(0, n - 1, v) != 0 || v > 0x7FFFFFFFu)
                return false;
            value.setValue(static_cast<std::int32_t>(v));
            return true;
        }
    }
    std::uint32_t v = 0;
    if (decodeUnsigned(0, value.getMaximum(), v) != 0)
        return false;
    value.setValue(static_cast<std::int32_t>(v));
    return true;
}

bool PERDecoder::do_visit(OBJECT_IDENTIFIER& value)
{
    std::uint32_t count = 0;
    if (decodeUnsigned(0, 255, count) != 0)
        return false;
    if (count > static_cast<std::size_t>(endPosition - beginPosition))
        return false;
    const char* contents = beginPosition;
    beginPosition += count;
    return value.decodeCommon(contents, contents + count);
}

bool PERDecoder::do_visit(OCTET_STRING& value)
{
    std::uint32_t count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize)
        return false;
    value.resize(count);
    if (count <= 2) {
        // Departure from X.691: one or two octets are never aligned.
        for (std::uint32_t i = 0; i < count; ++i) {
            std::uint32_t octet = 0;
            if (!decodeMultiBit(8, octet))
                return false;
            value[i] = static_cast<char>(octet);
        }
        return true;
    }
    return decodeBlock(value.data(), count) == count;
}

bool PERDecoder::do_visit(BIT_STRING& value)
{
    std::uint32_t count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize)
        return false;
    value.resize(count);
    if (count == 0)
        return true;
    if (count > getBitsLeft())
        return false;
    if (count > 16) {
        // Departure from X.691: whole octets, the next field starts after them.
        const std::size_t octets = (count + 7) / 8;
        return decodeBlock(value.bitData.data(), octets) == octets;
    }
    return decodeBitMap(reinterpret_cast<unsigned char*>(value.bitData.data()), count);
}

bool PERDecoder::do_visit(AbstractString& value)
{
    const AbstractString::InfoType* info = value.info();
    std::uint32_t count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize)
        return false;
    value.resize(count);
    const unsigned bits = info->alignedBits;
    const bool small = info->type != Unconstrained && static_cast<std::uint64_t>(info->upperLimit) * bits <= 16;
    if (!small) {
        if (bits == 8) {
            if (decodeBlock(&value[0], count) != count) {
                value.clear();
                return false;
            }
            return true;
        }
        byteAlign();
    }
    const bool ownCode = info->canonicalBits <= bits && info->canonicalBits > 4;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t code = 0;
        if (!decodeMultiBit(bits, code))
            return false;
        if (!ownCode) {
            if (code >= info->characterSetSize)
                return false;
            code = static_cast<unsigned char>(info->characterSet[code]);
        }
        value[i] = static_cast<char>(code);
    }
    return true;
}

bool PERDecoder::do_visit(BMPString& value)
{
    const BMPString::InfoType* info = value.info();
    std::uint32_t count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumStringSize)
        return false;
    value.resize(count);
    if (info->type == Unconstrained || static_cast<std::uint64_t>(info->upperLimit) * 16 > 16)
        byteAlign();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t code = 0;
        if (!decodeMultiBit(info->alignedBits, code))
            return false;
        value[i] = static_cast<wchar_t>(info->firstChar + code);
    }
    return true;
}

bool PERDecoder::do_visit(GeneralizedTime& value)
{
    std::uint32_t count = 0;
    if (decodeLength(0, NoUpperLimit, count) != 0 || count == 0)
        return false;
    std::string text(count, '\0');
    if (decodeBlock(&text[0], count) != count)
        return false;
    return value.set(text.c_str());
}

bool PERDecoder::decodeChoicePreamle(CHOICE& choice, memento_type& memento)
{
    memento.position = nullptr;
    memento.bitOffset = 8;
    if (atEnd())
        return false;
    const CHOICE::InfoType* info = choice.info();
    std::uint32_t id = 0;
    if (info->extendable && decodeSingleBit()) {
        if (!decodeExtensionIndex(choice, id, memento))
            return false;
    } else if (info->numChoices > 1) {
        if (decodeUnsigned(0, info->numChoices - 1, id) != 0)
            return false;
        // A root index names root alternatives only.
        if (id >= info->numChoices)
            return false;
    }
    if (static_cast<std::int32_t>(id) == choice.choiceID && choice.choice != nullptr)
        return true;    // decode into the value already there
    choice.choiceID = static_cast<std::int32_t>(id);
    return choice.createSelection();
}

bool PERDecoder::decodeExtensionIndex(const CHOICE& choice, std::uint32_t& id, memento_type& memento)
{
    const CHOICE::InfoType& info = *choice.info();
    std::uint32_t index = 0;
    std::uint32_t length = 0;
    if (!decodeSmallUnsigned(index) || decodeLength(0, NoUpperLimit, length) != 0)
        return false;
    // The open type must lie within the input.
    if (length > static_cast<std::size_t>(endPosition - beginPosition))
        return false;
    id = info.numChoices + index;
    if (id < index)
        id = info.totalChoices;    // wrapped past 32 bits: no alternative either
    memento.position = beginPosition + length;
    return true;
}

bool PERDecoder::do_visit(CHOICE& value)
{
    memento_type memento;
    if (!decodeChoicePreamle(value, memento))
        return false;
    if (memento.position != nullptr)
        return decodeExtensionAlternative(value, memento.position);
    if (value.choice->accept(*this))
        return true;
    noteFailure(value.getSelectionName());
    return false;
}

// An extension alternative is decoded within its open type's length.
bool PERDecoder::decodeExtensionAlternative(CHOICE& value, const char* end)
{
    bool ok;
    {
        EndGuard guard(endPosition, end);
        ok = value.choice->accept(*this);
    }
    if (!ok)
        noteFailure(value.getSelectionName());
    setPosition(end);
    return ok;
}

bool PERDecoder::do_visit(SEQUENCE_OF_Base& value)
{
    std::uint32_t count = 0;
    if (decodeConstrainedLength(value, count) != 0 || count > MaximumArraySize)
        return false;
    value.resize(count);
    for (std::size_t i = 0; i < count; ++i) {
        if (!value.container[i]->accept(*this)) {
            noteFailure("element");
            value.erase(value.container.begin() + i, value.container.end());
            return false;
        }
    }
    return true;
}

bool PERDecoder::do_visit(OpenData& value)
{
    std::uint32_t count = 0;
    if (decodeLength(0, NoUpperLimit, count) != 0)
        return false;
    if (!value.buf)
        value.buf.reset(new std::vector<char>);
    value.buf->resize(count);
    return decodeBlock(value.buf->data(), count) == count;
}

bool PERDecoder::do_revisit(OpenData& value)
{
    if (!value.buf || !value.data)
        return false;
    PERDecoder nested(value.buf->data(), value.buf->data() + value.buf->size(), env, alignedFlag);
    return value.data->accept(nested);
}

bool PERDecoder::do_visit(TypeConstrainedOpenData& value)
{
    std::uint32_t count = 0;
    if (decodeLength(0, NoUpperLimit, count) != 0)
        return false;
    if (count > static_cast<std::size_t>(endPosition - beginPosition) || !value.data)
        return false;
    const char* end = beginPosition + count;
    bool ok;
    {
        EndGuard guard(endPosition, end);
        ok = value.data->accept(*this);
    }
    setPosition(end);
    return ok;
}

// ---- SEQUENCE ----

bool PERDecoder::do_visit(SEQUENCE& seq)
{
    const SEQUENCE::InfoType* info = seq.info();
    // A reused value must not keep the extensions of an earlier decode.
    seq.extensionMap.resize(0);
    bool extension = false;
    if (info->extendable) {
        if (atEnd())
            return false;
        extension = decodeSingleBit();
    }
    const std::uint32_t optional = info->numOptional;
    seq.optionalMap.resize(optional);
    if (!decodeBitMap(seq.optionalMap.data(), optional))
        return false;
    const std::uint32_t numFields = info->numFields;
    const std::int32_t* ids = info->fieldIds;
    for (std::uint32_t i = 0; i < numFields; ++i) {
        // Root optional numbers address the map just read (the extension
        // map is empty).
        if (ids[i] != -1 && !seq.optionalMap[static_cast<std::uint32_t>(ids[i])])
            continue;
        AbstractData* field = seq.fields[i];
        if (field == nullptr) {
            const AbstractData::InfoType* fieldInfo = info->fieldInfos[i];
            if (fieldInfo == nullptr)
                return false;
            field = fieldInfo->create(fieldInfo);
            seq.fields.reset(i, field);
        }
        if (!field->accept(*this)) {
            noteFailure(info->fieldNames[i]);
            return false;
        }
    }
    return !extension || decodeExtensions(seq);
}

bool PERDecoder::decodeExtensions(SEQUENCE& seq)
{
    const SEQUENCE::InfoType* info = seq.info();
    std::uint32_t n = 0;
    // The map holds n + 1 bits; n itself is compared, so that it cannot wrap.
    if (!decodeSmallUnsigned(n) || n >= MaximumArraySize)
        return false;
    seq.extensionMap.resize(n + 1);
    if (!decodeBitMap(seq.extensionMap.data(), n + 1))
        return false;
    std::int32_t optionalNumber = seq.firstExtensionNumber();
    for (std::uint32_t k = 0; k < info->knownExtensions; ++k, ++optionalNumber) {
        if (!decodeKnownExtension(seq, info->numFields + k, optionalNumber))
            return false;
    }
    // Unknown additions are skipped.
    for (std::uint32_t k = info->knownExtensions; k < seq.extensionMap.size(); ++k) {
        if (!seq.extensionMap[k])
            continue;
        std::uint32_t count = 0;
        if (decodeLength(0, NoUpperLimit, count) != 0)
            return false;
        if (count > static_cast<std::size_t>(endPosition - beginPosition))
            return false;
        setPosition(beginPosition + count);
    }
    return true;
}

bool PERDecoder::decodeKnownExtension(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber)
{
    if (!seq.hasOptionalField(optionalNumber))
        return true;
    std::uint32_t count = 0;
    if (decodeLength(0, NoUpperLimit, count) != 0)
        return false;
    if (count > static_cast<std::size_t>(endPosition - beginPosition))
        return false;
    const char* end = beginPosition + count;
    if (seq.fields[fieldIndex] == nullptr) {
        const AbstractData::InfoType* info = seq.info()->fieldInfos[fieldIndex];
        if (info == nullptr) {
            setPosition(end);
            return true;
        }
        seq.fields.reset(fieldIndex, info->create(info));
    }
    bool ok;
    {
        EndGuard guard(endPosition, end);
        ok = seq.fields[fieldIndex]->accept(*this);
    }
    if (!ok)
        noteFailure(seq.fieldName(fieldIndex));
    setPosition(end);
    return ok;
}

} // namespace ASN1
