#include "board/BoardDevice.h"

#include <cstdlib>
#include <cstring>

#include "board/LinuxBoard.h"
#include "board/sim/SimBoard.h"

namespace {

BoardDevice* g_testDevice = nullptr;
BoardDevice* g_chosen = nullptr;

BoardDevice& choose()
{
    const char* board = std::getenv("STALVANE_BOARD");
    if (board != nullptr && std::strcmp(board, "sim") == 0) {
        static SimBoard sim;
        // STALVANE_SIM_LOG names a file that gets the request log too.
        const char* log = std::getenv("STALVANE_SIM_LOG");
        if (log != nullptr && *log != '\0')
            sim.logTo(log);
        return sim;
    }
    static LinuxBoard real;
    return real;
}

} // namespace

void BoardDevice::ioctlEach(int fd, std::uint32_t code, unsigned char* records, std::size_t size, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i)
        ioctl(fd, code, records + i * size, size);
}

BoardDevice& BoardDevice::get()
{
    if (g_testDevice != nullptr)
        return *g_testDevice;
    if (g_chosen == nullptr)
        g_chosen = &choose();
    return *g_chosen;
}

void BoardDevice::setForTest(BoardDevice* device)
{
    g_testDevice = device;
    g_chosen = nullptr;
}
