#pragma once
// Scoped enter/leave trace: "Enter <name>" at construction, "Leave <name>"
// at destruction, each on its own line, only when enabled.
#include <ostream>

namespace Trace {

class Block
{
public:
    Block(bool enabled, const char* name, std::ostream& os) : enabled(enabled), name(name), os(os)
    {
        if (enabled)
            os << "Enter " << name << std::endl;
    }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    ~Block()
    {
        if (enabled)
            os << "Leave " << name << std::endl;
    }

private:
    bool enabled;
    const char* name;
    std::ostream& os;
};

} // namespace Trace
