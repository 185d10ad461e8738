#pragma once
// Short local time stamp of log lines: "dd/mm hh:mm:ss" of the loop clock.
#include <iosfwd>

std::ostream& timestamp(std::ostream& os);
