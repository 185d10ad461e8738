#pragma once
// Aligned PER decoder: reads one value from [begin, end) into an existing
// value, creating components from their descriptors. Every read is checked
// against the end of the input; any failure ends the decode with false.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "asn1/Visitor.h"

namespace ASN1 {

class CoderEnv;

class PERDecoder : public Visitor {
public:
    // A saved position; a null pointer means that nothing is saved.
    struct memento_type {
        const char* position;
        unsigned bitOffset;
    };

    PERDecoder(const char* begin, const char* end, CoderEnv* env, bool aligned = true)
        : env(env), startPosition(begin), beginPosition(begin), endPosition(end), alignedFlag(aligned) {}

    // Low-level reads, most significant bit first.
    std::size_t getBitsLeft() const
    {
        return static_cast<std::size_t>(endPosition - beginPosition) * 8 + bitOffset - 8;
    }
    bool atEnd() const { return beginPosition >= endPosition; }
    // The next bit; 0 and no move when no bit is left.
    bool decodeSingleBit()
    {
        if (beginPosition >= endPosition)
            return false;
        --bitOffset;
        const bool bit = ((static_cast<unsigned char>(*beginPosition) >> bitOffset) & 1) != 0;
        if (bitOffset == 0) {
            ++beginPosition;
            bitOffset = 8;
        }
        return bit;
    }
    // The next n bits (n <= 32); false when n > 32 or too few bits are left.
    bool decodeMultiBit(unsigned n, std::uint32_t& out)
    {
        // Most fields lie within the current octet.
        if (n == 0 || n > bitOffset || beginPosition >= endPosition)
            return decodeBits(n, out);
        bitOffset -= n;
        out = (static_cast<unsigned char>(*beginPosition) >> bitOffset) & ((1u << n) - 1);
        if (bitOffset == 0) {
            ++beginPosition;
            bitOffset = 8;
        }
        return true;
    }
    void byteAlign();
    // Moves to p (at most endPosition), at an octet boundary.
    void setPosition(const char* p);
    const char* getPosition() const { return beginPosition; }
    unsigned getBitOffset() const { return bitOffset; }
    // Aligns and copies up to n octets; the number copied (0 for n = 0).
    std::size_t decodeBlock(char* dst, std::size_t n);
    // Constrained whole number in [lb, ub]: 0 on success, -1 on failure.
    int decodeUnsigned(std::uint32_t lb, std::uint32_t ub, std::uint32_t& out)
    {
        // A range of 2 to 255 is a bit field, mostly within the current octet.
        const std::uint32_t span = ub - lb;
        if (span - 1 < 254) {
            const unsigned n = CountBits(span + 1);
            if (n <= bitOffset && beginPosition < endPosition) {
                bitOffset -= n;
                out = lb + ((static_cast<unsigned char>(*beginPosition) >> bitOffset) & ((1u << n) - 1));
                if (bitOffset == 0) {
                    ++beginPosition;
                    bitOffset = 8;
                }
                return 0;
            }
        } else if (span - 255 < 65281 && beginPosition < endPosition) {
            // A range of 256 to 65536 is one or two aligned octets.
            const char* p = bitOffset == 8 ? beginPosition : beginPosition + 1;
            const std::ptrdiff_t octets = span == 255 ? 1 : 2;
            if (endPosition - p >= octets) {
                const std::uint32_t first = static_cast<unsigned char>(p[0]);
                const std::uint32_t value = octets == 1 ? first : first << 8 | static_cast<unsigned char>(p[1]);
                if (value <= span) {
                    beginPosition = p + octets;
                    bitOffset = 8;
                    out = lb + value;
                    return 0;
                }
            }
        }
        return decodeNumber(lb, ub, out);
    }
    // Length determinant: 0 on success, -1 on failure.
    int decodeLength(std::uint32_t lb, std::uint32_t ub, std::uint32_t& out);
    // Normally small number.
    bool decodeSmallUnsigned(std::uint32_t& out);
    // Length with the object's size constraint: 0 on success, -1 on failure.
    int decodeConstrainedLength(const ConstrainedObject& object, std::uint32_t& out);
    // m bits in map order into octets already sized for them.
    bool decodeBitMap(unsigned char* bits, std::uint32_t m)
    {
        if (m > 8)
            return decodeLongBitMap(bits, m);
        std::uint32_t first = 0;
        if (m > 0 && !decodeMultiBit(m, first))
            return false;
        if (m > 0)
            bits[0] = static_cast<unsigned char>(first << (8 - m));
        return true;
    }
    // The CHOICE header; selects and creates the alternative.
    bool decodeChoicePreamle(CHOICE& choice, memento_type& memento);

    bool do_visit(Null& value) override;
    bool do_visit(BOOLEAN& value) override;
    bool do_visit(INTEGER& value) override;
    bool do_visit(ENUMERATED& value) override;
    bool do_visit(OBJECT_IDENTIFIER& value) override;
    bool do_visit(OCTET_STRING& value) override;
    bool do_visit(BIT_STRING& value) override;
    bool do_visit(AbstractString& value) override;
    bool do_visit(BMPString& value) override;
    bool do_visit(CHOICE& value) override;
    bool do_visit(SEQUENCE_OF_Base& value) override;
    bool do_visit(OpenData& value) override;
    bool do_revisit(OpenData& value) override;
    bool do_visit(TypeConstrainedOpenData& value) override;
    bool do_visit(GeneralizedTime& value) override;

    bool do_visit(SEQUENCE& seq) override;

    // Where a failed decode stopped: the bit offset from the start of the
    // input and the field and alternative names leading to the failing value
    // ("pdu.signal.number"; empty for the outermost value).
    std::size_t failureBitOffset() const;
    std::string failurePath() const;

private:
    // decodeMultiBit across octets (and its failures).
    bool decodeBits(unsigned n, std::uint32_t& out);
    bool decodeLongBitMap(unsigned char* bits, std::uint32_t m);
    // decodeUnsigned in every other case.
    int decodeNumber(std::uint32_t lb, std::uint32_t ub, std::uint32_t& out);
    // An INTEGER coded with its length: unconstrained, partly constrained
    // or beyond its extensible range.
    bool decodeWholeNumber(INTEGER& value, ConstraintType type);
    bool decodeLongNumber(INTEGER& value, ConstraintType type);
    bool setWholeNumber(INTEGER& value, ConstraintType type, std::uint32_t octets, std::uint32_t v);
    // The index and open type length of an extension alternative.
    bool decodeExtensionIndex(const CHOICE& choice, std::uint32_t& id, memento_type& memento);
    bool decodeExtensionAlternative(CHOICE& value, const char* end);
    // The extension additions of a SEQUENCE whose extension bit is set.
    bool decodeExtensions(SEQUENCE& seq);
    bool decodeKnownExtension(SEQUENCE& seq, std::size_t fieldIndex, std::int32_t optionalNumber);
    // Records the stop position once and the name of a component the failure
    // passed through on its way out.
    void noteFailure(const char* name);

    CoderEnv* env;
    const char* startPosition;
    const char* beginPosition;
    const char* endPosition;
    unsigned bitOffset = 8;     // unread bits of the current octet; 8: at a boundary
    bool alignedFlag;
    bool failureNoted = false;
    std::size_t failureBit = 0;
    std::vector<const char*> failureNames;     // innermost first
};

} // namespace ASN1
