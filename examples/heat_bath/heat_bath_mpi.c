/* The heat-bath simulation of heat_bath on MPI's processes: the lattice cut
   into slabs of planes along its last axis (z, or x in the chain), one slab
   a process, each with copies of the planes on either side of it (halos)
   refreshed before every half-sweep and measurement. The planes draw from
   the streams heat_bath's checkerboard sweeps draw from, and the sums of a
   measurement are added in the planes' order, so that any number of
   processes prints heat_bath's results, bit for bit. See heat_bath_mpi
   --help; run with mpirun -np N. */
#include <mpi.h>
#include <stdio.h>
#include <stdlib.h>

#include "o3_sampler.h"
#include "options.h"
#include "report.h"
#include "simulation.h"

/* The sums of a plane travel as four doubles. */
typedef char plane_sum_is_four_doubles[sizeof(struct plane_sum) == 4 * sizeof(double) ? 1 : -1];

/* Process r's planes of a lattice of `planes` planes shared by `size`:
   from first(r) to first(r + 1), as evenly as they go. */
static int first_plane(int r, int size, int planes) { return (int)((long long)r * planes / size); }

struct slab {
  struct lattice lat; /* local plane 0 and count + 1 the halos */
  int first;          /* the whole lattice's index of local plane 1 */
  int count;          /* the planes of its own */
  int below, above;   /* the processes that hold the planes before and after */
};

/* The planes next to the slab into its halos: its last plane goes to the
   process above, whose halo before its first plane it is, and its first
   to the process below. One process exchanges with itself. */
