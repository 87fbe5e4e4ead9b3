// The program-wide run parameters that every stage of a table run shares.
#pragma once

namespace o3 {

// Capacity of the H-mapping: pieces 1..99 with their bounds and steps.
inline constexpr int mapping_capacity = 100;

// Values a run starts from; a repeated dialogue does not restore them.
inline constexpr double initial_H0 = 0.0;
inline constexpr double initial_H_max = 200.0;
inline constexpr double initial_factor = 0.1;

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
// The accepted losses: percent after the losses question, the fraction p/100
// when the dialogue returns, 1 + p/200 from the start of stage 1 on.
extern double factor;
// Right end that the partition of one histogram must reach.
extern double Xlimit;
// Tolerance on the last partition point, step of the forward bracket search,
// and accuracy of Ridders' method; set by stage 2.
extern double Acc_a;
extern double Acc_interval;
extern double Acc_ridders;

// Stores the initial values of H0, H_max and factor.
void store_initial_values();

}  // namespace o3
