#include "hardware/RtpErr.h"

#include <cerrno>
#include <cstring>

RtpErr::RtpErr(int code) : error_(errno), code_(code) {}

void RtpErr::Put(std::ostream& os) const
{
    os << std::strerror(error_);
}
