#pragma once
// Request codes of the board's drivers, built as the board's processor
// (PowerPC Linux) builds them, whatever the host:
//   bits 31..29 direction (1 none, 2 read, 4 write, 6 read and write),
//   bits 28..16 record size, bits 15..8 type letter, bits 7..0 number.
// The host's _IO/_IOR/_IOW macros use another layout on most hosts and are
// never used for board requests.
#include <cstdint>

namespace IoctlCode {

enum Direction : std::uint32_t {
    None = 1,
    Read = 2,
    Write = 4,
    ReadWrite = 6,
};

constexpr std::uint32_t kMaxSize = 0x1FFF;

// Terminates the process; not constexpr, so a constant request that does not
// fit fails the build instead.
[[noreturn]] void requestDoesNotFit(unsigned number, unsigned size);

// A size above 13 bits or a number above 8 bits does not fit the encoding.
constexpr std::uint32_t make(Direction dir, char type, unsigned number, unsigned size)
{
    return size > kMaxSize || number > 0xFF
        ? (requestDoesNotFit(number, size), 0u)
        : (static_cast<std::uint32_t>(dir) << 29) | (static_cast<std::uint32_t>(size) << 16)
            | (static_cast<std::uint32_t>(static_cast<unsigned char>(type)) << 8) | number;
}

constexpr std::uint32_t io(char type, unsigned number) { return make(None, type, number, 0); }
constexpr std::uint32_t ior(char type, unsigned number, unsigned size) { return make(Read, type, number, size); }
constexpr std::uint32_t iow(char type, unsigned number, unsigned size) { return make(Write, type, number, size); }
constexpr std::uint32_t iowr(char type, unsigned number, unsigned size) { return make(ReadWrite, type, number, size); }

constexpr unsigned direction(std::uint32_t code) { return code >> 29; }
constexpr unsigned size(std::uint32_t code) { return (code >> 16) & kMaxSize; }
constexpr unsigned type(std::uint32_t code) { return (code >> 8) & 0xFF; }
constexpr unsigned number(std::uint32_t code) { return code & 0xFF; }

} // namespace IoctlCode
