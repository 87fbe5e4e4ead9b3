// Saves every run parameter on construction and restores it on destruction,
// so that a test can set what it needs without leaking into the next.
#pragma once

#include <algorithm>

#include "parameters/run_parameters.h"

namespace o3::testing {

class run_parameters_guard {
 public:
  run_parameters_guard()
      : H_(o3::H),
        H0_(o3::H0),
        H_max_(o3::H_max),
        N_DH_(o3::N_DH),
        factor_(o3::factor),
        Xlimit_(o3::Xlimit),
        Acc_a_(o3::Acc_a),
        Acc_interval_(o3::Acc_interval),
        Acc_ridders_(o3::Acc_ridders) {
    std::copy(o3::Hn, o3::Hn + mapping_capacity, Hn_);
    std::copy(o3::D_Hn, o3::D_Hn + mapping_capacity, D_Hn_);
  }
  ~run_parameters_guard() {
    o3::H = H_;
    o3::H0 = H0_;
    o3::H_max = H_max_;
    o3::N_DH = N_DH_;
    o3::factor = factor_;
    o3::Xlimit = Xlimit_;
    o3::Acc_a = Acc_a_;
    o3::Acc_interval = Acc_interval_;
    o3::Acc_ridders = Acc_ridders_;
    std::copy(Hn_, Hn_ + mapping_capacity, o3::Hn);
    std::copy(D_Hn_, D_Hn_ + mapping_capacity, o3::D_Hn);
  }
  run_parameters_guard(const run_parameters_guard&) = delete;
  run_parameters_guard& operator=(const run_parameters_guard&) = delete;

 private:
  double H_, H0_, H_max_;
  int N_DH_;
  double factor_, Xlimit_, Acc_a_, Acc_interval_, Acc_ridders_;
  double Hn_[mapping_capacity];
  double D_Hn_[mapping_capacity];
};

}  // namespace o3::testing
