#pragma once
// The walk shared by the tests' value generators: a visitor that fills a
// value in place, asks per OPTIONAL field and extension addition whether it
// is present, and goes no deeper (and fills no more components) than its
// limits.
#include <cstddef>
#include <cstdint>

#include "asn1/ASN1.h"

namespace test {

class ValueFiller : public ASN1::Visitor {
public:
    VisitSeqResult visitExtensionRoot(ASN1::SEQUENCE& seq, std::size_t fieldIndex,
                                      std::int32_t optionalNumber) override
    {
        return field(seq, fieldIndex, optionalNumber) ? CONTINUE : FAIL;
    }
    VisitSeqResult visitKnownExtension(ASN1::SEQUENCE& seq, std::size_t fieldIndex,
                                       std::int32_t optionalNumber) override
    {
        return field(seq, fieldIndex, optionalNumber) ? CONTINUE : FAIL;
    }

protected:
    ValueFiller(unsigned maxDepth, unsigned maxComponents) : maxDepth_(maxDepth), maxComponents_(maxComponents) {}

    // Whether the OPTIONAL field or extension addition about to be filled is there.
    virtual bool present() = 0;

    // Fills a component one level down; false past a limit.
    bool nested(ASN1::AbstractData& value)
    {
        if (depth_ + 1 >= maxDepth_ || ++components_ > maxComponents_)
            return false;
        ++depth_;
        const bool ok = visit(value);
        --depth_;
        return ok;
    }
    // Gives the list `count` elements and fills each.
    bool elements(ASN1::SEQUENCE_OF_Base& value, std::size_t count)
    {
        value.resize(count);
        for (ASN1::AbstractData* element : value.container) {
            if (!nested(*element))
                return false;
        }
        return true;
    }
    unsigned depth() const { return depth_; }

private:
    bool field(ASN1::SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber)
    {
        if (optionalNumber >= 0) {
            if (!present()) {
                seq.removeOptionalField(optionalNumber);
                return true;
            }
            seq.includeOptionalField(optionalNumber, fieldIndex);
        }
        return seq.getField(fieldIndex) != nullptr && nested(*seq.getField(fieldIndex));
    }

    const unsigned maxDepth_;
    const unsigned maxComponents_;
    unsigned depth_ = 0;
    unsigned components_ = 0;
};

} // namespace test
