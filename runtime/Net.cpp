#include "runtime/Net.h"

#include <net/if.h>
#include <strings.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>

#include "runtime/Fd.h"

namespace Net {

namespace {

// The interface list holds 16 records of the platform's own struct ifreq.
constexpr int maxInterfaces = 16;

struct Accepted
{
    ifreq request;
    INet4::Addr address;
};

// Calls take(accepted) for every accepted IPv4 record; -1 when the socket or
// SIOCGIFCONF fails.
template <class Take>
int walk(unsigned mode, Take take)
{
    Fd sock(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!sock)
        return -1;
    ifreq records[maxInterfaces];
    std::memset(records, 0, sizeof(records));
    ifconf conf{};
    conf.ifc_len = sizeof(records);
    conf.ifc_req = records;
    if (::ioctl(sock.get(), SIOCGIFCONF, &conf) < 0)
        return -1;

    int appended = 0;
    const int count = conf.ifc_len / static_cast<int>(sizeof(ifreq));
    for (int i = 0; i < count && i < maxInterfaces; ++i) {
        const ifreq& record = records[i];
        if (record.ifr_addr.sa_family != AF_INET)
            continue;
        INet4::Addr listed;
        std::memcpy(static_cast<sockaddr_in*>(&listed), &record.ifr_addr, sizeof(sockaddr_in));
        char name[IFNAMSIZ + 1] = "";
        std::memcpy(name, record.ifr_name, IFNAMSIZ);
        if (!ifconfig_accepts(name, listed, mode))
            continue;
        if (take(sock.get(), record))
            ++appended;
    }
    return appended;
}

bool inNet(const unsigned char* a, unsigned b0, unsigned b1, unsigned prefix)
{
    unsigned value = (unsigned(a[0]) << 24) | (unsigned(a[1]) << 16);
    unsigned net = (b0 << 24) | (b1 << 16);
    unsigned mask = prefix == 0 ? 0 : ~0u << (32 - prefix);
    return (value & mask) == (net & mask);
}

} // namespace

std::string hostname()
{
    char name[512];
    if (::gethostname(name, sizeof(name)) != 0)
        return "";
    name[sizeof(name) - 1] = '\0';
    return name;
}

int hostname(const std::string& name)
{
    return ::sethostname(name.c_str(), name.size());
}

bool ifconfig_accepts(const char* name, const INet4::Addr& address, unsigned mode)
{
    if (mode == 0)
        return true;
    unsigned char a[4];
    std::memcpy(a, &address.sin_addr.s_addr, sizeof(a));   // network order
    if ((mode & ifconfig_not_loopback) && ::strcasecmp(name, "lo") != 0)
        return true;
    if ((mode & ifconfig_link_local) && inNet(a, 169, 254, 16))
        return true;
    if ((mode & ifconfig_private)
        && (inNet(a, 10, 0, 8) || inNet(a, 172, 16, 12) || inNet(a, 192, 168, 16)))
        return true;
    return false;
}

int ifconfig(std::list<INet4::Addr>& addresses, ifconfig_mode_t mode)
{
    return walk(mode, [&addresses](int sock, const ifreq& record) {
        ifreq request = record;
        if (::ioctl(sock, SIOCGIFADDR, &request) < 0)
            return false;
        INet4::Addr address;
        std::memcpy(static_cast<sockaddr_in*>(&address), &request.ifr_addr, sizeof(sockaddr_in));
        addresses.push_back(address);
        return true;
    });
}

int ifconfig(std::list<std::string>& names, ifconfig_mode_t mode, unsigned flags)
{
    return walk(mode, [&names, flags](int sock, const ifreq& record) {
        ifreq request = record;
        if (::ioctl(sock, SIOCGIFADDR, &request) < 0)
            return false;
        request = record;
        if (::ioctl(sock, SIOCGIFFLAGS, &request) < 0)
            return false;
        unsigned held = static_cast<unsigned short>(request.ifr_flags);
        if ((held & flags) != flags)
            return false;
        char name[IFNAMSIZ + 1] = "";
        std::memcpy(name, record.ifr_name, IFNAMSIZ);
        names.push_back(name);
        return true;
    });
}

} // namespace Net
