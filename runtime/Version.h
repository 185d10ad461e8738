#pragma once
// The build identity. Version::current is the program's one record; its tag
// (put) names the daemon in the system log and is shown in the start line,
// the --version output and the status dump.
#include <iosfwd>

class Version
{
public:
    enum Type
    {
        snapshot = 0,
        test = 1,
        release = 2,
        unit_test = 3,
    };

    // Texts filled in at configure time (generated source).
    struct build
    {
        static const char tag[];    // from git, or "untagged"
        static const char date[];   // "YYYY-MM-DD hh:mm:ss" (UTC)
        static const char type[];   // the CMake build type
        static const char user[];   // who configured the build
    };

    // The texts are not copied.
    Version(Type type, int number, const char* first, const char* user, const char* date,
            const char* tag, const char* arch);

    void update() {}
    // Writes the tag only.
    void put(std::ostream& os) const;

    Type get_type() const { return type; }
    int get_number() const { return number; }
    const char* get_first() const { return first; }
    const char* get_user() const { return user; }
    const char* get_date() const { return date; }
    const char* get_tag() const { return tag; }
    const char* get_arch() const { return arch; }

    static const Version current;

private:
    Type type;
    int number;
    const char* first;
    const char* user;
    const char* date;
    const char* tag;
    const char* arch;
};

// "snapshot", "test", "release", "unit-test"; "unknown" otherwise.
const char* version_string(Version::Type type);
// The tag prefix "S", "T", "R", "T"; "U" otherwise.
const char* version_suffix(Version::Type type);
std::ostream& operator<<(std::ostream& os, Version::Type type);

inline std::ostream& operator<<(std::ostream& os, const Version& v)
{
    v.put(os);
    return os;
}
