#include "board/IoctlCode.h"

#include <cstdlib>
#include <iostream>

namespace IoctlCode {

void requestDoesNotFit(unsigned number, unsigned size)
{
    std::clog << "ioctl request does not fit: number " << number << " size " << size << std::endl;
    std::abort();
}

} // namespace IoctlCode
