#pragma once
// Shared by the fuzz targets. Each target defines LLVMFuzzerTestOneInput; it
// is linked either with libFuzzer (clang) or with Replay.cpp, which runs it
// over files. A broken property ends the process through broken(), so both
// libFuzzer and a replay see it as a crash.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "asn1/AbstractData.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fuzz {

// Writes "property broken: <what>" to the process's standard error and aborts.
[[noreturn]] void broken(const std::string& what);

// Sends std::cout, std::cerr and std::clog nowhere: the daemon's log lines
// would only slow the run down.
void silenceStreams();

// Reads an input front to back; past its end every read gives zeros.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : at_(data), end_(data + size) {}

    std::size_t left() const { return static_cast<std::size_t>(end_ - at_); }
    unsigned byte() { return at_ < end_ ? *at_++ : 0u; }
    // Four octets, most significant first.
    std::uint32_t word();
    // A number in [0, n) for n > 0: one octet when n fits in it, else a word.
    std::uint32_t below(std::uint64_t n);
    // Up to n octets from the input.
    std::vector<char> take(std::size_t n);

private:
    const std::uint8_t* at_;
    const std::uint8_t* end_;
};

// The top-level types the coders meet from outside: the control message,
// the agent-link message and the two TERM messages.
struct TopType {
    const char* name;
    const ASN1::AbstractData::InfoType* info;
};
extern const TopType topTypes[];
extern const std::size_t topTypeCount;

// A value must encode with the rule, unless it breaks its constraints or
// may fail (mustEncode false); octets it encodes to must decode to an equal
// value. `what` names the value in the report.
void checkRecode(std::int32_t rule, const ASN1::AbstractData& value, const std::string& what, bool mustEncode = true);

// Decodes the input with the rule as each top-level type; each value that
// decodes must pass checkRecode.
void decodeEachTopType(std::int32_t rule, const std::uint8_t* data, std::size_t size);

// Lower-case hexadecimal of octets, for reports.
std::string hex(const std::vector<char>& octets);

} // namespace fuzz
