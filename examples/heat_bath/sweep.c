#include "sweep.h"

#include <string.h>

#ifdef _OPENMP
#include <omp.h>
#endif

const char *sweep_order_name(enum sweep_order order) {
  return order == SWEEP_SEQUENTIAL ? "sequential" : "checkerboard";
}

int sweep_order_parse(const char *name, enum sweep_order *order) {
  if (strcmp(name, "checkerboard") == 0) {
    *order = SWEEP_CHECKERBOARD;
  } else if (strcmp(name, "sequential") == 0) {
    *order = SWEEP_SEQUENTIAL;
  } else {
    return -1;
  }
  return 0;
}

void lattice_start(struct lattice *lat, int hot, uint64_t seed) {
  size_t w;
  if (!hot) {
    lattice_align(lat);
    return;
  }
  for (w = 0; w < lat->planes; ++w) plane_randomise(lat, w, w, seed);
}

static int thread_number(void) {
#ifdef _OPENMP
  return omp_get_thread_num();
#else
  return 0;
#endif
}

uint64_t sweep(struct lattice *lat, enum sweep_order order, const struct update_rule *rule,
               uint64_t n, o3_stream *s, o3_counts *counts, double *h_record) {
  uint64_t updates = 0, outside = 0, errors = 0;
  long w;
  int p;
  if (order == SWEEP_SEQUENTIAL) {
    const o3_counts before = s->counts;
    for (w = 0; w < (long)lat->planes; ++w) {
      updates += update_plane_in_order(lat, (size_t)w, rule, s, h_record);
    }
    counts->outside += s->counts.outside - before.outside;
    counts->errors += s->counts.errors - before.errors;
    return updates;
  }
  /* The team is the lattice's, whose scratch has a block for each thread;
     each half-sweep ends at the loop's barrier, before the next reads its
     spins. */
  for (p = 0; p < 2; ++p) {
#pragma omp parallel for num_threads(lat->threads) schedule(static) \
    reduction(+ : updates, outside, errors)
    for (w = 0; w < (long)lat->planes; ++w) {
      o3_counts c = {0, 0};
      updates += update_plane(lat, (size_t)w, (uint64_t)w, checkerboard_step(n, p), rule,
                              thread_number(), &c, h_record);
      outside += c.outside;
      errors += c.errors;
    }
  }
  counts->outside += outside;
  counts->errors += errors;
  return updates;
}
