#include "asn1/AVNDecoder.h"

#include <cctype>
#include <cstdlib>
#include <sstream>

#include "asn1/ASN1.h"

namespace ASN1 {
namespace {

typedef std::char_traits<char> Traits;

bool isBlank(int ch)
{
    return ch != Traits::eof() && std::isspace(static_cast<unsigned char>(ch)) != 0;
}

bool isWordEnd(int ch)
{
    return ch == Traits::eof() || isBlank(ch) || ch == ',' || ch == '}';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void skipBlanks(std::istream& strm)
{
    while (isBlank(strm.peek()))
        strm.get();
}

// A decimal number, signed or unsigned, that fits 32 bits.
bool readDecimal(std::istream& strm, bool unsignedValue, std::uint32_t& out)
{
    skipBlanks(strm);
    bool negative = false;
    if (!unsignedValue && strm.peek() == '-') {
        negative = true;
        strm.get();
    }
    const std::uint64_t limit = unsignedValue ? 0xFFFFFFFFu : negative ? 0x80000000u : 0x7FFFFFFFu;
    std::uint64_t magnitude = 0;
    bool any = false;
    for (int ch = strm.peek(); ch >= '0' && ch <= '9'; ch = strm.peek()) {
        magnitude = magnitude * 10 + static_cast<unsigned>(ch - '0');
        if (magnitude > limit)
            return false;
        any = true;
        strm.get();
    }
    if (!any)
        return false;
    out = static_cast<std::uint32_t>(negative ? 0u - magnitude : magnitude);
    return true;
}

} // namespace

bool get_id(const char* const* names, std::uint32_t count, const std::string& text, std::int32_t& id)
{
    for (std::uint32_t i = 0; i < count; ++i) {
        if (names[i] != nullptr && text == names[i]) {
            id = static_cast<std::int32_t>(i);
            return true;
        }
    }
    return false;
}

// ---- tokens ----

bool AVNDecoder::nextChar(char& c)
{
    skipBlanks(strm);
    const int ch = strm.get();
    if (ch == Traits::eof())
        return false;
    c = Traits::to_char_type(ch);
    return true;
}

bool AVNDecoder::expect(char c)
{
    char got = 0;
    return nextChar(got) && got == c;
}

bool AVNDecoder::readWord(std::string& word, char alsoEnd)
{
    word.clear();
    skipBlanks(strm);
    for (int ch = strm.peek(); !isWordEnd(ch) && ch != alsoEnd; ch = strm.peek())
        word += Traits::to_char_type(strm.get());
    return !word.empty();
}

template <class ReadElement>
bool AVNDecoder::readElements(ReadElement readElement)
{
    skipBlanks(strm);
    if (strm.peek() == '}') {
        strm.get();
        return true;
    }
    for (;;) {
        if (!readElement())
            return false;
        char c = 0;
        if (!nextChar(c))
            return false;
        if (c == '}')
            return true;
        if (c != ',')
            return false;
    }
}

bool AVNDecoder::readQuotedDigits(char suffix, std::string& digits)
{
    if (!expect('\''))
        return false;
    digits.clear();
    for (int ch = strm.get(); ch != '\''; ch = strm.get()) {
        if (ch == Traits::eof())
            return false;
        if (!isBlank(ch))
            digits += Traits::to_char_type(ch);
    }
    return strm.get() == suffix;
}

bool AVNDecoder::readQuotedText(std::string& text)
{
    if (!expect('"'))
        return false;
    text.clear();
    for (int ch = strm.get(); ch != '"'; ch = strm.get()) {
        if (ch == Traits::eof())
            return false;
        text += Traits::to_char_type(ch);
    }
    return true;
}

// ---- primitive kinds ----

bool AVNDecoder::do_visit(Null&)
{
    // Letters only: "NULL}" is NULL followed by a closing brace.
    skipBlanks(strm);
    std::string word;
    while (std::isalpha(strm.peek()))
        word += Traits::to_char_type(strm.get());
    return word == "NULL";
}

bool AVNDecoder::do_visit(BOOLEAN& value)
{
    std::string word;
    if (!readWord(word))
        return false;
    if (word == "TRUE")
        value.setValue(true);
    else if (word == "FALSE")
        value.setValue(false);
    else
        return false;
    return true;
}

bool AVNDecoder::do_visit(INTEGER& value)
{
    // No range check: the value is taken as read, as the printer wrote it.
    std::uint32_t number = 0;
    if (!readDecimal(strm, value.isUnsigned(), number))
        return false;
    value.setUnsignedValue(number);
    return true;
}

bool AVNDecoder::do_visit(IntegerWithNamedNumber& value)
{
    skipBlanks(strm);
    const int ch = strm.peek();
    if (ch == '-' || (ch >= '0' && ch <= '9'))
        return do_visit(static_cast<INTEGER&>(value));
    std::string word;
    return readWord(word) && value.setFromName(word);
}

bool AVNDecoder::do_visit(ENUMERATED& value)
{
    std::string word;
    if (!readWord(word))
        return false;
    if (value.setFromName(word))
        return true;
    // A value without a name is printed as its number.
    std::istringstream number(word);
    std::uint32_t v = 0;
    if (!readDecimal(number, false, v) || number.peek() != Traits::eof())
        return false;
    value.setValue(static_cast<std::int32_t>(v));
    return true;
}

bool AVNDecoder::do_visit(OBJECT_IDENTIFIER& value)
{
    if (!expect('{'))
        return false;
    value.arcs.clear();
    for (;;) {
        skipBlanks(strm);
        if (strm.peek() == '}') {
            strm.get();
            return true;
        }
        std::uint32_t arc = 0;
        if (!readDecimal(strm, true, arc))
            return false;
        value.append(arc);
    }
}

bool AVNDecoder::do_visit(OCTET_STRING& value)
{
    std::string digits;
    if (!readQuotedDigits('H', digits))
        return false;
    value.clear();
    value.reserve((digits.size() + 1) / 2);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexValue(digits[i]);
        // An odd last digit is the high half of its octet.
        const int low = i + 1 < digits.size() ? hexValue(digits[i + 1]) : 0;
        if (high < 0 || low < 0)
            return false;
        value.push_back(static_cast<char>(high * 16 + low));
    }
    return true;
}

bool AVNDecoder::do_visit(BIT_STRING& value)
{
    std::string digits;
    if (!readQuotedDigits('B', digits))
        return false;
    value.bitData.assign((digits.size() + 7) / 8, 0);
    value.totalBits = static_cast<std::uint32_t>(digits.size());
    for (std::uint32_t i = 0; i < value.totalBits; ++i) {
        if (digits[i] == '1')
            value.set(i);
        else if (digits[i] != '0')
            return false;
    }
    return true;
}

bool AVNDecoder::do_visit(AbstractString& value)
{
    std::string text;
    if (!readQuotedText(text))
        return false;
    value.assign(text);
    return true;
}

bool AVNDecoder::do_visit(BMPString& value)
{
    skipBlanks(strm);
    if (strm.peek() == '"') {
        std::string text;
        if (!readQuotedText(text))
            return false;
        std::wstring wide(text.size() + 1, L'\0');
        const std::size_t n = std::mbstowcs(&wide[0], text.c_str(), wide.size());
        if (n == static_cast<std::size_t>(-1))
            return false;
        wide.resize(n);
        value.assign(wide);
        return true;
    }
    // The list form: {{ 0, 0, row, cell}, ...}.
    if (!expect('{'))
        return false;
    value.clear();
    return readElements([&] {
        std::uint32_t quad[4];
        if (!expect('{'))
            return false;
        for (int i = 0; i < 4; ++i) {
            if ((i != 0 && !expect(',')) || !readDecimal(strm, true, quad[i]) || quad[i] > 255)
                return false;
        }
        if (quad[0] != 0 || quad[1] != 0 || !expect('}'))
            return false;
        value.push_back(static_cast<wchar_t>(quad[2] << 8 | quad[3]));
        return true;
    });
}

bool AVNDecoder::do_visit(GeneralizedTime& value)
{
    std::string text;
    return readQuotedText(text) && value.set(text.c_str());
}

// ---- constructed kinds ----

bool AVNDecoder::do_visit(CHOICE& value)
{
    // No alternative name holds a colon: "command:ping:NULL" reads too.
    std::string name;
    std::int32_t id = 0;
    if (!readWord(name, ':') || !expect(':'))
        return false;
    if (!get_id(value.info()->selectionNames, value.info()->totalChoices, name, id))
        return false;
    if (id != value.choiceID || value.choice == nullptr) {
        value.choiceID = id;
        if (!value.createSelection())
            return false;
    }
    return value.choice->accept(*this);
}

bool AVNDecoder::do_visit(SEQUENCE_OF_Base& value)
{
    if (!expect('{'))
        return false;
    value.clear();
    return readElements([&] {
        value.resize(value.size() + 1);
        return value.container.back()->accept(*this);
    });
}

bool AVNDecoder::do_visit(OpenData& value)
{
    // A decoded value is read as itself; otherwise the raw octets.
    if (value.has_data())
        return value.data->accept(*this);
    OCTET_STRING octets;
    if (!do_visit(octets))
        return false;
    value.set_buf(octets);
    return true;
}

bool AVNDecoder::do_revisit(OpenData& value)
{
    if (!value.buf || !value.data)
        return false;
    std::istringstream text(std::string(value.buf->begin(), value.buf->end()));
    AVNDecoder nested(text);
    return value.data->accept(nested);
}

bool AVNDecoder::do_visit(TypeConstrainedOpenData& value)
{
    return value.has_data() && value.data->accept(*this);
}

// ---- SEQUENCE ----

Visitor::VisitSeqResult AVNDecoder::preVisitExtensionRoots(SEQUENCE& seq)
{
    if (!expect('{'))
        return FAIL;
    // Extension additions are present only when the text names them.
    seq.extensionMap.resize(0);
    skipBlanks(strm);
    if (strm.peek() == '}') {
        strm.get();
        // "{ }" leaves every OPTIONAL field out; a mandatory one is missing.
        const SEQUENCE::InfoType* info = seq.info();
        for (std::uint32_t i = 0; i < info->numFields; ++i) {
            if (info->fieldIds[i] < 0)
                return FAIL;
            seq.removeOptionalField(info->fieldIds[i]);
        }
        return STOP;
    }
    frames.push_back(Frame{std::string(), false});
    return readWord(frames.back().word) ? CONTINUE : FAIL;
}

Visitor::VisitSeqResult AVNDecoder::readField(SEQUENCE& seq, std::size_t fieldIndex)
{
    if (seq.fields[fieldIndex] == nullptr) {
        const AbstractData::InfoType* info = seq.info()->fieldInfos[fieldIndex];
        if (info == nullptr)
            return FAIL;
        seq.fields.reset(fieldIndex, info->create(info));
    }
    if (!seq.fields[fieldIndex]->accept(*this))
        return FAIL;
    // Nested SEQUENCEs have pushed and popped frames: look the top up again.
    Frame& frame = frames.back();
    char c = 0;
    if (!nextChar(c))
        return FAIL;
    if (c == '}') {
        frame.closed = true;
        return CONTINUE;
    }
    if (c != ',' || !readWord(frame.word))
        return FAIL;
    return CONTINUE;
}

Visitor::VisitSeqResult AVNDecoder::visitExtensionRoot(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber)
{
    const Frame& frame = frames.back();
    if (frame.closed || frame.word != seq.fieldName(fieldIndex)) {
        // Left out: an OPTIONAL field is absent, a mandatory one is missing.
        if (optionalNumber < 0)
            return FAIL;
        seq.removeOptionalField(optionalNumber);
        return CONTINUE;
    }
    seq.includeOptionalField(optionalNumber, fieldIndex);
    return readField(seq, fieldIndex);
}

Visitor::VisitSeqResult AVNDecoder::preVisitExtensions(SEQUENCE& seq)
{
    if (frames.back().closed) {
        frames.pop_back();
        return STOP;
    }
    // A word that names no root field is an extension addition or an error.
    return seq.extendable() ? CONTINUE : FAIL;
}

Visitor::VisitSeqResult AVNDecoder::visitKnownExtension(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber)
{
    const Frame& frame = frames.back();
    if (frame.closed || frame.word != seq.fieldName(fieldIndex))
        return CONTINUE;
    seq.includeOptionalField(optionalNumber, fieldIndex);
    return readField(seq, fieldIndex);
}

bool AVNDecoder::visitUnknownExtensions(SEQUENCE&)
{
    // Still open: the word names no field of this type.
    if (!frames.back().closed)
        return false;
    frames.pop_back();
    return true;
}

} // namespace ASN1
