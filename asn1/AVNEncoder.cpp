#include "asn1/AVNEncoder.h"

#include <climits>
#include <cstdlib>
#include <iomanip>
#include <string>

#include "asn1/ASN1.h"

namespace ASN1 {

bool AVNEncoder::do_visit(const Null&)
{
    strm << "NULL";
    return good();
}

bool AVNEncoder::do_visit(const BOOLEAN& value)
{
    strm << (value.getValue() ? "TRUE" : "FALSE");
    return good();
}

bool AVNEncoder::do_visit(const INTEGER& value)
{
    if (value.isUnsigned())
        strm << value.getUnsignedValue();
    else
        strm << value.getValue();
    return good();
}

bool AVNEncoder::do_visit(const IntegerWithNamedNumber& value)
{
    std::string name;
    if (value.getName(name)) {
        strm << name;
        return good();
    }
    return do_visit(static_cast<const INTEGER&>(value));
}

bool AVNEncoder::do_visit(const ENUMERATED& value)
{
    const char* name = value.getName();
    if (name != nullptr)
        strm << name;
    else
        strm << value.getValue();
    return good();
}

bool AVNEncoder::do_visit(const OBJECT_IDENTIFIER& value)
{
    strm << "{ ";
    for (std::uint32_t arc : value.arcs)
        strm << arc << ' ';
    strm << '}';
    return good();
}

bool AVNEncoder::do_visit(const BIT_STRING& value)
{
    strm << '\'';
    for (std::uint32_t i = 0; i < value.totalBits; ++i)
        strm << (value[i] ? '1' : '0');
    strm << "'B";
    return good();
}

bool AVNEncoder::do_visit(const OCTET_STRING& value)
{
    const std::ios_base::fmtflags flags = strm.flags();
    strm << '\'';
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (i != 0)
            strm << ' ';
        strm << std::hex << std::setw(2) << std::setfill('0') << static_cast<unsigned>(static_cast<unsigned char>(value[i]));
    }
    strm.flags(flags);
    strm << std::setfill(' ') << "'H";
    return good();
}

bool AVNEncoder::do_visit(const AbstractString& value)
{
    strm << '"' << static_cast<const std::string&>(value) << '"';
    return good();
}

bool AVNEncoder::do_visit(const BMPString& value)
{
    // Multibyte text in the process locale, or the character codes.
    std::string text(value.size() * MB_LEN_MAX + 1, '\0');
    const std::size_t n = std::wcstombs(&text[0], value.c_str(), text.size());
    if (n != static_cast<std::size_t>(-1)) {
        text.resize(n);
        strm << '"' << text << '"';
        return good();
    }
    strm << '{';
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::uint32_t c = static_cast<std::uint32_t>(value[i]);
        if (i != 0)
            strm << ", ";
        strm << "{ 0, 0, " << ((c >> 8) & 0xFF) << ", " << (c & 0xFF) << '}';
    }
    strm << '}';
    return good();
}

bool AVNEncoder::do_visit(const CHOICE& value)
{
    const char* name = value.getSelectionName();
    if (name == nullptr || value.choice == nullptr)
        return false;
    strm << name << " : ";
    return good() && value.choice->accept(*this);
}

bool AVNEncoder::do_visit(const OpenData& value)
{
    if (value.has_data())
        return value.data->accept(*this);
    if (value.has_buf()) {
        OCTET_STRING octets(*value.buf);
        return do_visit(octets);
    }
    return false;
}

bool AVNEncoder::do_visit(const GeneralizedTime& value)
{
    strm << '"' << value.get() << '"';
    return good();
}

bool AVNEncoder::do_visit(const SEQUENCE_OF_Base& value)
{
    strm << "{\n";
    indent += 2;
    for (std::size_t i = 0; i < value.size(); ++i) {
        strm << std::setw(indent) << ' ';
        if (!good() || !value.container[i]->accept(*this))
            return false;
        if (i + 1 != value.size())
            strm << ",\n";
    }
    indent -= 2;
    if (!value.empty())
        strm << '\n';
    strm << std::string(indent, ' ') << '}';
    return good();
}

bool AVNEncoder::preVisitExtensionRoots(const SEQUENCE&)
{
    fieldWritten.push_back(false);
    strm << "{\n";
    return good();
}

bool AVNEncoder::field(const SEQUENCE& seq, std::size_t fieldIndex)
{
    const AbstractData* value = seq.fields[fieldIndex];
    if (value == nullptr)
        return false;
    if (fieldWritten.back())
        strm << ",\n";
    const std::string name = seq.fieldName(fieldIndex);
    strm << std::setw(static_cast<int>(name.size()) + indent + 2) << name << ' ';
    indent += 2;
    if (!good() || !value->accept(*this))
        return false;
    indent -= 2;
    fieldWritten.back() = true;
    return good();
}

bool AVNEncoder::visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex)
{
    return field(seq, fieldIndex);
}

bool AVNEncoder::preVisitExtensions(const SEQUENCE&)
{
    return good();
}

bool AVNEncoder::visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex)
{
    return field(seq, fieldIndex);
}

bool AVNEncoder::afterVisitSequence(const SEQUENCE&)
{
    if (fieldWritten.back())
        strm << '\n';
    fieldWritten.pop_back();
    strm << std::setw(indent + 1) << '}';
    return good();
}

} // namespace ASN1
