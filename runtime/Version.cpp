#include "runtime/Version.h"

#include <cstring>
#include <ostream>

namespace {

#if defined(__powerpc__)
constexpr const char* targetArch = "ppc";
#elif defined(__x86_64__)
constexpr const char* targetArch = "x86_64";
#elif defined(__aarch64__)
constexpr const char* targetArch = "aarch64";
#elif defined(__i386__)
constexpr const char* targetArch = "i386";
#else
constexpr const char* targetArch = "unknown";
#endif

// The build date to the minute: "YYYY-MM-DD hh:mm".
const char* buildMinute()
{
    static char text[17];
    std::strncpy(text, Version::build::date, sizeof(text) - 1);
    return text;
}

} // namespace

const Version Version::current(Version::snapshot, 0, "", Version::build::user, buildMinute(),
                               Version::build::tag, targetArch);

Version::Version(Type type, int number, const char* first, const char* user, const char* date,
                 const char* tag, const char* arch)
    : type(type), number(number), first(first), user(user), date(date), tag(tag), arch(arch)
{
    update();
}

void Version::put(std::ostream& os) const
{
    os << tag;
}

const char* version_string(Version::Type type)
{
    switch (type) {
    case Version::snapshot: return "snapshot";
    case Version::test: return "test";
    case Version::release: return "release";
    case Version::unit_test: return "unit-test";
    }
    return "unknown";
}

const char* version_suffix(Version::Type type)
{
    switch (type) {
    case Version::snapshot: return "S";
    case Version::test: return "T";
    case Version::release: return "R";
    case Version::unit_test: return "T";
    }
    return "U";
}

std::ostream& operator<<(std::ostream& os, Version::Type type)
{
    return os << version_string(type);
}
