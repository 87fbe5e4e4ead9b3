// The generated C lookup lines, evaluated exactly as a simulation would:
// which cell a coupling falls in, and which couplings a map entry serves.
#pragma once

#include <cstdint>
#include <vector>

#include "sampler/table.h"

namespace o3::sampler {

// Line of the file holding lookup piece k: read_table accepts exactly 13
// fixed lines before the first one.
constexpr int first_lookup_line = 14;

// The couplings [*low, *high] of [H0, H_max) that the C if-chain gives
// lookup piece k; false when it gives it none.
bool piece_range(const table& t, std::size_t k, double* low, double* high);

// Index of the lookup piece that the C if-chain picks for h.
std::size_t piece_of(const table& t, double h);

// Cell index base + (int)(h / step) of the piece the chain picks for h.
std::int64_t cell_of(const table& t, double h);

// Smallest coupling in [H0, H_max) whose cell is j or above; H_max when
// there is none.
double first_coupling_from(const table& t, std::int64_t j);

// For map entry e: the smallest coupling it serves, or H_max when the cells
// from its index up to the next entry's receive no coupling.
std::vector<double> entry_couplings(const table& t);

// For histogram g: the smallest coupling its map entries serve, or its own
// coupling H when that is smaller or it serves nothing.
std::vector<double> smallest_served(const table& t);

}  // namespace o3::sampler
