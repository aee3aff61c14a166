// The memory resident in this process now, from /proc.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace bench {

inline long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

} // namespace bench
