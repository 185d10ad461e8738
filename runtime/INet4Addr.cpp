#include "runtime/INet4Addr.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ostream>

namespace INet4 {

namespace {

std::string dotted(const in_addr& address)
{
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &address, text, sizeof(text));
    return text;
}

} // namespace

void Addr::Reset()
{
    std::memset(static_cast<sockaddr_in*>(this), 0, sizeof(sockaddr_in));
    sin_family = AF_INET;
}

bool Addr::Assign(const char* text, int* port)
{
    const char* colon = std::strchr(text, ':');
    if (colon == nullptr) {
        if (port != nullptr)
            *port = -1;
        return ::inet_aton(text, &sin_addr) != 0;
    }
    long value = std::strtol(colon + 1, nullptr, 10);
    sin_port = htons(static_cast<std::uint16_t>(value));
    if (port != nullptr)
        *port = static_cast<int>(value);
    const std::string host(text, colon);
    return ::inet_aton(host.c_str(), &sin_addr) != 0;
}

bool Addr::Assign(const std::string& text, int* port)
{
    return Assign(text.c_str(), port);
}

void Addr::Assign(unsigned long address)
{
    sin_addr.s_addr = static_cast<in_addr_t>(address);
}

bool Addr::IsEqual(const Addr& other) const
{
    return sin_addr.s_addr == other.sin_addr.s_addr && sin_port == other.sin_port;
}

void Addr::Put(std::ostream& os) const
{
    os << dotted(sin_addr) << ':' << std::dec << GetPort();
}

std::string Addr::GetString() const
{
    char port[16];
    std::snprintf(port, sizeof(port), "%d", static_cast<int>(GetPort()));
    return dotted(sin_addr) + ':' + port;
}

std::vector<char> Addr::GetVector() const
{
    // s_addr holds the bytes in network order in memory.
    unsigned char bytes[4];
    std::memcpy(bytes, &sin_addr.s_addr, sizeof(bytes));
    return std::vector<char>(bytes, bytes + 4);
}

std::uint16_t BoundPort(int fd)
{
    Addr address;
    address.Reset();
    socklen_t size = sizeof address;
    if (::getsockname(fd, address.sa(), &size) != 0)
        return 0;
    return address.GetPort();
}

} // namespace INet4
