// The choice between the usual and the narrow end of the search.
#include "partition/finish.h"

#include <cstdio>

#include "driver/run_parameters.h"
#include "numeric/fatal.h"
#include "partition/corrections.h"
#include "partition/partition_search.h"

namespace o3 {

finished finish_partition(double m, double* x, double* f1, double* a,
                          int Nd_poi) {
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

}  // namespace o3
