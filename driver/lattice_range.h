// The range of couplings a heat-bath simulation on a hypercubic lattice
// meets, as the answers H0 and H_max: --lattice and --beta.
#pragma once

#include <string>
#include <string_view>

namespace o3 {

// Limits of --lattice and --beta: ample for any simulation, and small
// enough that 2 d beta in millionths stays an exact double (below 2^53).
inline constexpr int max_dimension = 1000;
inline constexpr double max_beta = 1e6;

// The dimension d a --lattice value names: chain 1, square 2, cubic 3, or
// a number from 1 to max_dimension; 0 for anything else.
int lattice_dimension(std::string_view name);

// H_max for a sweep at inverse temperature beta (0 to max_beta) on a
// lattice of dimension d: the coupling of a spin is beta times the length
// of the sum of its 2d neighbours, 2 d beta when they are aligned, and the
// table serves [H0, H_max) read with the six decimals O3.res keeps. So the
// least value of six decimals above 2 d beta (1 + 1e-12), a margin far
// beyond the rounding of that sum of unit vectors, written "%.6f".
std::string h_max_above(int dimension, double beta);

}  // namespace o3
