#pragma once
// IPv4 socket address value with exactly the layout of sockaddr_in (16 bytes),
// so it goes straight to bind/connect/accept/sendto (sa(), sizeof(Addr)).
// It has no constructor: call Reset() before use. Copying copies the 16 bytes.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace INet4 {

struct Addr : sockaddr_in
{
    // All bytes 0, then family AF_INET.
    void Reset();

    // "a.b.c.d[:port]". With a colon the port (strtol, cut to 16 bits, not
    // validated) is stored and the full number goes to *port; without one *port
    // gets -1 and the port field is kept. The result is inet_aton's verdict.
    // The family is never touched.
    bool Assign(const char* text, int* port);
    bool Assign(const std::string& text, int* port);
    // A value already in network byte order.
    void Assign(unsigned long address);

    // Address and port; the family is not compared.
    bool IsEqual(const Addr& other) const;

    // "a.b.c.d:port".
    void Put(std::ostream& os) const;
    std::string GetString() const;
    // The four address bytes in network order.
    std::vector<char> GetVector() const;

    std::uint16_t GetPort() const { return ntohs(sin_port); }
    void SetPort(std::uint16_t port) { sin_port = htons(port); }

    sockaddr* sa() { return reinterpret_cast<sockaddr*>(static_cast<sockaddr_in*>(this)); }
    const sockaddr* sa() const
    {
        return reinterpret_cast<const sockaddr*>(static_cast<const sockaddr_in*>(this));
    }
};

static_assert(sizeof(Addr) == 16, "INet4::Addr must be a sockaddr_in");

// The port the socket fd is bound to; 0 when it cannot be read.
std::uint16_t BoundPort(int fd);

inline std::ostream& operator<<(std::ostream& os, const Addr& a)
{
    a.Put(os);
    return os;
}

} // namespace INet4
