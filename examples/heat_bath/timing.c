/* clock_gettime */
#define _POSIX_C_SOURCE 199309L

#include "timing.h"

#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "lattice.h"
#include "sweep.h"

/* Inversion first: every ratio is to it, or to the extras' own. */
#define MAX_EXTRA_METHODS 2
#define MAX_VARIANTS (3 + 2 * MAX_TABLES + MAX_EXTRA_METHODS)

struct variant {
  char label[32];
  int table; /* index into the tables, or -1 */
  int reference; /* the variant whose times the ratios are to */
  struct y_source src;
  const struct timed_draw *extra; /* the draw of another language, or NULL */
  struct lattice lat;
};

static void sweep_variant(struct variant *v, double beta, enum sweep_order order) {
  if (v->extra != NULL) {
    v->extra->sweep(v->extra->ctx, &v->lat, beta, order);
  } else {
    sweep(&v->lat, beta, order, &v->src, NULL);
  }
}

static int add_variant(struct variant *v, int n, enum y_method method, int table,
                       const struct timed_draw *extra) {
  v[n].src.method = method;
  v[n].table = table;
  v[n].extra = extra;
  v[n].reference = 0;
  return n + 1;
}

static int make_variants(struct variant *v, o3_table *const *tables, int table_count,
                         const struct timed_draw *extra, int extra_count) {
  int n = 0, k, first_extra;
  n = add_variant(v, n, Y_INVERSION, -1, NULL);
  n = add_variant(v, n, Y_EXPONENTIAL, -1, NULL);
  for (k = 0; k < table_count; ++k) n = add_variant(v, n, Y_TABLES, k, NULL);
  first_extra = n;
  for (k = 0; k < extra_count && n + 1 < MAX_VARIANTS; ++k) {
    n = add_variant(v, n, Y_NONE, -1, &extra[k]);
    if (extra[k].reference >= 0 && extra[k].reference < k) {
      v[n - 1].reference = first_extra + extra[k].reference;
    }
  }
  n = add_variant(v, n, Y_NONE, -1, NULL);
  for (k = 0; k < n; ++k) {
    v[k].src.table = v[k].table >= 0 ? tables[v[k].table] : NULL;
    v[k].src.tries = 0;
    if (v[k].extra != NULL) {
      snprintf(v[k].label, sizeof v[k].label, "%s", v[k].extra->label);
    } else if (v[k].table >= 0) {
      snprintf(v[k].label, sizeof v[k].label, "%s [%d]", y_method_name(v[k].src.method),
               v[k].table + 1);
    } else {
      snprintf(v[k].label, sizeof v[k].label, "%s", y_method_name(v[k].src.method));
    }
  }
  return n;
}

/* The thread's own CPU time: on a shared machine the time others hold the
   processor would otherwise count against whichever draw was running. What
   their load still costs (caches refilled after them) is not removed; the
   share of the wall-clock time the thread ran is printed to judge it. */
static double cpu_seconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

static double wall_seconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

/* Accumulates the CPU and wall-clock time of the timed loops. */
struct clocks {
  double cpu, wall;
};

static int by_value(const void *a, const void *b) {
  const double x = *(const double *)a, y = *(const double *)b;
  return x < y ? -1 : x > y;
}

