#include "runtime/Timestamp.h"

#include <ctime>
#include <ostream>

#include "runtime/Mux.h"

std::ostream& timestamp(std::ostream& os)
{
    Mux::timeval now{};
    if (Mux::mux_gettimeofday(now) != 0)
        return os;
    std::time_t seconds = now.sec;
    std::tm local{};
    if (::localtime_r(&seconds, &local) == nullptr)
        return os;
    char text[32];
    if (std::strftime(text, sizeof(text), "%d/%m %H:%M:%S", &local) == 0)
        return os;
    return os << text;
}
