#pragma once

#include <cstdlib>

// What must hold for every input: a failed check is a finding, like a crash.
inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
