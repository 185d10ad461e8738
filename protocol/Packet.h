#pragma once
// The byte buffer of every protocol layer.
//
// A Packet is a one-word, reference-counted, copy-on-write handle to a fixed
// block of 65536 data bytes taken from a static pool of 1024 blocks. A sender
// reserves room, pushes headers in front and appends at the back; a receiver
// pulls from the front and trims from the back. Every bound is asserted: a
// broken bound prints a dump of the packet and terminates the process.
//
// Ownership: the block belongs to the handles that point to it; the last one
// to go returns it to the pool. Every changing operation first makes the block
// private to the handle (copy-on-write), so a handle kept elsewhere (a queue,
// a retransmission buffer) never sees later changes made through another one.
//
// Pool exhaustion: taking a block (reserve_head/reserve_tail on a null packet,
// or the copy of a shared block) throws std::bad_alloc and leaves the packet
// in hand unchanged. Readers catch it and drop their data.
#include <cstddef>
#include <new>
#include <iosfwd>
#include <string>
#include <vector>

#include "runtime/F_dual_list.h"
#include "runtime/Smart_pointer.h"

// One pool block. Invariant: data <= head <= tail <= data + packet_max_size.
struct _Packet
{
    static const unsigned packet_max_size = 65536;

    // Fresh block: no tail room, full head room.
    _Packet() : refcount(0), head(data + packet_max_size), tail(head) {}
    // Copies only head..tail, at the same offsets.
    _Packet(const _Packet& other);
    _Packet& operator=(const _Packet&) = delete;

    unsigned _headroom() const { return static_cast<unsigned>(head - data); }
    unsigned _length() const { return static_cast<unsigned>(tail - head); }
    unsigned _tailroom() const { return static_cast<unsigned>(data + packet_max_size - tail); }
    // Head and tail lie inside the data area, head not after tail.
    bool pointers_valid() const;

    // Blocks come from and go back to the packet pool; new throws
    // std::bad_alloc when the pool is empty.
    static void* operator new(std::size_t size);
    static void operator delete(void* block) noexcept;

    unsigned refcount;
    unsigned char* head;
    unsigned char* tail;
    unsigned char data[packet_max_size];
};

// Copy-on-write: a block with more than one holder is copied before a change.
template <>
void Smart_pointer<_Packet>::prepare_for_modify();

// Single-threaded process: no locking.
struct Dummy_critical_section
{
    void lock() {}
    void unlock() {}
};

// Fixed pool of N records {next, prev, T} in zero-initialised static memory and
// a free list in address order. Freed blocks go to the tail, so a block is
// handed out again only after every block that was free before it.
template <class T, unsigned N, class Lock>
class List_allocator
{
public:
    // Builds every record and links them all into the free list.
    List_allocator()
    {
        Record* records = reinterpret_cast<Record*>(storage);
        for (unsigned i = 0; i < N; ++i) {
            Record* r = new (records + i) Record;   // T fresh
            r->next = r->prev = nullptr;
        }
        free_list.init(records, N);
    }
    List_allocator(const List_allocator&) = delete;
    List_allocator& operator=(const List_allocator&) = delete;

    struct Record
    {
        Record* next;
        Record* prev;
        T object;
    };

    T* allocate()
    {
        lock.lock();
        Record* r = free_list.remove_from_head();
        lock.unlock();
        return r != nullptr ? &r->object : nullptr;
    }

    void deallocate(T* object)
    {
        lock.lock();
        free_list.insert_to_tail(record_of(object));
        lock.unlock();
    }

    unsigned free_count() const { return free_list.count(); }
    static unsigned capacity() { return N; }

private:
    static Record* record_of(T* object)
    {
        return reinterpret_cast<Record*>(reinterpret_cast<unsigned char*>(object) - offsetof(Record, object));
    }

    alignas(Record) unsigned char storage[sizeof(Record) * N];
    F_dual_list<Record, Record> free_list;
    Lock lock;
};

using Packet_pool = List_allocator<_Packet, 1024, Dummy_critical_section>;
// The one pool, built on first use (at the latest before main), in static memory.
Packet_pool& packet_pool();

// Snapshot printed by a failed packet assertion.
struct PacketInfo
{
    PacketInfo() = default;
    explicit PacketInfo(const _Packet* p);
    // "(null)", or "head=.., data=.., tail=.." and a dump of the bytes.
    void put(std::ostream& os) const;

    bool null = true;
    bool pointers_valid = false;
    unsigned headroom = 0;
    unsigned length = 0;
    unsigned tailroom = 0;
    std::vector<unsigned char> bytes;
};

class Packet : public Smart_pointer<_Packet>
{
public:
    static const unsigned packet_max_size = _Packet::packet_max_size;

    Packet() = default;

    // 0 for a null packet.
    unsigned length() const { return get() != nullptr ? get()->_length() : 0; }
    bool empty() const { return length() == 0; }
    unsigned headroom() const { return get() != nullptr ? get()->_headroom() : 0; }
    unsigned tailroom() const { return get() != nullptr ? get()->_tailroom() : 0; }
    // The first data byte, valid while the block is held and unchanged; null
    // for a null packet. Never copies.
    const unsigned char* data() const { return get() != nullptr ? get()->head : nullptr; }

    // Null packet: takes a block with head = tail = start + n. Otherwise moves
    // the (empty) window forward by n.
    void reserve_head(unsigned n);
    // Null packet: takes a block with head = tail = end - n. Otherwise moves
    // the window back by n.
    void reserve_tail(unsigned n);

    // Each returns where the n bytes are (new head, old tail, old head).
    unsigned char* push(unsigned n);
    unsigned char* put(unsigned n);
    unsigned char* pull(unsigned n);
    void trim(unsigned n);

    // Writable (unshares) and read-only byte access.
    unsigned char& operator[](unsigned i);
    unsigned char operator[](unsigned i) const;

    void push8(unsigned char b) { *push(1) = b; }
    void put8(unsigned char b) { *put(1) = b; }
    unsigned char pull8();                 // 0 from an empty packet
    void push16_b(unsigned v);             // big-endian in the buffer
    void put16_b(unsigned v);              // big-endian
    void put16(unsigned v);                // little-endian
    unsigned pull16_b();                   // a missing byte counts as 0
    unsigned pull16_l();

    void put(const Packet& other);          // appends other's bytes
    void put(const std::string& s);         // length byte, then the bytes (at most 255)
    std::string pull_string();
    Packet sub(unsigned len, unsigned start) const;

    // "01 AB"; "(null)"; "(bad)" for broken pointers.
    std::string text() const;
    bool dump(std::ostream& os) const;
    bool dump_context(std::ostream& os) const;

    // Validates the pointers after operation op; fatal on failure.
    void check(const char* op) const;
    // Fatal with a dump of this packet unless cond holds.
    void passert(bool cond, const char* text) const
    {
        if (!cond)
            fail(text);
    }
    // The invariant, for tests: null, or pointers inside the block.
    bool valid() const { return get() == nullptr || get()->pointers_valid(); }

    // Pool figures.
    static unsigned blocks_in_use();
    static unsigned blocks_free();

private:
    [[noreturn]] void fail(const char* text) const;
    _Packet* writable()
    {
        prepare_for_modify();
        return get();
    }
};

// Writes "packet check fail", the formatted text and "terminate." to std::clog
// and terminates.
[[noreturn]] void check_fail(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
