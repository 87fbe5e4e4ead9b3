#include "report.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

/* A number with six decimals, as O3.res keeps them, trailing zeros
   dropped: "0", "4.158001", "20.5". */
static const char *six_decimals(double v, char text[32]) {
  char *end;
  snprintf(text, 32, "%.6f", v);
  end = text + strlen(text);
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  *end = '\0';
  return text;
}

static const char *engine_name(int engine) {
  return engine == O3_ENGINE_TABLES        ? "tables"
         : engine == O3_ENGINE_EXPONENTIAL ? "exponential"
                                           : "default";
}

void report_header(const struct options *opt, double h0_value, double h_max_value) {
  const struct run_config *run = &opt->run;
  char h0[32], h_max[32];
  printf("O(3) heat bath: %s, L = %d, beta = %s\n", run->dim == 1 ? "chain" : "cubic lattice",
         run->L, opt->beta);
  printf("y draw: %s", y_method_name(opt->method));
  if (opt->method == Y_LIBRARY) printf(", %s engine", engine_name(opt->engine));
  if (opt->method == Y_LIBRARY && opt->engine == O3_ENGINE_TABLES) {
    printf(", %s (H0 = %s, H_max = %s)", opt->table, six_decimals(h0_value, h0),
           six_decimals(h_max_value, h_max));
  }
  printf("; %s sweeps, %s start, seed %llu\n", sweep_order_name(run->order),
         run->hot_start ? "hot" : "cold", (unsigned long long)run->seed);
  printf("%ld thermalisation sweeps, %ld measurements (one per sweep) in %ld bins\n\n",
         run->thermalisation, run->measurements, run->bins);
}

/* Two significant digits of the error, and the mean to the same place. */
static void print_estimate(const char *name, struct estimate e, int tau) {
  int decimals = e.error > 0.0 ? 1 - (int)floor(log10(e.error)) : 6;
  if (decimals < 0) decimals = 0;
  if (decimals > 12) decimals = 12;
  printf("%-24s %.*f +- %.*f", name, decimals, e.mean, decimals, e.error);
  if (tau) printf("   (tau_int %.1f sweeps)", e.tau);
  printf("\n");
}

/* The command that makes the table for this simulation where --table
   looks for it (o3tables -C DIR for a table in DIR), and the file it
   writes, or, past what o3tables makes, what to do instead. */
static void print_advice(FILE *out, const struct options *opt) {
  const char *slash = strrchr(opt->table, '/');
  const int dir = slash == NULL ? 0 : slash == opt->table ? 1 : (int)(slash - opt->table);
  const double largest = 2.0 * opt->run.dim * opt->run.beta;
  char h[32];
  if (largest >= TOOL_H_MAX) {
    fprintf(out,
            "o3tables makes tables up to H_max = 3200, below 2 d beta = %s: draw with "
            "--engine default, which needs none\n",
            six_decimals(largest, h));
    return;
  }
  fprintf(out, "this command makes the table for this simulation, %.*s%sO3.res:\n    o3tables ",
          dir, opt->table, dir == 0 || opt->table[dir - 1] == '/' ? "" : "/");
  if (dir > 0) fprintf(out, "-C %.*s ", dir, opt->table);
  fprintf(out, "--lattice %s --beta %s --losses 10 --yes\n", opt->run.dim == 1 ? "chain" : "cubic",
          opt->beta);
}

void report_table_advice(const struct options *opt) {
  print_advice(stderr, opt);
  fprintf(stderr, "or draw without a table: --engine default\n");
}

void report_results(const struct options *opt, const struct run_result *r, double h0_value,
                    double h_max_value, const char *one, const char *many) {
  const struct run_config *run = &opt->run;
  print_estimate("energy per bond", r->energy, 1);
  print_estimate("|m|", r->m, 1);
  print_estimate("<m^4>/<m^2>^2", r->binder, 0);
  if (run->dim == 1) {
    printf("%-24s %.6f\n", "infinite chain, exact", chain_energy_per_bond(run->beta));
  }
  /* Bins of b measurements are not quite independent: with an exponential
     autocorrelation their means' variance falls short by about tau/b, the
     error by tau/(2b). Past a few percent it is worth a warning. tau_int is
     1/2 for independent sweeps, whose bins fall short by nothing: the
     excess over 1/2 is what counts. */
  {
    const double tau = (r->energy.tau > r->m.tau ? r->energy.tau : r->m.tau) - 0.5;
    const double bin = (double)run->measurements / (double)run->bins;
    if (tau > 0.1 * bin) {
      printf(
          "warning: bins of %.0f sweeps are less than 10 tau_int: the errors are "
          "underestimated by about %.0f %%; run more sweeps or take fewer bins\n",
          bin, 100.0 * tau / (2.0 * bin));
    }
  }
  printf("fingerprint of the last configuration: %016llx\n", (unsigned long long)r->fingerprint);
  if (opt->method == Y_LIBRARY && opt->engine == O3_ENGINE_TABLES) {
    printf("\ndraws outside the table's range: %llu of %llu\n", (unsigned long long)r->outside,
           (unsigned long long)r->updates);
    if (r->outside > 0) {
      char h0[32], h_max[32], largest[32];
      printf(
          "warning: the table covers [%s, %s), the couplings of this simulation [0, %s]: "
          "those outside it were drawn exactly, but slower\n",
          six_decimals(h0_value, h0), six_decimals(h_max_value, h_max),
          six_decimals(2.0 * run->dim * run->beta, largest));
      print_advice(stdout, opt);
    }
  }
  if (r->errors > 0) {
    printf("error: %llu couplings were not finite\n", (unsigned long long)r->errors);
  }
  printf("time: %.2f s, %.1f ns per spin update, %d %s\n", r->seconds,
         r->updates > 0 ? 1e9 * r->seconds / (double)r->updates : 0.0, r->workers,
         r->workers == 1 ? one : many);
}
