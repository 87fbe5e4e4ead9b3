// Stage 2 of a run: every histogram of temp2.tmp into O3.res.
#pragma once

namespace o3 {

inline constexpr const char* result_file_name = "O3.res";
// Capacity of each of stage 2's work arrays.
inline constexpr int work_capacity = 100001;
// Above this coupling stage 2 stops before it starts a histogram. With points
// placed to 1e-8 the partition search fails for every number of pieces from
// about H = 2e4 on (the density's width 1/H is too narrow), within a second
// up to here; beyond, the integrals alone take hours, and a damaged
// temp2.tmp must not hang the run.
inline constexpr double largest_coupling = 1e6;

// What a run may ask of stage 2 beyond what temp2.tmp holds.
struct stage2_settings {
  // Search the histograms whose loss exceeds the asked losses again, to a
  // tighter end, until it does not or the pieces cannot reach it.
  bool keep_losses = false;
};

// Reads temp2.tmp, then temp1.tmp into O3.res line by line (the map's count
// checked against temp2.tmp's), computes each histogram from the couplings
// as written there, writes O3.res and a line per histogram, and prints the
// closing advice; on a terminal's stderr a progress line is drawn
// meanwhile. O3.res is written beside its name and replaces it only at the
// end. Returns 0; every failure ends the run through nrerror, the previous
// O3.res untouched. With settings.keep_losses a line after the histograms
// says how many were searched again and how many stay above the losses.
int main_2(const stage2_settings& settings = {});

}  // namespace o3
