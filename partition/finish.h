// A histogram from its search to its finished envelope.
#pragma once

namespace o3 {

// The loss of a histogram in percent: the surplus of its box area a over
// m, the density's mean mass per piece, 100 (a/m - 1).
double loss_percent(double a, double m);

struct finished {
  double factor;  // the envelope factor of the corrections
  bool narrowed;  // whether the search had to end nearer to 1
};

// Searches and finishes the partition for the coupling o3::H, whose mean
// mass per piece is m, into x[0..Nd_poi] (x[0] = -1), f1 and *a: find_a
// from m, then the corrections. Where those would leave the point before
// the last at or beyond 1 (large couplings, whose pieces next to 1 are
// narrower than the usual strip beyond 1), the search is made again with
// the narrow end, and the corrections lower Xlimit by its strip. A
// partition that still cannot be finished, or an envelope below the
// density, ends the run. Needs Nd_poi >= 2 and o3::H > 0.
finished finish_partition(double m, double* x, double* f1, double* a, int Nd_poi);

// For a histogram that finish_partition left in x and *a with a loss above
// `losses` (percent, as loss_percent): searched again with the
// narrow end, then with its strip and tolerance a tenth as large, up to
// three times, while the loss stays above. Each partition must pass the
// corrections' envelope check, or is passed over. The first at or below
// `losses` is kept, or failing that the one of least loss: true, with
// *envelope its envelope factor; false when none had less loss than the one
// given, which x and *a then hold again. Reads and writes Xlimit.
bool keep_losses(double m, double* x, double* f1, double* a, int Nd_poi, double losses,
                 double* envelope);

}  // namespace o3
