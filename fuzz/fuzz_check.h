// An invariant check for fuzz targets that stays on in every build: it prints where it failed
// and aborts, so the fuzzer records the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define ZQ_FUZZ_CHECK(cond)                                                                \
  do {                                                                                     \
    if (!(cond)) {                                                                         \
      std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)
