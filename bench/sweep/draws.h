/* The y draws the sweep benchmark times, in C and in C++, each list ended
   by a method without a name. */
#ifndef O3_BENCH_SWEEP_DRAWS_H
#define O3_BENCH_SWEEP_DRAWS_H

#include "kernel.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Inversion, exponential rejection with -log u, the library through the C
   API (the engine its table was opened with), a uniform y, a y of one
   division by h, no draw. */
extern const struct sweep_method c_methods[];

#ifdef __cplusplus
}

/* Inversion, the library through its C++ face, exponential rejection with
   Boost.Random's exponential_distribution (a ziggurat) where Boost was
   found. */
extern const sweep_method cpp_methods[];
#endif

#endif
