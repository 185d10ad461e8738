#pragma once
// Storage of ASN.1 value objects and SEQUENCE field tables. Blocks of up to
// 128 bytes go back to a free list of their size when released and are
// handed out again, so that decoding a message into fresh values, and
// destroying them, costs no trip to the heap once the lists hold what a
// message needs. At most 128 blocks of each size wait on a list; the rest go
// back to the heap. The process has one thread: the lists are not locked.
//
// Under AddressSanitizer a waiting block stays poisoned (but for the link to
// the next one), so a use after release is still caught.
#include <cstddef>

namespace ASN1 {
namespace Recycler {

namespace Detail {

constexpr std::size_t Grain = 16;       // sizes are kept in steps of 16 bytes
constexpr std::size_t Classes = 8;      // 16, 32, ..., 128
constexpr std::size_t Largest = Grain * Classes;
constexpr unsigned MaxWaiting = 128;

// A waiting block keeps the link in its second word: the first is a value's
// virtual table pointer, poisoned while it waits.
struct Block {
    void* first;
    Block* next;
};

struct FreeList {
    Block* head;
    unsigned count;
};

// Zero before any constructor runs; never destroyed.
extern FreeList lists[Classes];

constexpr std::size_t classOf(std::size_t size) { return size == 0 ? 0 : (size - 1) / Grain; }

void* allocateNew(std::size_t size);
void releaseOld(void* block) noexcept;

#if defined(__SANITIZE_ADDRESS__)
void poison(Block* block, std::size_t c) noexcept;
void unpoison(Block* block, std::size_t c) noexcept;
#else
inline void poison(Block*, std::size_t) noexcept {}
inline void unpoison(Block*, std::size_t) noexcept {}
#endif

inline void* take(FreeList& list, std::size_t c)
{
    Block* block = list.head;
    unpoison(block, c);
    list.head = block->next;
    --list.count;
    return block;
}

inline void put(FreeList& list, std::size_t c, void* block) noexcept
{
    Block* waiting = static_cast<Block*>(block);
    waiting->next = list.head;
    list.head = waiting;
    ++list.count;
    poison(waiting, c);
}

} // namespace Detail

// At least size bytes, aligned for any value; never null (the heap's
// allocation failure propagates).
inline void* allocate(std::size_t size)
{
    using namespace Detail;
    if (size > Largest)
        return allocateNew(size);
    const std::size_t c = classOf(size);
    return lists[c].head != nullptr ? take(lists[c], c) : allocateNew((c + 1) * Grain);
}

// Gives back a block that allocate(size) returned, with the same size.
inline void release(void* block, std::size_t size) noexcept
{
    using namespace Detail;
    if (block == nullptr)
        return;
    const std::size_t c = classOf(size);
    if (size > Largest || lists[c].count >= MaxWaiting)
        releaseOld(block);
    else
        put(lists[c], c, block);
}

} // namespace Recycler
} // namespace ASN1
