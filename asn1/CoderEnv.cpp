#include "asn1/CoderEnv.h"

#include <algorithm>
#include <sstream>
#include <string>

#include "asn1/AVNDecoder.h"
#include "asn1/BERDecoder.h"
#include "asn1/BEREncoder.h"
#include "asn1/AVNEncoder.h"
#include "asn1/PERDecoder.h"
#include "asn1/PEREncoder.h"

namespace ASN1 {
namespace {

// The vector an inserter appends to.
std::vector<char>& containerOf(OctetInserter out)
{
    struct Inserter : OctetInserter {
        explicit Inserter(OctetInserter it) : OctetInserter(it) {}
        std::vector<char>& target() const { return *container; }
    };
    return Inserter(out).target();
}

} // namespace

// The encoder appends to the caller's vector in place (room for 256 more
// octets first); a failure cuts the vector back, so only whole encodings
// stay in it and no temporary vector is made.
bool CoderEnv::encodePER(const AbstractData& value, OctetInserter out)
{
    std::vector<char>& octets = containerOf(out);
    const std::size_t start = octets.size();
    octets.reserve(start + 256);
    PEREncoder encoder(octets);
    if (value.accept(encoder))
        return true;
    octets.resize(start);
    return false;
}

bool CoderEnv::encodeBER(const AbstractData& value, OctetInserter out)
{
    std::vector<char> octets;
    octets.reserve(256);
    BEREncoder encoder(octets);
    if (!value.accept(encoder))
        return false;
    std::copy(octets.begin(), octets.end(), out);
    return true;
}

bool CoderEnv::encodeAVN(const AbstractData& value, OctetInserter out)
{
    std::ostringstream strm;
    AVNEncoder printer(strm);
    if (!value.accept(printer))
        return false;
    const std::string text = strm.str();
    std::copy(text.begin(), text.end(), out);
    return true;
}

namespace {

bool decodeAVN(const char* begin, const char* end, AbstractData& value)
{
    std::istringstream text(std::string(begin, end));
    AVNDecoder parser(text);
    return value.accept(parser);
}

bool decodeBER(const char* begin, const char* end, AbstractData& value, CoderEnv* env)
{
    BERDecoder decoder(begin, end, env);
    return value.accept(decoder);
}

} // namespace

bool CoderEnv::decode(const char* begin, const char* end, AbstractData& value, bool defer)
{
    if (encodingRule != per_encoding) {
        if (encodingRule == avn_encoding)
            return decodeAVN(begin, end, value);
        if (encodingRule == ber_encoding)
            return decodeBER(begin, end, value, defer ? nullptr : this);
        return false;
    }
    PERDecoder decoder(begin, end, defer ? nullptr : this);
    if (value.accept(decoder))
        return true;
    decodeFailureBit = decoder.failureBitOffset();
    decodeFailurePath = decoder.failurePath();
    return false;
}

bool encode(const AbstractData& value, CoderEnv* env, OctetInserter out)
{
    if (env == nullptr)
        return false;
    switch (env->get_encodingRule()) {
    case CoderEnv::per_encoding:
        return env->encodePER(value, out);
    case CoderEnv::ber_encoding:
        return env->encodeBER(value, out);
    case CoderEnv::avn_encoding:
        return env->encodeAVN(value, out);
    default:
        return false;
    }
}

} // namespace ASN1
