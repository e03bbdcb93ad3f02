// A property check that stops the fuzzer with a message when it fails.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, ...)                                  \
  do {                                                              \
    if (!(condition)) {                                             \
      std::fprintf(stderr, "property failed: %s\n  ", #condition);  \
      std::fprintf(stderr, __VA_ARGS__);                            \
      std::fprintf(stderr, "\n");                                   \
      std::abort();                                                 \
    }                                                               \
  } while (0)
