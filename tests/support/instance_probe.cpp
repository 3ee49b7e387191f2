// Takes an instance number as the program does, prints it and holds it until its
// standard input closes: lets a test run copies side by side as real processes.
#include "platform/InstanceLock.h"

#include <cstdio>
#include <iostream>

int main()
{
    beamtide::InstanceLock lock;
    std::printf("%d\n", lock.number());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
