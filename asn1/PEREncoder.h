#pragma once
// Aligned PER encoder: writes one value by walking it as a ConstVisitor.
// After a failure the buffer holds a partial encoding; ASN1::encode drops it.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "asn1/Visitor.h"

namespace ASN1 {

class PEREncoder : public ConstVisitor {
public:
    // Writes to buffer, owned by the caller, from an octet boundary on.
    explicit PEREncoder(std::vector<char>& buffer, bool aligned = true)
        : encodedBuffer(buffer), alignedFlag(aligned) {}

    unsigned getBitOffset() const { return bitOffset; }

    // Low-level writes, most significant bit first.
    void encodeSingleBit(bool bit)
    {
        if (bitOffset == 8) {
            encodedBuffer.push_back(static_cast<char>(bit ? 0x80 : 0));
            bitOffset = 7;
            return;
        }
        --bitOffset;
        if (bit)
            encodedBuffer.back() = static_cast<char>(static_cast<unsigned char>(encodedBuffer.back()) | (1u << bitOffset));
        if (bitOffset == 0)
            bitOffset = 8;
    }
    void encodeMultiBit(std::uint32_t value, unsigned n)
    {
        // Most fields fit the room left in the last octet, or start one.
        if (n == 0 || n > bitOffset) {
            encodeBits(value, n);
            return;
        }
        const unsigned bits = value & ((1u << n) - 1);
        bitOffset -= n;
        if (bitOffset + n == 8)
            encodedBuffer.push_back(static_cast<char>(static_cast<unsigned char>(bits << bitOffset)));
        else
            encodedBuffer.back() = static_cast<char>(static_cast<unsigned char>(encodedBuffer.back()) | (bits << bitOffset));
        if (bitOffset == 0)
            bitOffset = 8;
    }
    void byteAlign() { bitOffset = 8; }
    void encodeByte(unsigned octet);
    void encodeBlock(const char* octets, std::size_t n);
    // Constrained whole number; false outside [lb, ub] (signed comparison when
    // lb is negative).
    bool encodeUnsigned(std::uint32_t value, std::uint32_t lb, std::uint32_t ub);
    // Length determinant; false outside [lb, ub] or for an unbounded 16384 or more.
    bool encodeLength(std::uint32_t len, std::uint32_t lb, std::uint32_t ub);
    void encodeSmallUnsigned(std::uint32_t n);
    // True when the unbounded form is to be used (writes the extension bit of
    // an ExtendableConstraint).
    bool encodeConstraint(const ConstrainedObject& object, std::uint32_t value);
    bool encodeConstrainedLength(const ConstrainedObject& object, std::uint32_t len);
    void encodeBitMap(const unsigned char* bits, std::uint32_t m);
    // Open type field; a null value gives the one octet 0x00.
    bool encodeAnyType(const AbstractData* value);

    using ConstVisitor::do_visit;
    bool do_visit(const Null& value) override;
    bool do_visit(const BOOLEAN& value) override;
    bool do_visit(const INTEGER& value) override;
    bool do_visit(const ENUMERATED& value) override;
    bool do_visit(const OBJECT_IDENTIFIER& value) override;
    bool do_visit(const BIT_STRING& value) override;
    bool do_visit(const OCTET_STRING& value) override;
    bool do_visit(const AbstractString& value) override;
    bool do_visit(const BMPString& value) override;
    bool do_visit(const CHOICE& value) override;
    bool do_visit(const OpenData& value) override;
    bool do_visit(const GeneralizedTime& value) override;
    bool do_visit(const SEQUENCE_OF_Base& value) override;

    bool preVisitExtensionRoots(const SEQUENCE& seq) override;
    bool visitExtensionRoot(const SEQUENCE& seq, std::size_t fieldIndex) override;
    bool preVisitExtensions(const SEQUENCE& seq) override;
    bool visitKnownExtension(const SEQUENCE& seq, std::size_t fieldIndex) override;

private:
    // encodeMultiBit across octets.
    void encodeBits(std::uint32_t value, unsigned n);

    std::vector<char>& encodedBuffer;
    unsigned bitOffset = 8;     // free bits of the last octet; 8: next bit starts an octet
    bool alignedFlag;
};

} // namespace ASN1
