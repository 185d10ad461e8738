#include "asn1/InvalidTracer.h"

#include <ostream>

#include "asn1/ASN1.h"
#include "asn1/ValidChecker.h"

namespace ASN1 {

bool InvalidTracer::do_visit(const INTEGER& value)
{
    if (value.isStrictValid() || value.extendable())
        return true;
    const bool isSigned = signedLimits(value.getLowerLimit());
    strm << " The INTEGER value ";
    if (isSigned)
        strm << value.getValue();
    else
        strm << value.getUnsignedValue();
    if (value.belowLowerLimit()) {
        strm << " is smaller than lower bound " << value.getLowerLimit();
    } else {
        // A signed type's upper limit is signed too.
        strm << " is greater than upper bound ";
        if (isSigned)
            strm << static_cast<std::int32_t>(value.getUpperLimit());
        else
            strm << value.getUpperLimit();
    }
    return false;
}

bool InvalidTracer::do_visit(const ENUMERATED& value)
{
    ValidChecker checker;
    if (checker.do_visit(value))
        return true;
    strm << " This ENUMERATED has invalid value " << value.getValue();
    return false;
}

bool InvalidTracer::do_visit(const OBJECT_IDENTIFIER& value)
{
    if (value.levels() != 0)
        return true;
    strm << " This OBJECT IDENTIFIER is not assigned";
    return false;
}

bool InvalidTracer::traceSize(const char* what, const ConstrainedObject& object, std::uint32_t size)
{
    if (!sizeAboveLower(object, size)) {
        strm << " This " << what << " has size " << size << " smaller than its lower bound " << object.getLowerLimit();
        return false;
    }
    if (!sizeBelowUpper(object, size, false)) {
        strm << " This " << what << " has size " << size << " greater than its upper bound " << object.getUpperLimit();
        return false;
    }
    return true;
}

bool InvalidTracer::do_visit(const BIT_STRING& value)
{
    return traceSize("BIT STRING", value, value.size());
}

bool InvalidTracer::do_visit(const OCTET_STRING& value)
{
    return traceSize("OCTET STRING", value, static_cast<std::uint32_t>(value.size()));
}

bool InvalidTracer::do_visit(const AbstractString& value)
{
    if (!traceSize("AbstractString", value, static_cast<std::uint32_t>(value.size())))
        return false;
    const std::size_t at = value.first_illegal_at();
    if (at == value.size())
        return true;
    strm << " The character '" << value[at] << "' is not valid for the string";
    return false;
}

bool InvalidTracer::do_visit(const BMPString& value)
{
    if (!traceSize("BMPString", value, static_cast<std::uint32_t>(value.size())))
        return false;
    const std::size_t at = value.first_illegal_at();
    if (at == value.size())
        return true;
    strm << " The character '" << static_cast<std::uint32_t>(value[at]) << "' is not valid for the string";
    return false;
}

bool InvalidTracer::traceComponent(const AbstractData* value, const std::string& step)
{
    // The path follows invalid components only, so it ends at the reason.
    if (value != nullptr && value->isValid())
        return true;
    InvalidTracer component;
    if (value != nullptr && value->accept(component))
        return true;
    strm << step << component.text();
    return false;
}

bool InvalidTracer::do_visit(const CHOICE& value)
{
    if (value.choiceID == CHOICE::unknownSelection_) {
        strm << " This selection is not understood by this decoder";
        return false;
    }
    const char* name = value.getSelectionName();
    if (value.choice == nullptr || name == nullptr) {
        strm << " This CHOICE is not selected";
        return false;
    }
    if (!value.extendable() && static_cast<std::uint32_t>(value.choiceID) >= value.info()->numChoices) {
        strm << " This selection is not understood by this decoder";
        return false;
    }
    return traceComponent(value.choice, std::string(".") + name);
}

bool InvalidTracer::do_visit(const OpenData& value)
{
    if (value.isValid())
        return true;
    strm << " This Open Type does not contain any valid data";
    return false;
}

bool InvalidTracer::do_visit(const GeneralizedTime& value)
{
    if (value.isStrictlyValid())
        return true;
    strm << " This GeneralizedTime is not valid";
    return false;
}

bool InvalidTracer::do_visit(const SEQUENCE_OF_Base& value)
{
    if (!traceSize("SEQUENCE OF", value, static_cast<std::uint32_t>(value.size())))
        return false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (!traceComponent(value.container[i], "[" + std::to_string(i) + "]"))
            return false;
    }
    return true;
}

bool InvalidTracer::visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex)
{
    return traceComponent(seq.getField(fieldIndex), std::string(".") + seq.fieldName(fieldIndex));
}

bool InvalidTracer::visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex)
{
    return visitExtensionRoot(seq, fieldIndex);
}

void trace_invalid(std::ostream& strm, const char* prefix, const AbstractData& value)
{
    if (value.isValid())
        return;
    InvalidTracer tracer;
    value.accept(tracer);
    strm << prefix << tracer.text();
}

} // namespace ASN1
