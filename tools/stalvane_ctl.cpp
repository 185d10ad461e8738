// stalvane-ctl: sends LGCP messages written in value notation to a running
// daemon and prints what it answers and signals.
#include <iostream>
#include <string>

#include "tools/ControllerClient.h"

int main(int argc, char** argv)
{
    Tools::ControllerOptions options;
    bool help = false;
    std::string error;
    if (!Tools::parseControllerArguments(argc, argv, options, help, error)) {
        std::cerr << "stalvane-ctl: " << error << "\n" << Tools::controllerUsage;
        return Tools::ControllerUsage;
    }
    if (help) {
        std::cout << Tools::controllerUsage;
        return 0;
    }
    if (!Tools::expandStandardInput(options, std::cin, error)) {
        std::cerr << "stalvane-ctl: " << error << std::endl;
        return Tools::ControllerUsage;
    }
    return Tools::runController(options, std::cout, std::cerr);
}
