#pragma once
// Duration statistics in microseconds of the 32-bit, wrapping clock
// Mux::microseconds(); a duration is the unsigned difference end - start, so
// an interval across the clock's wrap still measures right.
#include <cstdint>
#include <iosfwd>

struct Measure
{
    void begin();
    std::uint32_t end();   // returns the duration
    // "min=.. max=.. avg=.. counter=.."; avg shows the last duration.
    void put(std::ostream& os) const;
    // Adds one duration to the statistics.
    void add(std::uint32_t d);

    std::uint32_t min = 0;
    std::uint32_t max = 0;
    std::uint32_t cur = 0;   // the last duration
    bool first = true;
    std::uint32_t start = 0;
    std::uint32_t counter = 0;
};

std::ostream& operator<<(std::ostream& os, const Measure& m);
