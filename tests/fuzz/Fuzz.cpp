#include "Fuzz.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <memory>
#include <streambuf>

#include "asn1/CoderEnv.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "asn1/modules/TERM.h"

namespace fuzz {

namespace {

// Takes every character and keeps none.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

} // namespace

void broken(const std::string& what)
{
    // Printed values may hold any octet: control characters as \xNN.
    std::string text;
    for (char c : what) {
        const unsigned octet = static_cast<unsigned char>(c);
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02x", octet);
        text += (octet < 0x20 && c != '\n') || octet >= 0x7F ? std::string(escaped) : std::string(1, c);
    }
    std::fprintf(stderr, "property broken: %s\n", text.c_str());
    std::fflush(stderr);
    std::abort();
}

void silenceStreams()
{
    // Never destroyed: the standard streams are flushed after every static.
    static NullBuffer* const nowhere = new NullBuffer;
    std::cout.rdbuf(nowhere);
    std::cerr.rdbuf(nowhere);
    std::clog.rdbuf(nowhere);
}

std::uint32_t Bytes::word()
{
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i)
        w = w << 8 | byte();
    return w;
}

std::uint32_t Bytes::below(std::uint64_t n)
{
    const std::uint64_t pick = n <= 256 ? byte() : word();
    return static_cast<std::uint32_t>(pick % n);
}

std::vector<char> Bytes::take(std::size_t n)
{
    if (n > left())
        n = left();
    std::vector<char> out(at_, at_ + n);
    at_ += n;
    return out;
}

const TopType topTypes[] = {
    {"LGCP::Message", &LGCP::Message::theInfo},
    {"MON::Message", &MON::Message::theInfo},
    {"TERM::TermPDU", &TERM::TermPDU::theInfo},
    {"TERM::RtpRadioRequest", &TERM::RtpRadioRequest::theInfo},
};
const std::size_t topTypeCount = sizeof topTypes / sizeof topTypes[0];

void checkRecode(std::int32_t rule, const ASN1::AbstractData& value, const std::string& what, bool mustEncode)
{
    ASN1::CoderEnv env(rule);
    std::vector<char> octets;
    if (!ASN1::encode(value, &env, std::back_inserter(octets))) {
        if (mustEncode && value.isValid())
            broken(what + ": a valid value does not encode: " + value.asValueNotation());
        return;
    }
    std::unique_ptr<ASN1::AbstractData> back(value.info()->create(value.info()));
    if (!ASN1::decode(octets.data(), octets.data() + octets.size(), &env, *back, true))
        broken(what + ": its encoding " + hex(octets) + " does not decode: " + value.asValueNotation());
    if (back->compare(value) != 0)
        broken(what + ": " + value.asValueNotation() + " encodes as " + hex(octets) + ", which decodes as " +
               back->asValueNotation());
}

void decodeEachTopType(std::int32_t rule, const std::uint8_t* data, std::size_t size)
{
    const char* begin = reinterpret_cast<const char*>(data);
    for (std::size_t i = 0; i < topTypeCount; ++i) {
        const ASN1::AbstractData::InfoType* info = topTypes[i].info;
        std::unique_ptr<ASN1::AbstractData> value(info->create(info));
        ASN1::CoderEnv env(rule);
        if (ASN1::decode(begin, begin + size, &env, *value, true))
            checkRecode(rule, *value, topTypes[i].name);
    }
}

std::string hex(const std::vector<char>& octets)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (char c : octets) {
        const unsigned octet = static_cast<unsigned char>(c);
        text += digits[octet >> 4];
        text += digits[octet & 15];
    }
    return text;
}

} // namespace fuzz
