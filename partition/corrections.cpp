// The envelope corrections applied to every searched histogram.
#include "partition/corrections.h"

#include <cstdio>

#include "numeric/fatal.h"
#include "parameters/run_parameters.h"
#include "partition/partition_search.h"

namespace o3 {

correction try_corrections(double* x, double* f1, double* a, int Nd_poi, double strip) {
  if (Nd_poi < 2) nrerror("corrections need at least two pieces");
  int i = 0;
  const double scratch[max_pieces + 1] = {};  // for the hook, never used
  xo_xnd_change(4, *a, &i, x, scratch, &Nd_poi);

  o3::Xlimit = o3::Xlimit - strip;
  if (!(x[Nd_poi - 2] < o3::Xlimit)) {
    return {correction::past_the_end, 0.0, Nd_poi - 2};
  }
  x[Nd_poi] = o3::Xlimit;
  if (!(x[Nd_poi - 1] < o3::Xlimit)) {
    x[Nd_poi - 1] = (o3::Xlimit - x[Nd_poi - 2]) * 3.0 / 5.0 + x[Nd_poi - 2];
  }

  const double r = *a / (o3::Xlimit - x[Nd_poi - 1]);
  const double m = g1_Deltax_max(x[Nd_poi - 1], o3::Xlimit);
  const double c = r > m ? envelope_margin : m * envelope_margin / r;
  *a = c * *a;

  for (i = 0; i < Nd_poi; ++i) {
    f1[i] = *a / (x[i + 1] - x[i]);
    const double mi = g1_Deltax_max(x[i], x[i + 1]);
    if (mi > f1[i]) return {correction::below_density, c, i};
  }

  xo_xnd_change(5, *a, &i, x, scratch, &Nd_poi);
  xo_xnd_change(6, *a, &i, f1, scratch, &Nd_poi);
  return {correction::done, c, Nd_poi};
}

void envelope_failure(const double* x, const double* f1, int piece) {
  std::fprintf(stderr, "!!! for f1[%d]=%f <max=%f on [%f,%f]\n", piece, f1[piece],
               g1_Deltax_max(x[piece], x[piece + 1]), x[piece], x[piece + 1]);
  nrerror("f1 must be > max of the function g1");
}

}  // namespace o3
