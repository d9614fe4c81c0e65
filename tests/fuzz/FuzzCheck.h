#pragma once

#include <cstdio>
#include <cstdlib>

// A broken property stops the run at once: libFuzzer keeps the input as a crash, the replay test fails.
#define FUZZ_CHECK(cond)                                                                                     \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond);                 \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (false)
