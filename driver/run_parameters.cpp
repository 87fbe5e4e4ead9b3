// Storage and initial values of the run parameters, and the density.
#include "driver/run_parameters.h"

#include <cmath>

namespace o3 {
namespace {

std::uint64_t evaluations = 0;

}  // namespace

double H = 0.0;
double H0 = initial_H0;
double H_max = initial_H_max;
int N_DH = 0;
double Hn[mapping_capacity] = {};
double D_Hn[mapping_capacity] = {};
double factor = initial_factor;
double Xlimit = 0.0;
double Acc_a = 0.0;
double Acc_interval = 0.0;
double Acc_ridders = 0.0;

void store_initial_values() {
  o3::H0 = initial_H0;
  o3::H_max = initial_H_max;
  o3::factor = initial_factor;
}

void use_histogram_accuracies() {
  o3::Acc_interval = histogram_Acc_interval;
  o3::Acc_ridders = histogram_Acc_ridders;
  o3::Acc_a = histogram_Acc_a;
}

double g1(double x) {
  ++evaluations;
  return std::exp((x - 1.0) * o3::H);
}

std::uint64_t g1_evaluations() { return evaluations; }

void precision() {}

}  // namespace o3
