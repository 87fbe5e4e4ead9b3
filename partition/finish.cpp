// The choice between the usual and the narrow end of the search.
#include "partition/finish.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "numeric/fatal.h"
#include "parameters/run_parameters.h"
#include "partition/corrections.h"
#include "partition/partition_search.h"

namespace o3 {

double loss_percent(double a, double m) { return (a / m - 1.0) * 100.0; }

finished finish_partition(double m, double* x, double* f1, double* a, int Nd_poi) {
  const search_end usual = usual_end(Nd_poi);
  o3::Xlimit = 1.0 + usual.strip;
  x[0] = -1.0;
  *a = find_a(m, x, Nd_poi, usual);
  correction c = try_corrections(x, f1, a, Nd_poi, usual.strip);
  const bool narrowed = c.result == correction::past_the_end;
  if (narrowed) {
    const search_end narrow = narrow_end(Nd_poi, m);
    o3::Xlimit = 1.0 + narrow.strip;
    *a = find_a(m, x, Nd_poi, narrow);
    c = try_corrections(x, f1, a, Nd_poi, narrow.strip);
    if (c.result == correction::past_the_end) {
      char message[200];
      std::snprintf(message, sizeof message,
                    "the histogram for H=%f cannot be finished: its pieces "
                    "next to 1 are too narrow; choose a smaller H_max",
                    o3::H);
      nrerror(message);
    }
  }
  if (c.result == correction::below_density) envelope_failure(x, f1, c.piece);
  return {c.factor, narrowed};
}

bool keep_losses(double m, double* x, double* f1, double* a, int Nd_poi, double losses,
                 double* envelope) {
  const auto points = static_cast<std::size_t>(Nd_poi) + 1;
  const std::vector<double> given(x, x + points);
  std::vector<double> best;
  double best_area = *a;
  search_end end = narrow_end(Nd_poi, m);
  for (int tightened = 0; tightened <= 3 && loss_percent(best_area, m) > losses; ++tightened) {
    if (tightened > 0) {
      // A strip nearer to 1 and a tighter stop leave the last piece less to
      // widen when it is pinned to 1, the rest of the excess.
      end.strip /= 10.0;
      end.close_enough /= 10.0;
      end.accuracy = std::fmin(end.accuracy, end.close_enough);
      end.ridders = std::fmin(end.ridders, end.close_enough / 10.0);
    }
    o3::Xlimit = 1.0 + end.strip;
    x[0] = -1.0;
    double area = find_a(m, x, Nd_poi, end);
    const correction c = try_corrections(x, f1, &area, Nd_poi, end.strip);
    if (c.result == correction::done && loss_percent(area, m) < loss_percent(best_area, m)) {
      best.assign(x, x + points);
      best_area = area;
      *envelope = c.factor;
    }
  }
  std::copy(best.empty() ? given.begin() : best.begin(), best.empty() ? given.end() : best.end(),
            x);
  *a = best_area;
  return !best.empty();
}

}  // namespace o3
