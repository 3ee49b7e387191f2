// Takes an instance number as the program does, prints it and holds it until its
// standard input closes: lets a test run copies side by side as real processes.
#include "platform/InstanceLock.h"

#include <cstdio>
#include <iostream>

int main()
{
    // As main.cpp does: the folder from BEAMTIDE_LOCK_DIR, handed in.
    QString folder = qEnvironmentVariable("BEAMTIDE_LOCK_DIR");
    if (folder.isEmpty())
        folder = beamtide::InstanceLock::defaultFolder();
    beamtide::InstanceLock lock(folder);
    std::printf("%d\n", lock.number());
    std::fflush(stdout);
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    return 0;
}
