/* Heat-bath Monte Carlo of the classical Heisenberg model on a periodic
   chain or simple cubic lattice: see heat_bath --help. */
#include <math.h>
#include <stdio.h>

#include "o3_sampler.h"
#include "options.h"
#include "simulation.h"
#include "timing.h"

/* Two significant digits of the error, and the mean to the same place. */
static void print_estimate(const char *name, struct estimate e, const char *unit) {
  int decimals = e.error > 0.0 ? 1 - (int)floor(log10(e.error)) : 6;
  if (decimals < 0) decimals = 0;
  if (decimals > 12) decimals = 12;
  printf("%-24s %.*f +- %.*f", name, decimals, e.mean, decimals, e.error);
  if (unit != NULL) printf("   (tau_int %.1f %s)", e.tau, unit);
  printf("\n");
}

static int needs_table(enum y_method method) {
  return method == Y_TABLES || method == Y_TABLES_COUNTED;
}

static o3_table *open_table(const char *path, int engine) {
  o3_error error;
  o3_table *t = o3_open_engine(engine == O3_ENGINE_EXPONENTIAL ? NULL : path, engine, &error);
  if (t == NULL) fprintf(stderr, "heat_bath: %s\n", error.message);
  return t;
}

static int simulate(const struct options *opt) {
  const struct run_config *run = &opt->run;
  const char *path = opt->table_count > 0 ? opt->tables[0] : "O3.res";
  /* h = beta |sum of the 2d neighbours| lies in [0, 2 d beta], and is
     2 d beta exactly where the neighbours are aligned, as everywhere on a
     cold start. The table's range [H0, H_max) is open at H_max, so it must
     pass 2 d beta; the library draws any other h by exact inversion, right
     but slower, and counts it. */
  const double h_largest = 2.0 * run->dim * run->beta;
  struct y_source src;
  struct run_result result;
  src.method = opt->method;
  src.table = NULL;
  src.tries = 0;
  if (needs_table(opt->method) && (src.table = open_table(path, opt->engine)) == NULL) return 1;

  printf("O(3) heat bath: %s, L = %d, beta = %g\n", run->dim == 1 ? "chain" : "cubic lattice",
         run->L, run->beta);
  printf("y draw: %s", y_method_name(opt->method));
  if (src.table != NULL) {
    printf(" from %s (H0 = %g, H_max = %g, losses %g %%)", path, o3_h0(src.table),
           o3_h_max(src.table), o3_losses(src.table));
  }
  printf("; %s sweeps, %s start, seed %llu\n", sweep_order_name(run->order),
         run->hot_start ? "hot" : "cold", (unsigned long long)run->seed);
  printf("%ld thermalisation sweeps, %ld measurements (one per sweep) in %ld bins\n\n",
         run->thermalisation, run->measurements, run->bins);

  if (run_simulation(run, &src, &result) != 0) {
    fprintf(stderr, "heat_bath: no memory for a lattice of side %d\n", run->L);
    o3_close(src.table);
    return 1;
  }
  print_estimate("energy per bond", result.energy, "sweeps");
  print_estimate("|m|", result.m, "sweeps");
  print_estimate("<m^4>/<m^2>^2", result.binder, NULL);
  if (run->dim == 1) {
    printf("%-24s %.6f\n", "infinite chain, exact", chain_energy_per_bond(run->beta));
  }
  /* Bins of b measurements are not quite independent: with an exponential
     autocorrelation their means' variance falls short by about tau/b, the
     error by tau/(2b). Past a few percent it is worth a warning. */
  {
    /* tau_int is 1/2 for independent sweeps, whose bins fall short by
       nothing: the excess over 1/2 is what counts. */
    const double tau =
        (result.energy.tau > result.m.tau ? result.energy.tau : result.m.tau) - 0.5;
    const double bin = (double)run->measurements / (double)run->bins;
    if (tau > 0.1 * bin) {
      printf("warning: bins of %.0f sweeps are less than 10 tau_int: the errors are "
             "underestimated by about %.0f %%; run more sweeps or take fewer bins\n",
             bin, 100.0 * tau / (2.0 * bin));
    }
  }
  if (src.table != NULL) {
    printf("\ndraws outside the table's range: %llu of %llu\n",
           (unsigned long long)result.outside, (unsigned long long)result.updates);
    if (result.outside > 0 && h_largest >= o3_h_max(src.table)) {
      printf("warning: the table covers [%g, %g), but h reaches 2 d beta = %g here; those "
             "draws were made by exact inversion, right but slower: make a table with "
             "--hmax above %g\n",
             o3_h0(src.table), o3_h_max(src.table), h_largest, h_largest);
    }
    if (result.outside > 0 && o3_h0(src.table) > 0.0) {
      printf("warning: the table covers [%g, %g), but h can fall to 0; the draws below %g "
             "were made by exact inversion, right but slower: make a table with --h0 0\n",
             o3_h0(src.table), o3_h_max(src.table), o3_h0(src.table));
    }
    if (result.errors > 0) {
      printf("error: %llu couplings were not finite\n", (unsigned long long)result.errors);
    }
  }
  o3_close(src.table);
  return result.errors > 0;
}

static int time_draws(const struct options *opt) {
  static const char *const default_path = "O3.res";
  const char *const *paths = opt->table_count > 0 ? opt->tables : &default_path;
  const int count = opt->table_count > 0 ? opt->table_count : 1;
  o3_table *tables[MAX_TABLES];
  int k, status = 0;
  for (k = 0; k < count; ++k) {
    if ((tables[k] = open_table(paths[k], opt->engine)) == NULL) {
      while (k > 0) o3_close(tables[--k]);
      return 1;
    }
  }
  status = run_timing(opt, tables, paths, count, NULL, 0);
  if (status != 0) fprintf(stderr, "heat_bath: no memory for the timing\n");
  for (k = 0; k < count; ++k) o3_close(tables[k]);
  return status;
}

int main(int argc, char **argv) {
  struct options opt;
  char message[256];
  if (parse_options(argc, argv, &opt, message, sizeof message) != 0) {
    fprintf(stderr, "heat_bath: %s\n%s", message, heat_bath_usage);
    return 2;
  }
  if (opt.help) {
    printf("%s", heat_bath_usage);
    return 0;
  }
  return opt.time_mode ? time_draws(&opt) : simulate(&opt);
}
