#pragma once
// The only way octets and ASN.1 values meet: ASN1::encode and ASN1::decode,
// with a CoderEnv naming the encoding rule. Bool results, nothing thrown; the
// output vector receives whole encodings only.
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <loki/AssocVector.h>

#include "asn1/AbstractData.h"

namespace ASN1 {

// A registered ASN.1 module; nothing in the gateway registers one.
class Module;

typedef std::back_insert_iterator<std::vector<char>> OctetInserter;

class CoderEnv {
public:
    enum EncodingRule : std::int32_t {
        avn_encoding = 0,   // value notation
        ber_encoding = 1,
        per_encoding = 2    // aligned PER
    };

    struct StringListeralCmp {
        typedef const char* first_argument_type;    // what AssocVector expects
        typedef const char* second_argument_type;
        typedef bool result_type;
        bool operator()(const char* a, const char* b) const { return std::strcmp(a, b) < 0; }
    };
    typedef Loki::AssocVector<const char*, Module*, StringListeralCmp> ModuleMap;

    explicit CoderEnv(std::int32_t rule = per_encoding) : encodingRule(rule) {}

    std::int32_t get_encodingRule() const { return encodingRule; }
    void set_encodingRule(std::int32_t rule) { encodingRule = rule; }
    ModuleMap& getModules() { return modules; }

    // Each appends to out only when the whole value encoded.
    bool encodePER(const AbstractData& value, OctetInserter out);
    bool encodeBER(const AbstractData& value, OctetInserter out);
    bool encodeAVN(const AbstractData& value, OctetInserter out);
    // Fills value (already of the expected type) in place; on failure it is
    // left partly filled and must be discarded. With defer the nested
    // open-type decoders get no environment.
    bool decode(const char* begin, const char* end, AbstractData& value, bool defer);

    std::int32_t encodingRule;
    ModuleMap modules;
    // Where the last failed decode stopped: bit offset from the start of the
    // input and the names leading to the failing value (PERDecoder).
    std::size_t decodeFailureBit = 0;
    std::string decodeFailurePath;
};

// Rule 2 (aligned PER) for every message of the gateway; rule 0 writes and
// reads value notation, rule 1 BER; any other rule fails with out unchanged.
bool encode(const AbstractData& value, CoderEnv* env, OctetInserter out);
inline bool decode(const char* begin, const char* end, CoderEnv* env, AbstractData& value, bool defer)
{
    return env != nullptr && env->decode(begin, end, value, defer);
}

} // namespace ASN1
