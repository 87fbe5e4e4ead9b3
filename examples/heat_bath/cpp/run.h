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

// One sweep, every spin once in the given order, with the y from `tables`
// (a plane's sites of one parity drawn together on a checkerboard).
void sweep_with_library(lattice& lat, double beta, sweep_order order,
                        o3::sampler::sampler& tables, o3::sampler::generator& rng);

// The same sweep with the y by exact inversion or by exponential rejection
// (method Y_INVERSION or Y_EXPONENTIAL), so that the library is timed
// against them in the same C++ code.
void sweep_without_tables(lattice& lat, double beta, sweep_order order, y_method method,
                          o3::sampler::generator& rng);

}  // namespace heat_bath
