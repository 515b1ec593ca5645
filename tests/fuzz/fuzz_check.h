// The built-in checks of the fuzz targets. A failed check prints what broke
// and aborts, which libFuzzer records as a crash with the input that caused
// it, and which fails the corpus replay of the normal test run.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
