#include "runtime/Measure.h"

#include <ostream>

#include "runtime/Mux.h"

void Measure::begin()
{
    start = Mux::microseconds();
}

std::uint32_t Measure::end()
{
    std::uint32_t d = Mux::microseconds() - start;
    add(d);
    return d;
}

void Measure::add(std::uint32_t d)
{
    if (first) {
        min = max = cur = d;
        counter = 1;
        first = false;
        return;
    }
    ++counter;
    if (d < min)
        min = d;
    if (d > max)
        max = d;
    cur = d;
}

void Measure::put(std::ostream& os) const
{
    os << std::dec << "min=" << min << " max=" << max << " avg=" << cur << " counter=" << counter;
}

std::ostream& operator<<(std::ostream& os, const Measure& m)
{
    m.put(os);
    return os;
}
