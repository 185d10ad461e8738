#include "asn1/BEREncoder.h"

#include "asn1/ASN1.h"
#include "asn1/PrimitiveChecker.h"

namespace ASN1 {

std::uint32_t BEREncoder::takeTag(const AbstractData& value)
{
    const std::uint32_t tag = nextTag == OwnTag ? value.info()->tag : nextTag;
    nextTag = OwnTag;
    return tag;
}

void BEREncoder::encodeHeader(std::uint32_t tag, bool constructed, std::uint32_t length)
{
    const unsigned char classBits = static_cast<unsigned char>(((tag >> 22) & 3u) << 6);
    const unsigned char form = constructed ? 0x20 : 0x00;
    const std::uint32_t number = tag & 0xFFFFu;
    if (number < 31) {
        out.push_back(static_cast<char>(classBits | form | number));
    } else {
        out.push_back(static_cast<char>(classBits | form | 0x1F));
        // Base-128 digits, most significant first, bit 8 on all but the last.
        for (int shift = static_cast<int>(identifierLength(tag) - 2) * 7; shift >= 0; shift -= 7) {
            const unsigned digit = (number >> shift) & 0x7Fu;
            out.push_back(static_cast<char>(shift != 0 ? digit | 0x80u : digit));
        }
    }
    if (length < 128) {
        out.push_back(static_cast<char>(length));
        return;
    }
    const std::uint32_t n = lengthLength(length) - 1;
    out.push_back(static_cast<char>(0x80u | n));
    for (int shift = static_cast<int>(n - 1) * 8; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((length >> shift) & 0xFFu));
}

void BEREncoder::header(const AbstractData& value, bool constructed)
{
    encodeHeader(takeTag(value), constructed, getDataLength(value));
}

void BEREncoder::encodeSigned(std::int32_t v)
{
    const std::uint32_t u = static_cast<std::uint32_t>(v);
    for (int i = static_cast<int>(integerOctets(v)) - 1; i >= 0; --i)
        out.push_back(static_cast<char>((u >> (8 * i)) & 0xFFu));
}

bool BEREncoder::do_visit(const Null& value)
{
    header(value, false);
    return true;
}

bool BEREncoder::do_visit(const BOOLEAN& value)
{
    header(value, false);
    out.push_back(static_cast<char>(value.getValue() ? 0xFF : 0x00));
    return true;
}

bool BEREncoder::do_visit(const INTEGER& value)
{
    header(value, false);
    encodeSigned(value.getValue());
    return true;
}

bool BEREncoder::do_visit(const ENUMERATED& value)
{
    header(value, false);
    encodeSigned(value.getValue());
    return true;
}

bool BEREncoder::do_visit(const OBJECT_IDENTIFIER& value)
{
    header(value, false);
    return value.encodeCommon(out);
}

bool BEREncoder::do_visit(const BIT_STRING& value)
{
    header(value, false);
    out.push_back(static_cast<char>((8 - value.size() % 8) % 8));
    out.insert(out.end(), value.bitData.begin(), value.bitData.begin() + (value.size() + 7) / 8);
    return true;
}

bool BEREncoder::do_visit(const OCTET_STRING& value)
{
    header(value, false);
    out.insert(out.end(), value.begin(), value.end());
    return true;
}

bool BEREncoder::do_visit(const AbstractString& value)
{
    header(value, false);
    out.insert(out.end(), value.begin(), value.end());
    return true;
}

bool BEREncoder::do_visit(const BMPString& value)
{
    // Two octets per character: a wider one would be cut to another.
    for (wchar_t c : value) {
        if (static_cast<std::uint32_t>(c) > 0xFFFFu)
            return false;
    }
    header(value, false);
    for (wchar_t c : value) {
        const std::uint32_t code = static_cast<std::uint32_t>(c);
        out.push_back(static_cast<char>((code >> 8) & 0xFFu));
        out.push_back(static_cast<char>(code & 0xFFu));
    }
    return true;
}

bool BEREncoder::do_visit(const CHOICE& value)
{
    const std::uint32_t tag = takeTag(value);
    if (value.choice == nullptr || value.choiceID < 0
        || static_cast<std::uint32_t>(value.choiceID) >= value.info()->totalChoices)
        return false;
    const std::uint32_t inner = alternativeTag(value, value.choiceID);
    // A tagged CHOICE wraps its alternative (explicit tagging).
    if (tag != 0)
        encodeHeader(tag, true, getObjectLength(*value.choice, inner));
    nextTag = inner;
    return value.choice->accept(*this);
}

bool BEREncoder::do_visit(const OpenData& value)
{
    if (!value.has_data() && !value.has_buf())
        return false;
    encodeHeader(takeTag(value), !isPrimitive(value), getDataLength(value));
    if (value.has_data())
        return value.data->accept(*this);
    out.insert(out.end(), value.buf->begin(), value.buf->end());
    return true;
}

bool BEREncoder::do_visit(const GeneralizedTime& value)
{
    const std::string text = value.get();
    encodeHeader(takeTag(value), false, static_cast<std::uint32_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
    return true;
}

bool BEREncoder::do_visit(const SEQUENCE_OF_Base& value)
{
    header(value, true);
    for (const AbstractData* element : value.container) {
        if (!element->accept(*this))
            return false;
    }
    return true;
}

bool BEREncoder::preVisitExtensionRoots(const SEQUENCE& seq)
{
    header(seq, true);
    return true;
}

bool BEREncoder::visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex)
{
    const AbstractData* field = seq.getField(fieldIndex);
    if (field == nullptr)
        return false;
    nextTag = fieldTag(seq, fieldIndex);
    return field->accept(*this);
}

bool BEREncoder::visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex)
{
    return visitExtensionRoot(seq, fieldIndex);
}

} // namespace ASN1
