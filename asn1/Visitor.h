#pragma once
// The two walks over values: Visitor (mutating; decoders) and ConstVisitor
// (read-only; encoders, printer, checkers). Every value's do_accept calls the
// operation of its own runtime kind; a generated class uses its kind's.
#include <cstddef>
#include <cstdint>

#include "asn1/AbstractData.h"

namespace ASN1 {

class Null;
class BOOLEAN;
class INTEGER;
class IntegerWithNamedNumber;
class ENUMERATED;
class OBJECT_IDENTIFIER;
class BIT_STRING;
class OCTET_STRING;
class AbstractString;
class BMPString;
class CHOICE;
class SEQUENCE_OF_Base;
class OpenData;
class TypeConstrainedOpenData;
class GeneralizedTime;
class SEQUENCE;

class Visitor {
public:
    // Step codes of the SEQUENCE hooks.
    enum VisitSeqResult {
        FAIL = 0,               // failure
        STOP = 1,               // finished with success
        NO_EXTENSION = 2,       // continue with the root fields only
        CONTINUE = 3            // continue including the extensions
    };

    virtual ~Visitor() = default;

    bool visit(AbstractData& value) { return value.do_accept(*this); }
    bool visit(SEQUENCE& seq) { return do_visit(seq); }

    // SEQUENCE::do_accept(Visitor&): by default the traversal over the hooks
    // below; a visitor may take the whole SEQUENCE itself.
    virtual bool do_visit(SEQUENCE& seq);

    virtual bool do_visit(Null& value) = 0;
    virtual bool do_visit(BOOLEAN& value) = 0;
    virtual bool do_visit(INTEGER& value) = 0;
    virtual bool do_visit(IntegerWithNamedNumber& value);      // the INTEGER one
    virtual bool do_visit(ENUMERATED& value) = 0;
    virtual bool do_visit(OBJECT_IDENTIFIER& value) = 0;
    virtual bool do_visit(OCTET_STRING& value) = 0;
    virtual bool do_visit(BIT_STRING& value) = 0;
    virtual bool do_visit(AbstractString& value) = 0;
    virtual bool do_visit(BMPString& value) = 0;
    virtual bool do_visit(CHOICE& value) = 0;
    virtual bool do_visit(SEQUENCE_OF_Base& value) = 0;
    virtual bool do_visit(OpenData& value) = 0;
    // Decodes buf into data.
    virtual bool do_revisit(OpenData& value) = 0;
    virtual bool do_visit(TypeConstrainedOpenData& value) = 0;
    virtual bool do_visit(GeneralizedTime& value) = 0;

    virtual VisitSeqResult preVisitExtensionRoots(SEQUENCE& seq);                 // CONTINUE
    virtual VisitSeqResult visitExtensionRoot(SEQUENCE& seq, std::size_t fieldIndex,
                                              std::int32_t optionalNumber);       // FAIL
    virtual VisitSeqResult preVisitExtensions(SEQUENCE& seq);                     // CONTINUE
    virtual VisitSeqResult visitKnownExtension(SEQUENCE& seq, std::size_t fieldIndex,
                                               std::int32_t optionalNumber);      // FAIL
    virtual bool visitUnknownExtensions(SEQUENCE& seq);                           // true
};

class ConstVisitor {
public:
    virtual ~ConstVisitor() = default;

    bool visit(const AbstractData& value) { return value.do_accept(*this); }
    // The SEQUENCE traversal: body of SEQUENCE::do_accept(ConstVisitor&).
    bool visit(const SEQUENCE& seq);

    virtual bool do_visit(const AbstractData& value);                   // true
    virtual bool do_visit(const Null& value);                           // each: the AbstractData one
    virtual bool do_visit(const BOOLEAN& value);
    virtual bool do_visit(const INTEGER& value);
    virtual bool do_visit(const IntegerWithNamedNumber& value);         // the INTEGER one
    virtual bool do_visit(const ENUMERATED& value);
    virtual bool do_visit(const OBJECT_IDENTIFIER& value);
    virtual bool do_visit(const BIT_STRING& value);
    virtual bool do_visit(const OCTET_STRING& value);
    virtual bool do_visit(const AbstractString& value);
    virtual bool do_visit(const BMPString& value);
    virtual bool do_visit(const CHOICE& value);
    virtual bool do_visit(const OpenData& value);
    virtual bool do_visit(const GeneralizedTime& value);
    virtual bool do_visit(const SEQUENCE_OF_Base& value);

    virtual bool preVisitExtensionRoots(const SEQUENCE& seq);                      // the AbstractData one
    virtual bool visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex);   // false
    virtual bool preVisitExtensions(const SEQUENCE& seq);                          // true
    virtual bool visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex);  // false
    virtual bool afterVisitSequence(const SEQUENCE& seq);                          // true
};

} // namespace ASN1
