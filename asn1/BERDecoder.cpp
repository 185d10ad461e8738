#include "asn1/BERDecoder.h"

#include <algorithm>
#include <string>

#include "asn1/ASN1.h"
#include "asn1/DataLengthCounter.h"

namespace ASN1 {

bool BERDecoder::decodeHeader(Header& header)
{
    const char* end = limit();
    if (position >= end)
        return false;
    const unsigned char first = static_cast<unsigned char>(*position++);
    header.constructed = (first & 0x20) != 0;
    std::uint32_t number = first & 0x1Fu;
    if (number == 0x1F) {
        // Base-128 digits; a tag number has 16 bits at most.
        number = 0;
        unsigned char digit;
        do {
            if (position >= end)
                return false;
            digit = static_cast<unsigned char>(*position++);
            number = (number << 7) | (digit & 0x7Fu);
            if (number > 0xFFFFu)
                return false;
        } while ((digit & 0x80) != 0);
    }
    header.tag = (static_cast<std::uint32_t>(first >> 6) << 22) | number;
    if (position >= end)
        return false;
    const unsigned char lengthOctet = static_cast<unsigned char>(*position++);
    std::uint32_t length = lengthOctet;
    if (lengthOctet > 0x80) {
        const unsigned n = lengthOctet & 0x7Fu;
        if (n > 4 || static_cast<std::size_t>(end - position) < n)
            return false;
        length = 0;
        for (unsigned i = 0; i < n; ++i)
            length = (length << 8) | static_cast<unsigned char>(*position++);
    } else if (lengthOctet == 0x80) {
        length = 0;     // the indefinite form is not read
    }
    if (length > static_cast<std::size_t>(end - position))
        return false;
    header.length = length;
    return true;
}

bool BERDecoder::peekHeader(Header& header)
{
    const char* saved = position;
    const bool ok = decodeHeader(header);
    position = saved;
    return ok;
}

bool BERDecoder::valueHeader(const AbstractData& value, Header& header)
{
    if (!decodeHeader(header))
        return false;
    if (waiveTagCheck != 0) {
        --waiveTagCheck;
        return true;
    }
    return header.tag == value.info()->tag;
}

bool BERDecoder::contents(const AbstractData& value, const char*& start, std::uint32_t& length)
{
    Header header;
    if (!valueHeader(value, header))
        return false;
    start = position;
    length = header.length;
    position += header.length;
    return true;
}

bool BERDecoder::decodeSigned(const AbstractData& value, std::uint32_t& out)
{
    const char* p;
    std::uint32_t n;
    if (!contents(value, p, n) || n == 0 || n > 4)
        return false;
    // The first octet sign-extended, then the others.
    std::uint32_t v = static_cast<std::uint32_t>(static_cast<std::int32_t>(static_cast<signed char>(*p)));
    for (std::uint32_t i = 1; i < n; ++i)
        v = (v << 8) | static_cast<unsigned char>(p[i]);
    out = v;
    return true;
}

bool BERDecoder::do_visit(Null& value)
{
    const char* p;
    std::uint32_t n;
    return contents(value, p, n);
}

bool BERDecoder::do_visit(BOOLEAN& value)
{
    const char* p;
    std::uint32_t n;
    if (!contents(value, p, n) || n == 0)
        return false;
    value.setValue(p[n - 1] != 0);
    return true;
}

bool BERDecoder::do_visit(INTEGER& value)
{
    std::uint32_t v = 0;
    if (!decodeSigned(value, v))
        return false;
    value.setUnsignedValue(v);
    return true;
}

bool BERDecoder::do_visit(ENUMERATED& value)
{
    std::uint32_t v = 0;
    if (!decodeSigned(value, v))
        return false;
    value.setValue(static_cast<std::int32_t>(v));
    return true;
}

bool BERDecoder::do_visit(OBJECT_IDENTIFIER& value)
{
    const char* p;
    std::uint32_t n;
    return contents(value, p, n) && value.decodeCommon(p, p + n);
}

template <class Text>
bool BERDecoder::assignContents(Text& value)
{
    const char* p;
    std::uint32_t n;
    if (!contents(value, p, n))
        return false;
    value.assign(p, p + n);
    return true;
}

bool BERDecoder::do_visit(OCTET_STRING& value)
{
    return assignContents(value);
}

bool BERDecoder::do_visit(BIT_STRING& value)
{
    const char* p;
    std::uint32_t n;
    if (!contents(value, p, n) || n == 0)
        return false;
    const unsigned unused = static_cast<unsigned char>(p[0]);
    if (unused > 7 || (n == 1 && unused != 0))
        return false;
    value.totalBits = 8 * (n - 1) - unused;
    value.bitData.assign(p + 1, p + n);
    return true;
}

bool BERDecoder::do_visit(AbstractString& value)
{
    return assignContents(value);
}

bool BERDecoder::do_visit(BMPString& value)
{
    const char* p;
    std::uint32_t n;
    if (!contents(value, p, n) || n % 2 != 0)
        return false;
    value.clear();
    for (std::uint32_t i = 0; i < n; i += 2)
        value.push_back(static_cast<wchar_t>(static_cast<unsigned char>(p[i]) << 8 | static_cast<unsigned char>(p[i + 1])));
    return true;
}

bool BERDecoder::do_visit(GeneralizedTime& value)
{
    const char* p;
    std::uint32_t n;
    return contents(value, p, n) && value.set(std::string(p, n).c_str());
}

bool BERDecoder::do_visit(CHOICE& value)
{
    // A matched component tag means a tagged CHOICE: its header wraps the alternative.
    const char* contentsEnd = nullptr;
    if (waiveTagCheck != 0 || value.info()->tag != 0) {
        Header outer;
        if (!valueHeader(value, outer))
            return false;
        contentsEnd = position + outer.length;
        // The alternative must fill the wrapper's contents exactly.
        ends.push_back(contentsEnd);
    }
    Header inner;
    if (!peekHeader(inner))
        return false;
    const CHOICE::InfoType* info = value.info();
    std::int32_t id = -1;
    if (info->selectionTags == nullptr) {
        if ((inner.tag >> 22) == 2 && (inner.tag & 0xFFFFu) < info->totalChoices)
            id = static_cast<std::int32_t>(inner.tag & 0xFFFFu);
    } else {
        const std::uint32_t* first = info->selectionTags;
        const std::uint32_t* last = first + info->totalChoices;
        const std::uint32_t* it = std::lower_bound(first, last, inner.tag);
        if (it != last && *it == inner.tag)
            id = static_cast<std::int32_t>(it - first);
        else if (*first == 0)
            id = 0;     // an untagged CHOICE as alternative 0
    }
    if (id < 0) {
        value.setSelection(CHOICE::unknownSelection_, nullptr);
        return false;
    }
    value.choiceID = id;
    if (!value.createSelection())
        return false;
    const bool untaggedNested = info->selectionTags != nullptr && info->selectionTags[id] == 0;
    waiveTagCheck = untaggedNested ? 0 : 1;
    if (!value.choice->accept(*this)) {
        if (untaggedNested)
            value.setSelection(CHOICE::unknownSelection_, nullptr);
        return false;
    }
    if (contentsEnd == nullptr)
        return true;
    ends.pop_back();
    return position == contentsEnd;
}

bool BERDecoder::do_visit(SEQUENCE_OF_Base& value)
{
    Header header;
    if (!valueHeader(value, header))
        return false;
    const char* end = position + header.length;
    value.clear();
    ends.push_back(end);
    while (position < end) {
        value.resize(value.size() + 1);
        if (!value.container.back()->accept(*this)) {
            value.erase(value.container.end() - 1, value.container.end());
            return false;
        }
    }
    ends.pop_back();
    return true;
}

bool BERDecoder::do_visit(OpenData& value)
{
    // The raw octets of the component are kept; a value is read from them.
    const char* p;
    std::uint32_t n;
    if (!contents(value, p, n))
        return false;
    value.set_buf(std::vector<char>(p, p + n));
    return !value.has_data() || do_revisit(value);
}

bool BERDecoder::do_revisit(OpenData& value)
{
    if (!value.buf || !value.data)
        return false;
    BERDecoder nested(value.buf->data(), value.buf->data() + value.buf->size(), env);
    return value.data->accept(nested) && nested.getPosition() == value.buf->data() + value.buf->size();
}

bool BERDecoder::do_visit(TypeConstrainedOpenData& value)
{
    return value.has_data() && do_visit(static_cast<OpenData&>(value));
}

// ---- SEQUENCE ----

Visitor::VisitSeqResult BERDecoder::preVisitExtensionRoots(SEQUENCE& seq)
{
    Header header;
    if (!valueHeader(seq, header))
        return FAIL;
    seq.extensionMap.resize(0);
    ends.push_back(position + header.length);
    return CONTINUE;
}

Visitor::VisitSeqResult BERDecoder::field(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber)
{
    const std::uint32_t tag = fieldTag(seq, fieldIndex);
    const AbstractData::InfoType* info = seq.info()->fieldInfos[fieldIndex];
    Header next;
    bool matches = position < limit() && peekHeader(next);
    if (matches) {
        // A field that keeps its own tag and is an untagged CHOICE has no header to match.
        const std::uint32_t expected = tag == OwnTag ? info->tag : tag;
        matches = expected == 0 || next.tag == expected;
    }
    if (!matches) {
        // Left out: an OPTIONAL field is absent, a mandatory one is missing.
        if (optionalNumber < 0)
            return FAIL;
        seq.removeOptionalField(optionalNumber);
        return CONTINUE;
    }
    seq.includeOptionalField(optionalNumber, fieldIndex);
    if (seq.fields[fieldIndex] == nullptr) {
        if (info == nullptr)
            return FAIL;
        seq.fields.reset(fieldIndex, info->create(info));
    }
    waiveTagCheck = tag == OwnTag ? 0 : 1;
    if (!seq.fields[fieldIndex]->accept(*this)) {
        seq.removeOptionalField(optionalNumber);
        return FAIL;
    }
    return CONTINUE;
}

Visitor::VisitSeqResult BERDecoder::visitExtensionRoot(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber)
{
    return field(seq, fieldIndex, optionalNumber);
}

Visitor::VisitSeqResult BERDecoder::preVisitExtensions(SEQUENCE& seq)
{
    return seq.extendable() && seq.knownExtensions() != 0 ? CONTINUE : (visitUnknownExtensions(seq) ? STOP : FAIL);
}

Visitor::VisitSeqResult BERDecoder::visitKnownExtension(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber)
{
    return field(seq, fieldIndex, optionalNumber);
}

bool BERDecoder::visitUnknownExtensions(SEQUENCE&)
{
    // Unknown trailing components are skipped.
    position = ends.back();
    ends.pop_back();
    return true;
}

} // namespace ASN1
