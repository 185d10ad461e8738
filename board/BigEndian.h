#pragma once
// Field access for driver records: every field is stored and read byte by
// byte, most significant byte first, whatever the host's byte order.
#include <cstdint>

namespace BigEndian {

inline void putU16(unsigned char* p, std::uint16_t v)
{
    p[0] = static_cast<unsigned char>(v >> 8);
    p[1] = static_cast<unsigned char>(v);
}

inline void putU32(unsigned char* p, std::uint32_t v)
{
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

inline void putI32(unsigned char* p, std::int32_t v) { putU32(p, static_cast<std::uint32_t>(v)); }

inline std::uint16_t getU16(const unsigned char* p)
{
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

inline std::uint32_t getU32(const unsigned char* p)
{
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16)
        | (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

// Two's complement conversion without implementation-defined narrowing.
inline std::int32_t getI32(const unsigned char* p)
{
    std::uint32_t u = getU32(p);
    return u <= 0x7FFFFFFFu ? static_cast<std::int32_t>(u)
                            : -static_cast<std::int32_t>(~u) - 1;
}

} // namespace BigEndian
