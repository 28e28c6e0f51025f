// The fuzz targets' invariant check: a violated invariant aborts, so the fuzzer keeps the input.
#pragma once

#include <cstdio>
#include <cstdlib>

#define ZK4_CHECK(cond)                                                                       \
    ((cond) ? (void)0                                                                         \
            : (std::fprintf(stderr, "check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__), \
               std::abort()))
