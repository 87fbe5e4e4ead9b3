// Storage and initial values of the run parameters.
#include "parameters/run_parameters.h"

namespace o3 {

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

void precision() {}

}  // namespace o3
