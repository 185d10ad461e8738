#include "asn1/Recycler.h"

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace ASN1 {
namespace Recycler {
namespace Detail {

Stack stacks[Classes];

void* allocateNew(std::size_t size)
{
    return ::operator new(size);
}

void releaseOld(void* block) noexcept
{
    ::operator delete(block);
}

#if defined(__SANITIZE_ADDRESS__)
void poison(void* block, std::size_t c) noexcept
{
    ASAN_POISON_MEMORY_REGION(block, (c + 1) * Grain);
}

void unpoison(void* block, std::size_t c) noexcept
{
    ASAN_UNPOISON_MEMORY_REGION(block, (c + 1) * Grain);
}
#endif

} // namespace Detail
} // namespace Recycler
} // namespace ASN1
