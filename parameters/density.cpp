// The density, counted at every evaluation.
#include "parameters/density.h"

#include <cmath>

#include "parameters/run_parameters.h"

namespace o3 {
namespace {

std::uint64_t evaluations = 0;

}  // namespace

double g1(double x) {
  ++evaluations;
  return std::exp((x - 1.0) * o3::H);
}

std::uint64_t g1_evaluations() { return evaluations; }

}  // namespace o3