static void exchange_halos(struct slab *s) {
  const int n = (int)(3 * s->lat.plane);
  vec3 *plane = s->lat.spin;
  const size_t P = s->lat.plane;
  MPI_Sendrecv(plane + (size_t)s->count * P, n, MPI_DOUBLE, s->above, 0, plane, n, MPI_DOUBLE,
               s->below, 0, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
  MPI_Sendrecv(plane + P, n, MPI_DOUBLE, s->below, 1, plane + (size_t)(s->count + 1) * P, n,
               MPI_DOUBLE, s->above, 1, MPI_COMM_WORLD, MPI_STATUS_IGNORE);
}

/* The receive counts and offsets of process 0 for `per_plane` numbers a
   plane. */
static void gather_layout(int size, int planes, int per_plane, int *counts, int *offsets) {
  int r;
  for (r = 0; r < size; ++r) {
    offsets[r] = per_plane * first_plane(r, size, planes);
    counts[r] = per_plane * first_plane(r + 1, size, planes) - offsets[r];
  }
}

/* Every process's slab measured; on process 0 the values, from all planes'
   sums in their order. */
static void measure_slab(struct slab *s, const int *counts, const int *offsets,
                         struct plane_sum *all, double value[OBS_COUNT]) {
  const size_t sites = s->lat.plane * (size_t)s->lat.L;
  int k;
  exchange_halos(s);
  for (k = 1; k <= s->count; ++k) lattice_plane_sum(&s->lat, (size_t)k, &s->lat.sums[k]);
  MPI_Gatherv(&s->lat.sums[1], 4 * s->count, MPI_DOUBLE, all, counts, offsets, MPI_DOUBLE, 0,
              MPI_COMM_WORLD);
  if (all != NULL) measure_sums(all, (size_t)s->lat.L, sites, (size_t)s->lat.dim * sites, value);
}

/* The fingerprint of the last configuration into *f on process 0. 1, or 0
   on every process when one has no memory for it. */
static int fingerprint(const struct slab *s, int rank, int size, uint64_t *f) {
  uint64_t *mine = (uint64_t *)malloc((size_t)s->count * sizeof(uint64_t));
  uint64_t *all = rank == 0 ? (uint64_t *)malloc((size_t)s->lat.L * sizeof(uint64_t)) : NULL;
  int *counts = (int *)malloc((size_t)size * sizeof(int));
  int *offsets = (int *)malloc((size_t)size * sizeof(int));
  int k, ok = mine != NULL && counts != NULL && offsets != NULL && (rank != 0 || all != NULL);
  MPI_Allreduce(MPI_IN_PLACE, &ok, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (ok) {
    for (k = 0; k < s->count; ++k) mine[k] = lattice_plane_fingerprint(&s->lat, (size_t)k + 1);
    gather_layout(size, s->lat.L, 1, counts, offsets);
    MPI_Gatherv(mine, s->count, MPI_UINT64_T, all, counts, offsets, MPI_UINT64_T, 0,
                MPI_COMM_WORLD);
    *f = FINGERPRINT_START;
    for (k = 0; rank == 0 && k < s->lat.L; ++k) *f = fingerprint_add(*f, all[k]);
  }
  free(mine);
  free(all);
  free(counts);
  free(offsets);
  return ok;
}

/* The run on this process's slab; on process 0 the results. 0, or -1 when
   some process has no memory. */
static int run(const struct options *opt, const struct y_source *y, int rank, int size,
               struct run_result *result) {
  const struct run_config *c = &opt->run;
  const struct update_rule rule = {c->beta, *y, c->seed};
  const uint64_t sweeps = (uint64_t)(c->thermalisation + c->measurements);
  struct slab s;
  struct binning bins;
  struct plane_sum *all = NULL;
  int *counts = (int *)malloc((size_t)size * sizeof(int));
  int *offsets = (int *)malloc((size_t)size * sizeof(int));
  uint64_t n, tally[3] = {0, 0, 0}; /* updates, outside, errors */
  o3_counts drawn = {0, 0};
  double value[OBS_COUNT], start;
  int k, p, ok;
  s.first = first_plane(rank, size, c->L);
  s.count = first_plane(rank + 1, size, c->L) - s.first;
  s.below = (rank + size - 1) % size;
  s.above = (rank + 1) % size;
  ok = lattice_init_slab(&s.lat, c->dim, c->L, (size_t)s.count + 2) == 0 && counts != NULL &&
       offsets != NULL;
  if (rank == 0) {
    all = (struct plane_sum *)malloc((size_t)c->L * sizeof(struct plane_sum));
    ok = ok && all != NULL && binning_init(&bins, (size_t)c->measurements, (size_t)c->bins) == 0;
  }
  MPI_Allreduce(MPI_IN_PLACE, &ok, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (ok) {
    gather_layout(size, c->L, 4, counts, offsets);
    if (c->hot_start) {
      for (k = 1; k <= s.count; ++k) {
        plane_randomise(&s.lat, (size_t)k, (uint64_t)(s.first + k - 1), c->seed);
      }
    } else {
      lattice_align(&s.lat);
    }
    MPI_Barrier(MPI_COMM_WORLD);
    start = MPI_Wtime();
    for (n = 1; n <= sweeps; ++n) {
      for (p = 0; p < 2; ++p) {
        exchange_halos(&s);
        for (k = 1; k <= s.count; ++k) {
          tally[0] += update_plane(&s.lat, (size_t)k, (uint64_t)(s.first + k - 1),
                                   checkerboard_step(n, p), &rule, 0, &drawn, NULL);
        }
      }
      if (n > (uint64_t)c->thermalisation) {
        measure_slab(&s, counts, offsets, all, value);
        if (rank == 0) binning_add(&bins, value);
      }
    }
    tally[1] = drawn.outside;
    tally[2] = drawn.errors;
    MPI_Reduce(rank == 0 ? MPI_IN_PLACE : tally, tally, 3, MPI_UINT64_T, MPI_SUM, 0,
               MPI_COMM_WORLD);
    ok = fingerprint(&s, rank, size, &result->fingerprint);
    result->seconds = MPI_Wtime() - start;
    result->updates = tally[0];
    result->outside = tally[1];
    result->errors = tally[2];
    result->workers = size;
    if (rank == 0) run_estimates(&bins, result);
  }
  if (rank == 0 && all != NULL) binning_free(&bins);
  free(all);
  free(counts);
  free(offsets);
  lattice_free(&s.lat);
  return ok ? 0 : -1;
}

/* The table of every process, or NULL on all of them when one cannot open
   it; the first such process says why. */
static int open_table(const struct options *opt, int rank, int size, o3_table **table) {
  o3_error error;
  int first_failed;
  *table = o3_open_engine(opt->table, opt->engine, &error);
  first_failed = *table == NULL ? rank : size;
  MPI_Allreduce(MPI_IN_PLACE, &first_failed, 1, MPI_INT, MPI_MIN, MPI_COMM_WORLD);
  if (first_failed == size) return 0;
  if (rank == first_failed) {
    if (rank != 0) fprintf(stderr, "heat_bath_mpi: process %d: %s\n", rank, error.message);
    else fprintf(stderr, "heat_bath_mpi: %s\n", error.message);
    if (error.status == O3_CANNOT_READ || error.status == O3_REFUSED) report_table_advice(opt);
  }
  o3_close(*table);
  *table = NULL;
  return -1;
}

/* 0, 1 or 2 as heat_bath, the same on every process. */
static int simulate(int argc, char **argv, int rank, int size) {
  struct options opt;
  struct y_source y;
  struct run_result result;
  char message[256];
  o3_table *table = NULL;
  int status;
  if (parse_options(argc, argv, &opt, message, sizeof message) != 0) {
    if (rank == 0) {
      fprintf(stderr, "heat_bath_mpi: %s\nheat_bath_mpi --help lists the options\n", message);
    }
    return 2;
  }
  if (opt.help) {
    if (rank == 0) print_usage(stdout, "heat_bath_mpi");
    return 0;
  }
  if (opt.run.order != SWEEP_CHECKERBOARD || size > opt.run.L) {
    if (rank == 0 && opt.run.order != SWEEP_CHECKERBOARD) {
      fprintf(stderr,
              "heat_bath_mpi: --order sequential draws every site from one stream, "
              "which processes cannot share: sweep in checkerboard order\n");
    } else if (rank == 0) {
      fprintf(stderr,
              "heat_bath_mpi: %d processes for the %d planes of L = %d: each needs "
              "one at least\n",
              size, opt.run.L, opt.run.L);
    }
    return 2;
  }
  if (opt.method == Y_LIBRARY && open_table(&opt, rank, size, &table) != 0) return 1;
  y.method = opt.method;
  y.table = table;
  if (rank == 0) {
    report_header(&opt, o3_h0(table), o3_h_max(table));
    fflush(stdout);
  }
  status = run(&opt, &y, rank, size, &result);
  if (status != 0 && rank == 0) {
    fprintf(stderr, "heat_bath_mpi: no memory for a slab of the lattice of side %d\n", opt.run.L);
  } else if (rank == 0) {
    report_results(&opt, &result, o3_h0(table), o3_h_max(table), "process", "processes");
  }
  o3_close(table);
  if (status != 0) return 1;
  MPI_Bcast(&result.errors, 1, MPI_UINT64_T, 0, MPI_COMM_WORLD);
  return result.errors > 0;
}

int main(int argc, char **argv) {
  int rank, size, status;
  MPI_Init(&argc, &argv);
  MPI_Comm_rank(MPI_COMM_WORLD, &rank);
  MPI_Comm_size(MPI_COMM_WORLD, &size);
  status = simulate(argc, argv, rank, size);
  MPI_Finalize();
  return status;
}
