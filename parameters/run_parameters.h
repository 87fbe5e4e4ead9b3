// The run parameters every stage of a table run shares.
#pragma once

#include "sampler/o3_format.h"

namespace o3 {

// Capacity of the H-mapping: pieces 1..99 with their bounds and steps, one
// lookup line each in O3.res.
inline constexpr int mapping_capacity = O3_MAX_LOOKUP_LINES + 1;

// Most pieces a histogram may have (Nd_poi), as many as a table may hold;
// the losses rule's larger values are lowered to it, and the search's hook
// scratch is sized for it.
inline constexpr int max_pieces = O3_MAX_PIECES;

// Values a run starts from; a repeated dialogue does not restore them.
inline constexpr double initial_H0 = 0.0;
inline constexpr double initial_H_max = 200.0;
inline constexpr double initial_factor = 0.1;

// The accuracies every histogram is searched to: the step of the forward
// bracket search, the accuracy of Ridders' method, the tolerance on the last
// partition point.
inline constexpr double histogram_Acc_interval = 0.1;
inline constexpr double histogram_Acc_ridders = 1e-8;
inline constexpr double histogram_Acc_a = 1e-7;

// Coupling at which the density is evaluated; every integration and root
// search works at the value last stored here.
extern double H;
// First and last coupling of the requested range.
extern double H0;
extern double H_max;
// Index of the last mapping piece: pieces run from 1 to N_DH.
extern int N_DH;
// Piece k covers Hn[k-1] <= H < Hn[k] with the H step D_Hn[k]; Hn[0] is H0.
extern double Hn[mapping_capacity];
extern double D_Hn[mapping_capacity];
// The accepted losses p: percent after the losses question, the fraction
// p/100 when the dialogue returns (losses_fraction), the grid's ratio
// 1 + p/200 from the start of stage 1 on (losses_ratio, in driver/grid.h).
extern double factor;
// Right end that the partition of one histogram must reach.
extern double Xlimit;
// What the partition search works to; the histogram_Acc_ values in a run.
extern double Acc_a;
extern double Acc_interval;
extern double Acc_ridders;

// Stores the initial values of H0, H_max and factor.
void store_initial_values();

// Stores the histogram_Acc_ values in Acc_interval, Acc_ridders and Acc_a.
void use_histogram_accuracies();

// Set-up hook called at the start of a run and of stage 2; it has no effect.
void precision();

}  // namespace o3
