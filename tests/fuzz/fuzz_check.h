// A fuzz target stops at the first broken property, so libFuzzer keeps the input that broke it.
#pragma once

#include <cstdlib>

inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
