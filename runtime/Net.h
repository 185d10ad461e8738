#pragma once
// Host name and IPv4 interface enumeration.
#include <list>
#include <string>

#include "runtime/INet4Addr.h"

namespace Net {

// Selector bits of ifconfig: 0 takes every IPv4 interface; otherwise an
// interface is taken when any set bit accepts it.
enum ifconfig_mode_t : unsigned
{
    ifconfig_all = 0,
    ifconfig_not_loopback = 1,   // name is not "lo" (any case)
    ifconfig_link_local = 2,     // 169.254.0.0/16
    ifconfig_private = 4,        // 10/8, 172.16/12, 192.168/16
};

// gethostname(); "" when it fails.
std::string hostname();
// sethostname(); its result.
int hostname(const std::string& name);

// Appends the address of every accepted IPv4 interface; the number appended,
// or -1 when the socket or the interface list cannot be had.
int ifconfig(std::list<INet4::Addr>& addresses, ifconfig_mode_t mode);
// Appends the name of every accepted interface whose flags hold all bits of flags.
int ifconfig(std::list<std::string>& names, ifconfig_mode_t mode, unsigned flags);

// The selector rule alone: would an interface of this name and address be taken?
bool ifconfig_accepts(const char* name, const INet4::Addr& address, unsigned mode);

} // namespace Net
