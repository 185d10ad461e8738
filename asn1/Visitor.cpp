#include "asn1/Visitor.h"

#include "asn1/ASN1.h"

namespace ASN1 {

// ---- Visitor ----

bool Visitor::do_visit(SEQUENCE& seq)
{
    const VisitSeqResult roots = preVisitExtensionRoots(seq);
    if (roots < NO_EXTENSION)
        return roots != FAIL;

    const SEQUENCE::InfoType* info = seq.info();
    for (std::uint32_t i = 0; i < info->numFields; ++i) {
        const VisitSeqResult step = visitExtensionRoot(seq, i, info->fieldIds[i]);
        if (step < NO_EXTENSION)
            return step != FAIL;
    }
    if (roots != CONTINUE)
        return true;

    const VisitSeqResult extensions = preVisitExtensions(seq);
    if (extensions != CONTINUE)
        return extensions != FAIL;
    std::int32_t optionalNumber = seq.firstExtensionNumber();
    for (std::uint32_t k = 0; k < info->knownExtensions; ++k, ++optionalNumber) {
        const VisitSeqResult step = visitKnownExtension(seq, info->numFields + k, optionalNumber);
        if (step != CONTINUE)
            return step != FAIL;
    }
    return visitUnknownExtensions(seq);
}

bool Visitor::do_visit(IntegerWithNamedNumber& value)
{
    return do_visit(static_cast<INTEGER&>(value));
}

Visitor::VisitSeqResult Visitor::preVisitExtensionRoots(SEQUENCE&)
{
    return CONTINUE;
}

Visitor::VisitSeqResult Visitor::visitExtensionRoot(SEQUENCE&, std::size_t, std::int32_t)
{
    return FAIL;
}

Visitor::VisitSeqResult Visitor::preVisitExtensions(SEQUENCE&)
{
    return CONTINUE;
}

Visitor::VisitSeqResult Visitor::visitKnownExtension(SEQUENCE&, std::size_t, std::int32_t)
{
    return FAIL;
}

bool Visitor::visitUnknownExtensions(SEQUENCE&)
{
    return true;
}

// ---- ConstVisitor ----

bool ConstVisitor::visit(const SEQUENCE& seq)
{
    if (!preVisitExtensionRoots(seq))
        return false;
    const SEQUENCE::InfoType* info = seq.info();
    for (std::uint32_t i = 0; i < info->numFields; ++i) {
        const std::int32_t optionalNumber = info->fieldIds[i];
        if (optionalNumber >= 0 && !seq.hasOptionalField(optionalNumber))
            continue;
        if (!visitExtensionRoot(seq, i))
            return false;
    }
    if (seq.extensionMap.size() == 0)
        return afterVisitSequence(seq);
    if (!preVisitExtensions(seq))
        return false;
    for (std::uint32_t k = 0; k < info->knownExtensions; ++k) {
        if (seq.extensionMap[k] && !visitKnownExtension(seq, info->numFields + k))
            return false;
    }
    return afterVisitSequence(seq);
}

bool ConstVisitor::do_visit(const AbstractData&) { return true; }
bool ConstVisitor::do_visit(const Null& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BOOLEAN& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const INTEGER& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const IntegerWithNamedNumber& value) { return do_visit(static_cast<const INTEGER&>(value)); }
bool ConstVisitor::do_visit(const ENUMERATED& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OBJECT_IDENTIFIER& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BIT_STRING& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OCTET_STRING& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const AbstractString& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BMPString& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const CHOICE& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OpenData& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const GeneralizedTime& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const SEQUENCE_OF_Base& value) { return do_visit(static_cast<const AbstractData&>(value)); }

bool ConstVisitor::preVisitExtensionRoots(const SEQUENCE& seq)
{
    return do_visit(static_cast<const AbstractData&>(seq));
}

bool ConstVisitor::visitExtensionRoot(const SEQUENCE&, std::size_t)
{
    return false;
}

bool ConstVisitor::preVisitExtensions(const SEQUENCE&)
{
    return true;
}

bool ConstVisitor::visitKnownExtension(const SEQUENCE&, std::size_t)
{
    return false;
}

bool ConstVisitor::afterVisitSequence(const SEQUENCE&)
{
    return true;
}

} // namespace ASN1
