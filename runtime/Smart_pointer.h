#pragma once
// Intrusive reference-counting pointer. The pointee carries its own count in a
// public member `unsigned refcount` that only Smart_pointer changes; objects are
// created with a count of 0 and are owned by the Smart_pointers that hold them.
// When the last holder goes the object is deleted with its own operator delete
// (the packet buffer uses that to return to its pool).
//
// A null dereference is a programming error: it ends the process through
// SmartPtrAssertion().
//
// The non-const dereference first calls prepare_for_modify(); it does nothing
// here, and a pointee that needs copy-on-write specialises it for its type
// (template<> void Smart_pointer<X>::prepare_for_modify();) before first use.

// Write "SMART POINTER ASSERTION!" to std::clog and terminate.
[[noreturn]] void SmartPtrAssertion();
// Write "SHARED POINTER ASSERTION!" to std::clog and terminate.
[[noreturn]] void SharedPtrAssertion();

template <class T>
class Smart_pointer
{
public:
    Smart_pointer(T* p = nullptr) : ptr(p) { acquire(ptr); }
    Smart_pointer(const Smart_pointer& other) : ptr(other.ptr) { acquire(ptr); }
    ~Smart_pointer() { release(); }

    // The new reference is taken before the old one is dropped, so assigning
    // the object already held keeps it alive.
    Smart_pointer& operator=(const Smart_pointer& other) { return assign(other.ptr); }
    Smart_pointer& operator=(T* p) { return assign(p); }

    T* operator->()
    {
        if (ptr == nullptr)
            SmartPtrAssertion();
        prepare_for_modify();
        return ptr;
    }
    T& operator*() { return *operator->(); }
    const T* operator->() const
    {
        if (ptr == nullptr)
            SmartPtrAssertion();
        return ptr;
    }
    const T& operator*() const { return *operator->(); }

    // The held pointer without any check or copy.
    T* get() const { return ptr; }
    bool isNull() const { return ptr == nullptr; }
    explicit operator bool() const { return ptr != nullptr; }
    bool operator!() const { return ptr == nullptr; }

    bool operator==(const Smart_pointer& other) const { return ptr == other.ptr; }
    bool operator!=(const Smart_pointer& other) const { return ptr != other.ptr; }
    bool operator==(const T* p) const { return ptr == p; }
    bool operator!=(const T* p) const { return ptr != p; }

    // Makes the held object private to this holder before a change.
    void prepare_for_modify() {}

private:
    static void acquire(T* p)
    {
        if (p != nullptr)
            ++p->refcount;
    }

    Smart_pointer& assign(T* p)
    {
        acquire(p);
        release();
        ptr = p;
        return *this;
    }

    void release()
    {
        if (ptr == nullptr)
            return;
        T* p = ptr;
        if (p->refcount > 0)
            --p->refcount;
        if (p->refcount == 0) {
            ptr = nullptr;
            dispose(p);
        }
    }

    // Kept out of line: where holders of one object are released one after
    // another in a single function, the compiler cannot follow the count
    // between them and would take the later holders' reads for reads of an
    // object an earlier holder deleted.
    [[gnu::noinline]] static void dispose(T* p) { delete p; }

    T* ptr;
};
