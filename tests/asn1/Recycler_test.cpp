// Coding a control message takes nothing from the heap once warm: the
// encoder appends to the caller's vector and values come from recycled
// storage. Counted by this binary's own operator new, which the address
// sanitizer's would replace: the host's sanitized build skips the test, the
// target's build runs it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iterator>
#include <new>
#include <vector>

#include "TestSchema.h"

#if !defined(__SANITIZE_ADDRESS__)
namespace {
std::size_t heapAllocations = 0;
}

void* operator new(std::size_t size)
{
    ++heapAllocations;
    if (void* block = std::malloc(size != 0 ? size : 1))
        return block;
    throw std::bad_alloc();
}

void operator delete(void* block) noexcept
{
    std::free(block);
}

void operator delete(void* block, std::size_t) noexcept
{
    std::free(block);
}
#endif

TEST(Recycler, CodingAMessageTakesNothingFromTheHeapOnceWarm)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer counts its own allocations";
#else
    Demo::Message message;
    message.includeOptionalField(Demo::Message::e_seq, 0);
    message.set_seq(70000);
    message.get_pdu().set_command().set_connect(40);
    std::vector<char> octets;
    octets.reserve(256);
    auto round = [&] {
        ASN1::CoderEnv env;
        octets.clear();
        EXPECT_TRUE(ASN1::encode(message, &env, std::back_inserter(octets)));
        Demo::Message received;
        EXPECT_TRUE(ASN1::decode(octets.data(), octets.data() + octets.size(), &env, received, true));
        EXPECT_EQ(received.compare(message), 0);
    };
    round();
    const std::size_t warm = heapAllocations;
    for (int i = 0; i < 10; ++i)
        round();
    EXPECT_EQ(heapAllocations, warm);
#endif
}
