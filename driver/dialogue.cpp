// The dialogue of a run: its texts and its refusals.
#include "driver/dialogue.h"

#include <cstdio>

#include "driver/answers.h"
#include "driver/grid.h"
#include "driver/mapping.h"
#include "parameters/run_parameters.h"

namespace o3 {
namespace {

// The losses as typed, p percent, and as the dialogue leaves them in
// factor, the fraction p / 100.
double losses_fraction(double percent) { return percent / 100.0; }
double losses_percent(double fraction) { return 100.0 * fraction; }

// Measured: the root finder fails from H = 13049.25 on with 2 pieces, and the
// grid's last coupling reaches up to 4.02 * 1.0011 * H_max.
static_assert(4.02 * 1.0011 * H_max_bound < 13049.25);

void ask_H0() {
  for (;;) {
    std::printf("give Hinitial (H0);    example: 0.(normal)           -> H0=");
    if (!console().read_real_or_exit(question::h0, &o3::H0)) {
      console().refuse_or_exit("!!! H0 must be a finite number\n");
    } else if (o3::H0 < 0.0) {
      // The box of a piece takes its height at the right end, which covers
      // the density only where it rises, that is for H >= 0.
      console().refuse_or_exit("!!! H0 must be >= 0: the tables hold couplings H >= 0\n");
    } else {
      return;
    }
  }
}

void ask_H_max() {
  for (;;) {
    std::printf("give Hmaximum (H_max); example: 100.                 -> H_max=");
    if (!console().read_real_or_exit(question::h_max, &o3::H_max)) {
      console().refuse_or_exit("!!! H_max must be a finite number\n");
    } else if (!(o3::H_max > o3::H0)) {
      console().refuse_or_exit("!!! H_max must be > H0\n");
    } else if (!(as_written(o3::H_max) > as_written(o3::H0))) {
      console().refuse_or_exit(
          "!!! H_max must exceed H0 in six decimals: O3.res "
          "gives both so, and a table needs a range\n");
    } else if (o3::H_max > H_max_bound) {
      static char refusal[160];
      std::snprintf(refusal, sizeof refusal,
                    "!!! H_max must be <= %g: larger ranges reach couplings "
                    "whose histograms cannot be computed\n",
                    H_max_bound);
      console().refuse_or_exit(refusal);
    } else if (const double bound = bound_not_exceeded(o3::H_max); bound != 0.0) {
      static char refusal[160];
      std::snprintf(refusal, sizeof refusal,
                    "!!! H_max must exceed %g in six decimals once above it: O3.res "
                    "gives the lookup bounds so, and they must increase\n",
                    bound);
      console().refuse_or_exit(refusal);
    } else {
      return;
    }
  }
}

// With 2 or 3 pieces the search ends far beyond the density's width at
// large couplings, and the last box, as high as the density there, holds
// more than 10^4 % of losses: measured from H = 445.199 on with 2 pieces,
// from 934.708 on (up to 2449.75) with 3. A run's couplings reach at most
// (1 + p/200) * 1.0011 * H_max (the grid's last step and its tolerance):
// with p at most 604 and 304, H_max = 100 and 350 keep them below, with a
// margin. The refusal, not a loss the reader of O3.res would reject.
const char* few_pieces_refusal(int pieces) {
  if (pieces <= 3 && o3::H_max > 350.0) {
    return "!!! The loss must be <= 204 % for H_max > 350: with fewer pieces "
           "some histograms would lose more than 10^4 %\n";
  }
  if (pieces == 2 && o3::H_max > 100.0) {
    return "!!! The loss must be <= 304 % for H_max > 100: with fewer pieces "
           "some histograms would lose more than 10^4 %\n";
  }
  return nullptr;
}

void ask_losses() {
  for (;;) {
    std::printf(
        "give the %% of losses to accept (>=1%%); example: 10 for 10%%"
        "  -> %%losses=");
    if (!console().read_real_or_exit(question::losses, &o3::factor)) {
      console().refuse_or_exit("!!! The loss must be a finite number\n");
    } else if (o3::factor < 1.0) {
      console().refuse_or_exit("!!! The loss must be >= 1 %\n");
    } else if (pieces_per_histogram(losses_ratio(losses_fraction(o3::factor))) < 2) {
      // One piece cannot be finished for any coupling but 0.
      console().refuse_or_exit(
          "!!! The loss must be <= 604 %: a histogram "
          "needs at least two pieces\n");
    } else if (const char* refusal = few_pieces_refusal(
                   pieces_per_histogram(losses_ratio(losses_fraction(o3::factor))))) {
      console().refuse_or_exit(refusal);
    } else {
      return;
    }
  }
}

}  // namespace

void in_out() {
  std::printf("\n   -----------------------------------------------------------\n");
  std::printf("   | O(3)  random number: P= sin(Pi.x) .exp(H.cos(PI.x)-H).dx|\n");
  std::printf("   |                       =            exp(H.y-H).dy        |\n");
  std::printf("   -----------------------------------------------------------\n");
  std::printf("                                  x,y -> [-1,1[ \n\n");
  ask_H0();
  ask_H_max();
  ask_losses();
  build_mapping(o3::factor);
  o3::factor = losses_fraction(o3::factor);

  std::printf("\nFor the moment H real is mapped to :\n");
  print_mapping_table();
  std::printf("\nThe calculs will be done for H between\n");
  std::printf("\tH0=%f -> H_max=%f with losses=%f%%\n", o3::H0, o3::H_max,
              losses_percent(o3::factor));
  std::printf("The parametrization for H real is: \n");
  print_mapping_table();
  std::printf("\n\nthis can take a while ...\n");
}

}  // namespace o3
