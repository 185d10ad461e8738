#pragma once
// Circular doubly linked node. A list is a head node; an empty list's head
// points to itself both ways. Objects embed a node as a member and get back
// to themselves from it with Containers::offset.
#include <cstddef>
#include <cstring>

namespace Containers {

struct CyclicList
{
    template <class Ref, class Ptr>
    class TIterator
    {
    public:
        explicit TIterator(Ptr n = nullptr) : node(n) {}
        TIterator& operator++()
        {
            node = node->next;
            return *this;
        }
        Ref operator*() const { return *node; }
        Ptr operator->() const { return node; }
        bool operator==(const TIterator& other) const { return node == other.node; }
        bool operator!=(const TIterator& other) const { return node != other.node; }

    private:
        Ptr node;
    };
    using iterator = TIterator<CyclicList&, CyclicList*>;
    using const_iterator = TIterator<const CyclicList&, const CyclicList*>;

    CyclicList() { InternalInit(); }
    CyclicList(const CyclicList&) = delete;
    CyclicList& operator=(const CyclicList&) = delete;

    // Empty list, or unlinked node.
    void InternalInit() { next = prev = this; }

    // Links the two nodes to each other, dropping whatever lay between them.
    static void InternalDel(CyclicList* before, CyclicList* after)
    {
        before->next = after;
        after->prev = before;
    }

    // Links a free node before this head, that is at the tail of the list.
    void InternalAddTail(CyclicList* node)
    {
        node->next = this;
        node->prev = prev;
        prev->next = node;
        prev = node;
    }

    // Unlinks this node from its list and makes it a free node.
    void Unlink()
    {
        InternalDel(prev, next);
        InternalInit();
    }

    bool empty() const { return next == this; }

    iterator begin() { return iterator(next); }
    iterator end() { return iterator(this); }
    const_iterator begin() const { return const_iterator(next); }
    const_iterator end() const { return const_iterator(this); }

    CyclicList* next;
    CyclicList* prev;
};

// The T object that holds node as its member `member`. A data member pointer
// is the member's byte offset in the Itanium C++ ABI used by every target of
// this program; reading it avoids forming a member access on a fake object.
template <class T>
T* offset(CyclicList* node, CyclicList T::*member)
{
    static_assert(sizeof(member) == sizeof(std::ptrdiff_t), "data member pointer is an offset");
    std::ptrdiff_t bytes;
    std::memcpy(&bytes, &member, sizeof(bytes));
    return reinterpret_cast<T*>(reinterpret_cast<char*>(node) - bytes);
}

template <class T>
const T* offset(const CyclicList* node, CyclicList T::*member)
{
    return offset(const_cast<CyclicList*>(node), member);
}

} // namespace Containers