/* Sorts v. */
static double median(double *v, long n) {
  qsort(v, (size_t)n, sizeof *v, by_value);
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

/* ------------------------------------------------------------------------ */
/* Draws on a recorded stream of couplings */

/* The results feed this, so that no draw can be left out as unused. */
static volatile double sink;

/* "independent": the draws only meet in the sum, so a processor runs many
   at once and each costs its throughput. "chained": each coupling depends
   on the previous y through 0 * y, which leaves h as it is (y is finite and
   h + -0 = h) but cannot be removed without fast-math, so each draw waits
   for the one before: the latency that a sequential sweep, where the next
   coupling depends on the spin just drawn, is bound by. */
static Y_DRAW_INLINE double replay_with(struct y_source *src, const enum y_method method,
                                        const double *h, size_t n, int chained) {
  double sum = 0.0, y = 0.0;
  size_t i;
  if (chained) {
    for (i = 0; i < n; ++i) y = y_draw(src, method, h[i] + 0.0 * y);
    return y;
  }
  for (i = 0; i < n; ++i) sum += y_draw(src, method, h[i]);
  return sum;
}

static double replay(struct y_source *src, const double *h, size_t n, int chained) {
  switch (src->method) {
  case Y_TABLES:
    return replay_with(src, Y_TABLES, h, n, chained);
  case Y_TABLES_COUNTED:
    return replay_with(src, Y_TABLES_COUNTED, h, n, chained);
  case Y_INVERSION:
    return replay_with(src, Y_INVERSION, h, n, chained);
  case Y_EXPONENTIAL:
    return replay_with(src, Y_EXPONENTIAL, h, n, chained);
  case Y_NONE:
    break;
  }
  return replay_with(src, Y_NONE, h, n, chained);
}

/* ------------------------------------------------------------------------ */

static void print_ratio_cell(double ns, double reference) {
  printf("  %7.2f (%4.2f)", ns, ns / reference);
}

/* ns per spin update of every variant in one order and size; medians into
   result[variant]. */
static int time_sweeps(const struct options *opt, struct variant *v, int n, int L,
                       enum sweep_order order, double *result, struct clocks *spent) {
  const long repeats = opt->repeats;
  double *ns = (double *)malloc((size_t)(n * repeats) * sizeof(double));
  long sweeps, r, k;
  int i, made = 0, status = 0;
  if (ns == NULL) return 1;
  for (i = 0; i < n; ++i, ++made) {
    if (lattice_init(&v[i].lat, 3, L) != 0) {
      status = 1;
      break;
    }
    /* A hot start: the local fields, all this measures, settle within a
       few sweeps, while a cold start would begin with every h at 6 beta. */
    o3_rng_seed(&v[i].src.rng, opt->run.seed + (uint64_t)i);
    if (v[i].extra != NULL) v[i].extra->seed(v[i].extra->ctx, opt->run.seed + (uint64_t)i);
    lattice_randomise(&v[i].lat, &v[i].src.rng);
    for (k = 0; k < opt->run.thermalisation; ++k) sweep_variant(&v[i], opt->run.beta, order);
  }
  if (status == 0) {
    sweeps = opt->updates_per_repetition / (long)v[0].lat.sites;
    if (sweeps < 1) sweeps = 1;
    /* A B C A B C ...: a change in the machine's load falls on all alike. */
    for (r = 0; r < repeats; ++r) {
      for (i = 0; i < n; ++i) {
        const double wall = wall_seconds(), start = cpu_seconds();
        double cpu;
        for (k = 0; k < sweeps; ++k) sweep_variant(&v[i], opt->run.beta, order);
        cpu = cpu_seconds() - start;
        spent->cpu += cpu;
        spent->wall += wall_seconds() - wall;
        ns[i * repeats + r] = cpu * 1e9 / ((double)sweeps * (double)v[i].lat.sites);
      }
    }
    for (i = 0; i < n; ++i) result[i] = median(ns + i * repeats, repeats);
  }
  for (i = 0; i < made; ++i) lattice_free(&v[i].lat);
  free(ns);
  return status;
}

/* Records the couplings of opt->stream_sweeps sequential sweeps of the
   first size, thermalised by inversion; *n of them. */
static double *record_stream(const struct options *opt, size_t *n) {
  struct y_source src;
  struct lattice lat;
  double *h;
  long k;
  src.method = Y_INVERSION;
  src.table = NULL;
  if (lattice_init(&lat, 3, opt->sizes[0]) != 0) return NULL;
  *n = lat.sites * (size_t)opt->stream_sweeps;
  h = (double *)malloc(*n * sizeof(double));
  if (h != NULL) {
    o3_rng_seed(&src.rng, opt->run.seed);
    lattice_randomise(&lat, &src.rng);
    for (k = 0; k < opt->run.thermalisation; ++k) {
      sweep(&lat, opt->run.beta, SWEEP_SEQUENTIAL, &src, NULL);
    }
    for (k = 0; k < opt->stream_sweeps; ++k) {
      sweep(&lat, opt->run.beta, SWEEP_SEQUENTIAL, &src, h + (size_t)k * lat.sites);
    }
  }
  lattice_free(&lat);
  return h;
}

static void describe_stream(const double *h, size_t n) {
  double *sorted = (double *)malloc(n * sizeof(double));
  double mean = 0.0;
  size_t i;
  for (i = 0; i < n; ++i) mean += h[i];
  mean /= (double)n;
  if (sorted == NULL) return;
  for (i = 0; i < n; ++i) sorted[i] = h[i];
  qsort(sorted, n, sizeof *sorted, by_value);
  printf("couplings h of the stream: %zu, mean %.3f, 1 %% %.3f, median %.3f, 99 %% %.3f, "
         "largest %.3f\n",
         n, mean, sorted[n / 100], sorted[n / 2], sorted[n - 1 - n / 100], sorted[n - 1]);
  free(sorted);
}

/* ns per draw on the stream, independent and chained, medians into
   result[2 * variant + chained]; the last variant (none) is left out. */
static int time_stream(const struct options *opt, struct variant *v, int n, const double *h,
                       size_t count, double *result, struct clocks *spent) {
  const long repeats = opt->repeats;
  double *ns = (double *)malloc((size_t)(2 * n * repeats) * sizeof(double));
  size_t passes = (size_t)opt->updates_per_repetition / count, p;
  long r;
  int i, chained;
  if (ns == NULL) return 1;
  if (passes < 1) passes = 1;
  for (r = 0; r < repeats; ++r) {
    for (i = 0; i < n; ++i) {
      for (chained = 0; chained < 2; ++chained) {
        const double wall = wall_seconds(), start = cpu_seconds();
        double total = 0.0, cpu;
        for (p = 0; p < passes; ++p) {
          total += v[i].extra != NULL
                       ? v[i].extra->replay(v[i].extra->ctx, h, count, chained)
                       : replay(&v[i].src, h, count, chained);
        }
        cpu = cpu_seconds() - start;
        spent->cpu += cpu;
        spent->wall += wall_seconds() - wall;
        ns[(2 * i + chained) * repeats + r] = cpu * 1e9 / ((double)passes * (double)count);
        sink = total;
      }
    }
  }
  for (i = 0; i < 2 * n; ++i) result[i] = median(ns + i * repeats, repeats);
  free(ns);
  return 0;
}

int run_timing(const struct options *opt, o3_table *const *tables, const char *const *paths,
               int table_count, const struct timed_draw *extra, int extra_count) {
  static const enum sweep_order orders[2] = {SWEEP_SEQUENTIAL, SWEEP_CHECKERBOARD};
  struct variant v[MAX_VARIANTS];
  const int n = make_variants(v, tables, table_count, extra, extra_count);
  const int columns = 2 * opt->size_count;
  double sweep_ns[MAX_VARIANTS * 2 * MAX_SIZES];
  double draw_ns[2 * MAX_VARIANTS];
  double *stream;
  struct clocks spent[2 * MAX_SIZES + 1] = {{0.0, 0.0}};
  size_t count;
  int i, c, k;

  printf("3D heat bath at beta = %g: ns of thread CPU time per spin update, medians of %ld "
         "repetitions\ninterleaved across the y draws, %ld updates each after %ld sweeps from a "
         "hot start;\nin brackets the ratio to inversion (its own language's) in the same column\n",
         opt->run.beta, opt->repeats, opt->updates_per_repetition, opt->run.thermalisation);
  for (k = 0; k < table_count; ++k) {
    printf("[%d] %s: H0 = %g, H_max = %g, losses %g %%, %d histograms of %d pieces\n", k + 1,
           paths[k], o3_h0(tables[k]), o3_h_max(tables[k]), o3_losses(tables[k]),
           o3_histogram_count(tables[k]), o3_pieces_per_histogram(tables[k]));
  }
  for (c = 0; c < columns; ++c) {
    const int L = opt->sizes[c % opt->size_count];
    const enum sweep_order order = orders[c / opt->size_count];
    double column[MAX_VARIANTS];
    fprintf(stderr, "timing %s sweeps, L = %d\n", sweep_order_name(order), L);
    if (time_sweeps(opt, v, n, L, order, column, &spent[c]) != 0) return 1;
    for (i = 0; i < n; ++i) sweep_ns[i * columns + c] = column[i];
  }
  printf("\n%-18s", "y draw");
  for (c = 0; c < columns; ++c) {
    printf("  %-10s L=%-3d", c / opt->size_count ? "checkerbd" : "sequential",
           opt->sizes[c % opt->size_count]);
  }
  printf("\n");
  for (i = 0; i < n; ++i) {
    printf("%-18s", v[i].label);
    for (c = 0; c < columns; ++c) {
      print_ratio_cell(sweep_ns[i * columns + c], sweep_ns[v[i].reference * columns + c]);
    }
    printf("\n");
  }
  printf("%-18s", "ran, % of wall");
  for (c = 0; c < columns; ++c) printf("  %15.0f", 100.0 * spent[c].cpu / spent[c].wall);
  printf("\n");

  fprintf(stderr, "timing draws on the recorded stream\n");
  stream = record_stream(opt, &count);
  if (stream == NULL) return 1;
  printf("\nns per draw on a stream of the couplings of %ld sequential sweeps at L = %d, "
         "same repetitions\n",
         opt->stream_sweeps, opt->sizes[0]);
  describe_stream(stream, count);
  if (time_stream(opt, v, n - 1, stream, count, draw_ns, &spent[columns]) != 0) {
    free(stream);
    return 1;
  }
  free(stream);
  printf("%-18s  %-15s  %-15s\n", "y draw", "independent", "chained");
  for (i = 0; i < n - 1; ++i) {
    printf("%-18s", v[i].label);
    print_ratio_cell(draw_ns[2 * i], draw_ns[2 * v[i].reference]);
    print_ratio_cell(draw_ns[2 * i + 1], draw_ns[2 * v[i].reference + 1]);
    printf("\n");
  }
  printf("%-18s  %15.0f\n", "ran, % of wall", 100.0 * spent[columns].cpu / spent[columns].wall);
  printf("\n");
  for (k = 0; k < table_count; ++k) {
    printf("[%d] draws outside the table's range: %llu\n", k + 1,
           (unsigned long long)o3_outside_count(tables[k]));
  }
  return 0;
}
