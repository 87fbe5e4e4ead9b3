// The heat-bath run of the C program through the C++ library: the same
// lattice, update and observables, the y of every update from
// o3::sampler::sampler.
#pragma once

#include "sampler/sampler.h"
#include "simulation.h"

namespace heat_bath {

// As run_simulation, with the y from `tables` and every uniform, the
// azimuth's too, from one generator seeded with config.seed. Returns false
// when the lattice or the bins cannot be made.
bool run_with_library(const run_config& config, o3::sampler::sampler& tables,
                      run_result* result);

}  // namespace heat_bath
