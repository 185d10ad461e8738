#include "asn1/Recycler.h"

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace ASN1 {
namespace Recycler {
namespace Detail {

FreeList lists[Classes];

void* allocateNew(std::size_t size)
{
    return ::operator new(size);
}

void releaseOld(void* block) noexcept
{
    ::operator delete(block);
}

#if defined(__SANITIZE_ADDRESS__)
// The link stays readable: the leak checker follows it.
void poison(Block* block, std::size_t c) noexcept
{
    ASAN_POISON_MEMORY_REGION(&block->first, sizeof block->first);
    ASAN_POISON_MEMORY_REGION(block + 1, (c + 1) * Grain - sizeof(Block));
}

void unpoison(Block* block, std::size_t c) noexcept
{
    ASAN_UNPOISON_MEMORY_REGION(block, (c + 1) * Grain);
}
#endif

} // namespace Detail
} // namespace Recycler
} // namespace ASN1
