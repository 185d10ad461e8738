// Value notation as an operator types it: text that reads as a top-level
// type prints, and the printed text reads back as an equal value. The
// printer writes a double quote inside a string as it is, so a value holding
// one is left out of the comparison.
#include <memory>
#include <sstream>
#include <string>

#include "Fuzz.h"

#include "asn1/ASN1.h"

namespace {

// Finds a double quote in any character string of a value.
class QuoteFinder : public ASN1::ConstVisitor {
public:
    bool found = false;

    bool do_visit(const ASN1::AbstractString& value) override
    {
        found = found || value.find('"') != std::string::npos;
        return true;
    }
    bool do_visit(const ASN1::CHOICE& value) override
    {
        return value.getSelection() == nullptr || value.getSelection()->accept(*this);
    }
    bool do_visit(const ASN1::SEQUENCE_OF_Base& value) override
    {
        for (const ASN1::AbstractData* element : value.container)
            element->accept(*this);
        return true;
    }
    bool preVisitExtensionRoots(const ASN1::SEQUENCE&) override { return true; }
    bool visitExtensionRoot(const ASN1::SEQUENCE& seq, std::size_t fieldIndex) override
    {
        return field(seq, fieldIndex);
    }
    bool visitKnownExtension(const ASN1::SEQUENCE& seq, std::size_t fieldIndex) override
    {
        return field(seq, fieldIndex);
    }

private:
    bool field(const ASN1::SEQUENCE& seq, std::size_t fieldIndex)
    {
        return seq.getField(fieldIndex) == nullptr || seq.getField(fieldIndex)->accept(*this);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (std::size_t i = 0; i < fuzz::topTypeCount; ++i) {
        const ASN1::AbstractData::InfoType* info = fuzz::topTypes[i].info;
        std::unique_ptr<ASN1::AbstractData> value(info->create(info));
        if (!value->setFromValueNotation(text))
            continue;
        const std::string name = fuzz::topTypes[i].name;
        std::ostringstream printed;
        if (value->print_on(printed) != 0)
            fuzz::broken(name + ": a value read from text does not print: " + printed.str());
        QuoteFinder quotes;
        value->accept(quotes);
        if (quotes.found)
            continue;
        std::unique_ptr<ASN1::AbstractData> again(info->create(info));
        if (!again->setFromValueNotation(printed.str()))
            fuzz::broken(name + ": the printed text does not read back: " + printed.str());
        if (again->compare(*value) != 0)
            fuzz::broken(name + ": the printed text reads back as another value: " + printed.str() + " -> " +
                   again->asValueNotation());
    }
    return 0;
}
