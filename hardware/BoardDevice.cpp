#include "hardware/BoardDevice.h"

#include <cstdlib>
#include <cstring>

#include "hardware/LinuxBoard.h"
#include "hardware/SimBoard.h"

namespace {

BoardDevice* g_testDevice = nullptr;

BoardDevice& chosen()
{
    static BoardDevice* const device = [] () -> BoardDevice* {
        const char* board = std::getenv("STALVANE_BOARD");
        if (board != nullptr && std::strcmp(board, "sim") == 0) {
            static SimBoard sim;
            return &sim;
        }
        static LinuxBoard real;
        return &real;
    }();
    return *device;
}

} // namespace

BoardDevice& BoardDevice::get()
{
    return g_testDevice != nullptr ? *g_testDevice : chosen();
}

void BoardDevice::setForTest(BoardDevice* device)
{
    g_testDevice = device;
}
