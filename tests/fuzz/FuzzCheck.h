#pragma once

#include <cstdio>
#include <cstdlib>

// A broken promise of the code under test: reported and ended like a crash, so libFuzzer keeps
// the input and a replay of the corpus fails.
#define FUZZ_REQUIRE(condition)                                                                                        \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: promise broken: %s\n", __FILE__, __LINE__, #condition);                       \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)
