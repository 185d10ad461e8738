#include "protocol/Internal_protocol_status.h"

#include <ostream>

std::ostream& Protocol_status_success::out(std::ostream& os) const
{
    return os << text;
}

std::ostream& Protocol_status_error::out(std::ostream& os) const
{
    return os << text;
}
