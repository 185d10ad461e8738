#include "runtime/Console.h"

#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace Console {

bool SwitchToBinaryMode()
{
    termios modes{};
    if (::tcgetattr(STDIN_FILENO, &modes) != 0) {
        std::cerr << "can't obtain terminal attributes" << std::endl;
        return false;
    }
    modes.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ECHOK | ECHONL | ECHOPRT | ECHOCTL);
    if (::tcsetattr(STDIN_FILENO, TCSADRAIN, &modes) != 0) {
        std::cerr << "can't set terminal attributes" << std::endl;
        return false;
    }
    return true;
}

bool SwitchToNonBlockMode()
{
    int on = 1;
    if (::ioctl(STDIN_FILENO, FIONBIO, &on) != 0) {
        std::cerr << "can't switch terminal to blocked mode" << std::endl;
        return false;
    }
    return true;
}

} // namespace Console
