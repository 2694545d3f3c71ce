// SPDX-License-Identifier: Apache-2.0
#pragma once

// A property that must hold for every input: the fuzzer reports its violation as a crash.
#include <cstdlib>

inline void check(bool condition)
{
    if (!condition)
        std::abort();
}
