// The heat-bath run of heat_bath through the C++ library: the same lattice,
// planes and observables, every y drawn by o3::sampler::sampler from an
// o3::sampler::stream, the checkerboard's planes on OpenMP's threads.
#pragma once

#include "sampler/sampler.h"
#include "simulation.h"

namespace heat_bath {

// The run of config with the y from `table`, or by exact inversion when it
// is null, from the streams of heat_bath (planes.h): the same run, bit for
// bit. Returns false when the lattice or the bins cannot be made.
bool run_with_library(const run_config& config, const o3::sampler::sampler* table,
                      run_result* result);

}  // namespace heat_bath
