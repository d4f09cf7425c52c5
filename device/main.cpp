#include "device/DeviceApp.h"

#include <iostream>

int main(int argc, char** argv)
{
    return velkordevice::DeviceApp::run(std::vector<std::string>(argv + 1, argv + argc), std::cout,
                                        std::cerr);
}
