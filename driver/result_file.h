// O3.res, the result of a run: its head and its histogram records.
#pragma once

#include <cstdio>

namespace o3 {

inline constexpr const char* result_file_name = "O3.res";

// The title line with the range and the losses in percent, and the C and
// FORTRAN definitions of Nd_poi, N_histogram and N_H_max.
void write_result_head(std::FILE* out, double H0, double H_max, double losses, int Nd_poi,
                       int N_histogram, int N_H_max);

// The line holding N_histogram, before the records.
void write_histogram_count(std::FILE* out, int N_histogram);

// Histogram i's record "i H Nd_poi loss a" and its points x[0..Nd_poi]; fatal
// when a write has failed, so that a full disk stops the run at once.
void write_histogram(std::FILE* out, int i, double H, int Nd_poi, double loss, double a,
                     const double* x);

}  // namespace o3
