#include "protocol/Packet.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>

namespace {

// Pointer checks compare addresses as numbers: a broken pointer may lie
// anywhere.
std::uintptr_t address(const unsigned char* p) { return reinterpret_cast<std::uintptr_t>(p); }

bool inside(const _Packet* b, const unsigned char* p)
{
    return address(p) >= address(b->data) && address(p) <= address(b->data + _Packet::packet_max_size);
}

// Builds the pool before main, whichever module asks first.
struct PoolAtStartUp
{
    PoolAtStartUp() { packet_pool(); }
} pool_at_start_up;

const char hex_upper[] = "0123456789ABCDEF";

} // namespace

Packet_pool& packet_pool()
{
    static Packet_pool pool;
    return pool;
}

_Packet::_Packet(const _Packet& other)
    : refcount(0), head(data + (other.head - other.data)), tail(data + (other.tail - other.data))
{
    std::memcpy(head, other.head, other.tail - other.head);
}

bool _Packet::pointers_valid() const
{
    return inside(this, head) && inside(this, tail) && address(head) <= address(tail);
}

void* _Packet::operator new(std::size_t)
{
    _Packet* block = packet_pool().allocate();
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void _Packet::operator delete(void* block) noexcept
{
    packet_pool().deallocate(static_cast<_Packet*>(block));
}

template <>
void Smart_pointer<_Packet>::prepare_for_modify()
{
    if (ptr == nullptr || ptr->refcount <= 1)
        return;
    _Packet* copy = new _Packet(*ptr);   // throws before anything changed
    --ptr->refcount;                     // the other holders keep it
    ptr = copy;
    ++copy->refcount;
}

PacketInfo::PacketInfo(const _Packet* p)
{
    if (p == nullptr)
        return;
    null = false;
    headroom = static_cast<unsigned>(address(p->head) - address(p->data));
    length = static_cast<unsigned>(address(p->tail) - address(p->head));
    tailroom = static_cast<unsigned>(address(p->data + _Packet::packet_max_size) - address(p->tail));
    pointers_valid = p->pointers_valid();
    if (pointers_valid)
        bytes.assign(p->head, p->tail);
}

void PacketInfo::put(std::ostream& os) const
{
    if (null) {
        os << "(null)" << std::endl;
        return;
    }
    std::ios_base::fmtflags flags = os.flags();
    os << std::dec << "head=" << headroom << ", " << "data=" << length << ", " << "tail=" << tailroom << std::endl;
    if (!pointers_valid)
        os << "can't dump packet: wrong pointers" << std::endl;
    else if (!bytes.empty()) {
        os << "dump:" << std::endl << std::hex << std::nouppercase;
        for (unsigned char b : bytes)
            os << ' ' << static_cast<unsigned>(b);
        os << std::endl;
    }
    os.flags(flags);
}

void check_fail(const char* fmt, ...)
{
    char text[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(text, sizeof text, fmt, args);
    va_end(args);
    std::clog << "packet check fail" << std::endl << text << std::endl << "terminate." << std::endl;
    std::terminate();
}

void Packet::fail(const char* text) const
{
    std::clog << "PACKET ASSERTION FAILED!" << std::endl;
    PacketInfo info(get());
    std::clog << text << std::endl;
    info.put(std::clog);
    std::clog << std::endl;
    std::terminate();
}

void Packet::check(const char* op) const
{
    const _Packet* b = get();
    if (b == nullptr)
        check_fail("after \"%s\" packet is null", op);
    if (!inside(b, b->head))
        check_fail("after \"%s\" fdata invalid", op);
    if (!inside(b, b->tail))
        check_fail("after \"%s\" ftail invalid", op);
    if (address(b->head) > address(b->tail))
        check_fail("after \"%s\" fdata>ftail", op);
}

void Packet::reserve_head(unsigned n)
{
    passert(n <= packet_max_size, "length>packet_max_size");
    if (get() == nullptr) {
        _Packet* b = new _Packet();
        b->head = b->tail = b->data + n;
        Smart_pointer<_Packet>::operator=(b);
        return;
    }
    // The whole window moves: it must stay inside the block.
    passert(n <= packet_max_size - get()->_headroom() - get()->_length(), "new_len>packet_max_size");
    _Packet* b = writable();
    b->head += n;
    b->tail += n;
}

void Packet::reserve_tail(unsigned n)
{
    passert(n <= packet_max_size, "len>packet_max_size");
    if (get() == nullptr) {
        _Packet* b = new _Packet();
        b->head = b->tail = b->data + packet_max_size - n;
        Smart_pointer<_Packet>::operator=(b);
        return;
    }
    passert(n <= packet_max_size - get()->_tailroom() - get()->_length(), "_tailroom()+len <= packet_max_size");
    _Packet* b = writable();
    b->head -= n;
    b->tail -= n;
}

unsigned char* Packet::push(unsigned n)
{
    passert(get() != nullptr, "null packet");
    passert(n <= get()->_headroom(), "len<=_headroom()");
    _Packet* b = writable();
    b->head -= n;
    check("push");
    return b->head;
}

unsigned char* Packet::put(unsigned n)
{
    passert(get() != nullptr, "null packet");
    passert(n <= get()->_tailroom(), "len<=_tailroom()");
    _Packet* b = writable();
    unsigned char* old = b->tail;
    b->tail += n;
    check("put");
    return old;
}

unsigned char* Packet::pull(unsigned n)
{
    passert(get() != nullptr, "null packet");
    passert(n <= get()->_length(), "len<=_length()");
    _Packet* b = writable();
    unsigned char* old = b->head;
    b->head += n;
    return old;
}

void Packet::trim(unsigned n)
{
    passert(get() != nullptr, "null packet");
    passert(n <= get()->_length(), "len<=_length()");
    _Packet* b = writable();
    b->tail -= n;
    check("trim");
}

unsigned char& Packet::operator[](unsigned i)
{
    passert(get() != nullptr, "null packet");
    passert(i < get()->_length(), "index out of range");
    return writable()->head[i];
}

unsigned char Packet::operator[](unsigned i) const
{
    passert(get() != nullptr, "null packet");
    passert(i < get()->_length(), "index out of range");
    return get()->head[i];
}

unsigned char Packet::pull8()
{
    passert(get() != nullptr, "null packet");
    if (get()->_length() == 0)
        return 0;
    return *pull(1);
}

void Packet::push16_b(unsigned v)
{
    push8(static_cast<unsigned char>(v & 0xFF));
    push8(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Packet::put16_b(unsigned v)
{
    put8(static_cast<unsigned char>((v >> 8) & 0xFF));
    put8(static_cast<unsigned char>(v & 0xFF));
}

void Packet::put16(unsigned v)
{
    put8(static_cast<unsigned char>(v & 0xFF));
    put8(static_cast<unsigned char>((v >> 8) & 0xFF));
}

unsigned Packet::pull16_b()
{
    unsigned high = pull8();
    unsigned low = pull8();
    return (high << 8) | low;
}

unsigned Packet::pull16_l()
{
    unsigned low = pull8();
    unsigned high = pull8();
    return (high << 8) | low;
}

void Packet::put(const Packet& other)
{
    passert(get() != nullptr, "null packet");
    other.passert(other.get() != nullptr, "null packet");
    const unsigned n = other.length();   // fixed first: other may be this packet
    for (unsigned i = 0; i < n; ++i)
        put8(other[i]);
}

void Packet::put(const std::string& s)
{
    // One length byte: longer strings are cut to 255 bytes so the length holds.
    const unsigned n = s.size() > 255 ? 255 : static_cast<unsigned>(s.size());
    put8(static_cast<unsigned char>(n));
    for (unsigned i = 0; i < n; ++i)
        put8(static_cast<unsigned char>(s[i]));
}

std::string Packet::pull_string()
{
    unsigned n = pull8();
    std::string s;
    s.reserve(n);
    for (unsigned i = 0; i < n; ++i)
        s.push_back(static_cast<char>(pull8()));
    return s;
}

Packet Packet::sub(unsigned len, unsigned start) const
{
    passert(get() != nullptr, "null packet");
    passert(start <= get()->_length(), "start<=_length()");
    passert(len <= get()->_length() - start, "start+len<=_length()");
    _Packet* b = new _Packet();
    b->head = b->data + get()->_headroom() + start;
    b->tail = b->head + len;
    std::memcpy(b->head, get()->head + start, len);
    Packet result;
    result.Smart_pointer<_Packet>::operator=(b);
    return result;
}

std::string Packet::text() const
{
    const _Packet* b = get();
    if (b == nullptr)
        return "(null)";
    if (!b->pointers_valid())
        return "(bad)";
    const unsigned n = b->_length();
    std::string s;
    if (n == 0)
        return s;
    s.resize(n * 3 - 1, ' ');
    for (unsigned i = 0; i < n; ++i) {
        s[i * 3] = hex_upper[b->head[i] >> 4];
        s[i * 3 + 1] = hex_upper[b->head[i] & 0x0F];
    }
    return s;
}

bool Packet::dump(std::ostream& os) const
{
    const _Packet* b = get();
    if (b == nullptr)
        return false;
    std::ios_base::fmtflags flags = os.flags();
    os << std::dec << "head=" << b->_headroom() << ", " << "data=" << b->_length() << ", " << "tail=" << b->_tailroom();
    os.flags(flags);
    return true;
}

bool Packet::dump_context(std::ostream& os) const
{
    const _Packet* b = get();
    if (b == nullptr || !b->pointers_valid())
        return false;
    os.width(2);
    if (b->_length() == 0)
        return true;
    std::ios_base::fmtflags flags = os.flags();
    os << "dump:" << std::hex << std::nouppercase;
    for (const unsigned char* p = b->head; p != b->tail; ++p)
        os << ' ' << static_cast<unsigned>(*p);
    os.flags(flags);
    return true;
}

unsigned Packet::blocks_in_use()
{
    return Packet_pool::capacity() - packet_pool().free_count();
}

unsigned Packet::blocks_free()
{
    return packet_pool().free_count();
}
