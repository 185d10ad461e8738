#pragma once
// Test support for the message modules: PER coding, random values of any
// type, and a walk over the descriptors a type reaches.
#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "asn1/ASN1.h"

namespace ModulesTest {

// Aligned PER; false when the value cannot be encoded (out is then empty).
bool encodePer(const ASN1::AbstractData& value, std::vector<char>& out);
bool decodePer(const std::vector<char>& in, ASN1::AbstractData& value);
// Lower-case hexadecimal, two digits an octet; "-" for no octets.
std::string hex(const std::vector<char>& octets);
// The octets of a hexadecimal text ("-" none); false when it is not one.
bool unhex(const std::string& text, std::vector<char>& out);

// A small deterministic generator (splitmix64), the same on every host.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    // Uniform in [0, n); n > 0.
    std::uint32_t below(std::uint64_t n) { return static_cast<std::uint32_t>(next() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }

private:
    std::uint64_t state_;
};

// A new value of the type, every component filled at random within the
// constraints: all CHOICE alternatives and OPTIONAL fields and extension
// additions are taken, ENUMERATED values range over 0..maximum, lists hold a
// few elements. The value always encodes.
std::unique_ptr<ASN1::AbstractData> randomValue(const ASN1::AbstractData::InfoType* info, Random& random);

// Fills an existing value in place.
void fillRandom(ASN1::AbstractData& value, Random& random);

// The descriptors of the type and of every type its components reach.
std::set<const ASN1::AbstractData::InfoType*> reachable(const ASN1::AbstractData::InfoType* info);

// Components of a constructed type: SEQUENCE fields (with extension
// additions), CHOICE alternatives, or the element of a SEQUENCE OF.
void components(const ASN1::AbstractData::InfoType* info,
                std::vector<const ASN1::AbstractData::InfoType*>& out);

} // namespace ModulesTest
