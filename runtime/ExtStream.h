#pragma once
// Stream helpers of log lines and dumps:
//   os << ext::header(this)        the object's own PutHeader(os)
//   os << ext::quoted(value)       "value"
//   os << ext::OutBufInHex(b, e)   "0A FF 01 " (upper-case pairs, a space after each)
//   os << ext::OutUnsignedInHex(0x1F, 4)   "0x001F"
// The hex writers leave the stream's flags as they were and its fill a space.
#include <cstddef>
#include <ostream>

namespace ext {

class OutBufInHex
{
public:
    OutBufInHex(const void* begin, const void* end)
        : first(static_cast<const unsigned char*>(begin)), last(static_cast<const unsigned char*>(end))
    {
    }
    OutBufInHex(const void* data, std::size_t size)
        : first(static_cast<const unsigned char*>(data)), last(first + size)
    {
    }
    void Put(std::ostream& os) const;

private:
    const unsigned char* first;
    const unsigned char* last;
};

class OutUnsignedInHex
{
public:
    OutUnsignedInHex(unsigned value, int width) : value(value), width(width) {}
    void Put(std::ostream& os) const;

private:
    unsigned value;
    int width;
};

inline std::ostream& operator<<(std::ostream& os, const OutBufInHex& hex)
{
    hex.Put(os);
    return os;
}

inline std::ostream& operator<<(std::ostream& os, const OutUnsignedInHex& hex)
{
    hex.Put(os);
    return os;
}

template <class X>
struct OutObjHeader
{
    const X* object;
};

// Every class logged this way provides `void PutHeader(std::ostream&) const`.
template <class X>
OutObjHeader<X> header(const X* object)
{
    return OutObjHeader<X>{object};
}

template <class X>
std::ostream& operator<<(std::ostream& os, const OutObjHeader<X>& h)
{
    h.object->PutHeader(os);
    return os;
}

template <class T>
struct OutQuoted
{
    const T* value;
};

template <class T>
OutQuoted<T> quoted(const T& value)
{
    return OutQuoted<T>{&value};
}

template <class T>
std::ostream& operator<<(std::ostream& os, const OutQuoted<T>& q)
{
    return os << '"' << *q.value << '"';
}

} // namespace ext
