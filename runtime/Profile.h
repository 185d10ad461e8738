#pragma once
// Named timing points. A point is a function-local static of the measured
// function; it links itself into a list (newest first) that Profile::dump
// writes into the status dump:
//     static Profile::Point point("Tpkt_protocol::message");
//     point.begin(); ... point.end();
#include <cstdint>
#include <iosfwd>

#include "runtime/Measure.h"

class Profile
{
public:
    class Point
    {
    public:
        explicit Point(const char* name);   // the name is not copied
        Point(const Point&) = delete;
        Point& operator=(const Point&) = delete;
        ~Point();

        void begin() { measure.begin(); }
        // Duration on the wrapping 32-bit microsecond clock.
        std::uint32_t end() { return measure.end(); }
        // "[name]: min=.. max=.. avg=<latest> counter=..".
        void put(std::ostream& os) const;

        const Measure& statistics() const { return measure; }
        const char* get_name() const { return name; }

    private:
        friend class Profile;
        Point* next;
        const char* name;
        Measure measure;
    };

    // Every point, newest first, one per line.
    static void dump(std::ostream& os);

private:
    static Point* mRoot;
};
