#include "runtime/ExtStream.h"

namespace ext {

void OutBufInHex::Put(std::ostream& os) const
{
    const std::ios_base::fmtflags saved = os.flags();
    os.fill('0');
    for (const unsigned char* p = first; p < last; ++p) {
        os.flags(std::ios_base::hex | std::ios_base::uppercase | std::ios_base::right);
        os.width(2);
        os << static_cast<unsigned>(*p) << ' ';
    }
    os.fill(' ');
    os.flags(saved);
}

void OutUnsignedInHex::Put(std::ostream& os) const
{
    const std::ios_base::fmtflags saved = os.flags();
    os.fill('0');
    os << "0x";
    os.flags(std::ios_base::hex | std::ios_base::uppercase | std::ios_base::right);
    os.width(width);
    os << value;
    os.fill(' ');
    os.flags(saved);
}

} // namespace ext
