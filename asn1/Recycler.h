#pragma once
// Storage of ASN.1 value objects and SEQUENCE field tables. Blocks of up to
// 128 bytes go back to a stack of their size when released and are handed
// out again, so that decoding a message into fresh values, and destroying
// them, costs no trip to the heap once the stacks hold what a message needs.
// At most 128 blocks of each size wait; the rest go back to the heap. The
// process has one thread: the stacks are not locked.
//
// A stack of pointers rather than a list linked through the blocks: taking
// a block reads nothing from the block, and under AddressSanitizer a waiting
// block stays poisoned whole, so a use after release is caught.
#include <cstddef>

namespace ASN1 {
namespace Recycler {

namespace Detail {

constexpr std::size_t Grain = 16;       // sizes are kept in steps of 16 bytes
constexpr std::size_t Classes = 8;      // 16, 32, ..., 128
constexpr std::size_t Largest = Grain * Classes;
constexpr unsigned MaxWaiting = 128;

// The waiting blocks of one size, the last given back on top.
struct Stack {
    unsigned count;
    void* blocks[MaxWaiting];
};

// Zero before any constructor runs; never destroyed.
extern Stack stacks[Classes];

constexpr std::size_t classOf(std::size_t size) { return size == 0 ? 0 : (size - 1) / Grain; }

void* allocateNew(std::size_t size);
void releaseOld(void* block) noexcept;

#if defined(__SANITIZE_ADDRESS__)
void poison(void* block, std::size_t c) noexcept;
void unpoison(void* block, std::size_t c) noexcept;
#else
inline void poison(void*, std::size_t) noexcept {}
inline void unpoison(void*, std::size_t) noexcept {}
#endif

} // namespace Detail

// At least size bytes, aligned for any value; never null (the heap's
// allocation failure propagates).
inline void* allocate(std::size_t size)
{
    using namespace Detail;
    if (size > Largest)
        return allocateNew(size);
    const std::size_t c = classOf(size);
    Stack& stack = stacks[c];
    if (stack.count == 0)
        return allocateNew((c + 1) * Grain);
    void* block = stack.blocks[--stack.count];
    unpoison(block, c);
    return block;
}

// Gives back a block that allocate(size) returned, with the same size.
inline void release(void* block, std::size_t size) noexcept
{
    using namespace Detail;
    if (block == nullptr)
        return;
    const std::size_t c = classOf(size);
    if (size > Largest || stacks[c].count >= MaxWaiting)
        return releaseOld(block);
    poison(block, c);
    stacks[c].blocks[stacks[c].count++] = block;
}

} // namespace Recycler
} // namespace ASN1
