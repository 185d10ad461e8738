#pragma once
// The daemon's fixed paths ("/usr/local/etc/server.conf", "/dev/hal", ...) keep
// their values; when STALVANE_ROOT is set it is prefixed to every one of them,
// so tests and local runs touch nothing outside their own folder.
#include <string>

// Returns STALVANE_ROOT + path, or path when the variable is unset or empty.
// Read on every call: tests may change the variable between cases.
std::string fixedPath(const char* path);
inline std::string fixedPath(const std::string& path) { return fixedPath(path.c_str()); }
