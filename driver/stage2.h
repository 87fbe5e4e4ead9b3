// Stage 2 of a run: every histogram of temp2.tmp, computed and written into O3.res.
#pragma once

namespace o3 {

// Above this coupling stage 2 stops before it starts a histogram: none can be
// finished there, and the integrals alone would take hours.
inline constexpr double largest_H_computed = 1e6;

// What a run may ask of stage 2 beyond what temp2.tmp holds.
struct stage2_settings {
  // Search the histograms whose loss exceeds the asked losses again, to a
  // tighter end, until it does not or the pieces cannot reach it.
  bool keep_losses = false;
};

// Reads temp2.tmp and temp1.tmp, computes each histogram, writes O3.res in
// place of the previous one and a line per histogram. Returns 0; every
// failure ends the run through nrerror, the previous O3.res untouched.
int main_2(const stage2_settings& settings);

}  // namespace o3
