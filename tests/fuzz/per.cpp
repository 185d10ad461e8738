// Aligned PER as it arrives from outside: whatever decodes as a top-level
// type re-encodes, and the re-encoding decodes to an equal value.
#include "Fuzz.h"

#include "asn1/CoderEnv.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::decodeEachTopType(ASN1::CoderEnv::per_encoding, data, size);
    return 0;
}
