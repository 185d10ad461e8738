#include "asn1/DataLengthCounter.h"

#include <algorithm>

#include "asn1/ASN1.h"

namespace ASN1 {

std::uint32_t fieldTag(const SEQUENCE& seq, std::size_t fieldIndex)
{
    const std::uint32_t* tags = seq.info()->fieldTags;
    if (tags == nullptr)
        return contextTag(static_cast<std::uint32_t>(fieldIndex));
    if (tags == SEQUENCE::defaultTag)
        return OwnTag;
    return tags[fieldIndex];
}

std::uint32_t alternativeTag(const CHOICE& choice, std::int32_t id)
{
    const std::uint32_t* tags = choice.info()->selectionTags;
    return tags == nullptr ? contextTag(static_cast<std::uint32_t>(id)) : tags[id];
}

std::uint32_t identifierLength(std::uint32_t tag)
{
    std::uint32_t number = tag & 0xFFFFu;
    if (number < 31)
        return 1;
    std::uint32_t n = 1;
    for (; number != 0; number >>= 7)
        ++n;
    return n;
}

std::uint32_t lengthLength(std::uint32_t length)
{
    if (length < 128)
        return 1;
    std::uint32_t n = 1;
    for (; length != 0; length >>= 8)
        ++n;
    return n;
}

unsigned integerOctets(std::int32_t v)
{
    unsigned n = 1;
    // n octets hold -2^(8n-1) .. 2^(8n-1) - 1.
    while (n < 4 && (v < -(std::int32_t(1) << (8 * n - 1)) || v >= (std::int32_t(1) << (8 * n - 1))))
        ++n;
    return n;
}

namespace {

bool isUntaggedChoice(const AbstractData& value, std::uint32_t tag)
{
    return dynamic_cast<const CHOICE*>(&value) != nullptr
           && (tag == OwnTag ? value.info()->tag : tag) == 0;
}

} // namespace

std::uint32_t getDataLength(const AbstractData& value)
{
    DataLengthCounter counter;
    value.accept(counter);
    return counter.length();
}

std::uint32_t getObjectLength(const AbstractData& value, std::uint32_t tag)
{
    const std::uint32_t contents = getDataLength(value);
    if (isUntaggedChoice(value, tag))
        return contents;
    return identifierLength(tag == OwnTag ? value.info()->tag : tag) + lengthLength(contents) + contents;
}

bool DataLengthCounter::do_visit(const Null&) { return true; }

bool DataLengthCounter::do_visit(const BOOLEAN&)
{
    add(1);
    return true;
}

bool DataLengthCounter::do_visit(const INTEGER& value)
{
    add(integerOctets(value.getValue()));
    return true;
}

bool DataLengthCounter::do_visit(const ENUMERATED& value)
{
    add(integerOctets(value.getValue()));
    return true;
}

bool DataLengthCounter::do_visit(const OBJECT_IDENTIFIER& value)
{
    std::vector<char> contents;
    value.encodeCommon(contents);
    add(static_cast<std::uint32_t>(contents.size()));
    return true;
}

bool DataLengthCounter::do_visit(const BIT_STRING& value)
{
    add((value.size() + 7) / 8 + 1);
    return true;
}

bool DataLengthCounter::do_visit(const OCTET_STRING& value)
{
    add(static_cast<std::uint32_t>(value.size()));
    return true;
}

bool DataLengthCounter::do_visit(const AbstractString& value)
{
    add(static_cast<std::uint32_t>(value.size()));
    return true;
}

bool DataLengthCounter::do_visit(const BMPString& value)
{
    add(static_cast<std::uint32_t>(value.size() * 2));
    return true;
}

bool DataLengthCounter::do_visit(const CHOICE& value)
{
    if (value.choice != nullptr && value.choiceID >= 0)
        add(getObjectLength(*value.choice, alternativeTag(value, value.choiceID)));
    return true;
}

bool DataLengthCounter::do_visit(const OpenData& value)
{
    if (value.has_data())
        add(getObjectLength(*value.data, OwnTag));
    else if (value.has_buf())
        add(static_cast<std::uint32_t>(value.buf->size()));
    return true;
}

bool DataLengthCounter::do_visit(const GeneralizedTime& value)
{
    add(static_cast<std::uint32_t>(value.get().size()));
    return true;
}

bool DataLengthCounter::do_visit(const SEQUENCE_OF_Base& value)
{
    for (const AbstractData* element : value.container)
        add(getObjectLength(*element, OwnTag));
    return true;
}

bool DataLengthCounter::preVisitExtensionRoots(const SEQUENCE&)
{
    return true;
}

bool DataLengthCounter::visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex)
{
    const AbstractData* field = seq.getField(fieldIndex);
    if (field != nullptr)
        add(getObjectLength(*field, fieldTag(seq, fieldIndex)));
    return true;
}

bool DataLengthCounter::visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex)
{
    return visitExtensionRoot(seq, fieldIndex);
}

} // namespace ASN1
