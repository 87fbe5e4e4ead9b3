// How the losses of a table came out against the losses asked for, and the
// envelope factor each histogram's boxes were raised by.
#pragma once

#include "sampler/sampler.h"

namespace o3::checker {

struct losses_summary {
  double asked;       // percent, from the file's first line
  int above;          // histograms whose loss exceeds it
  int worst;          // the histogram of the largest loss
  double worst_loss;  // percent
  double mean;        // percent, over all histograms
};

// Losses are compared as written, with six decimals: a histogram at exactly
// the asked losses is not above them.
losses_summary summarize_losses(const sampler::sampler& s);

// The factor by which histogram g's boxes stand above the density at its
// own coupling: the least of box / (width times the density's maximum on
// the piece) over its pieces but the last, whose end was pinned to 1 (the
// only piece for a histogram of one). It is the envelope factor of the
// search, which raised every box of an equal-area partition by it.
double envelope_factor(const sampler::sampler& s, int g);

}  // namespace o3::checker
