/* Heat-bath Monte Carlo of the classical Heisenberg model on a periodic
   chain or simple cubic lattice, its checkerboard sweeps on OpenMP's
   threads: see heat_bath --help. */
#include <stdio.h>

#include "o3_sampler.h"
#include "options.h"
#include "report.h"
#include "simulation.h"

int main(int argc, char **argv) {
  struct options opt;
  struct y_source y;
  struct run_result result;
  char message[256];
  o3_table *table = NULL;
  if (parse_options(argc, argv, &opt, message, sizeof message) != 0) {
    fprintf(stderr, "heat_bath: %s\nheat_bath --help lists the options\n", message);
    return 2;
  }
  if (opt.help) {
    print_usage(stdout, "heat_bath");
    return 0;
  }
  if (opt.method == Y_LIBRARY) {
    /* Only the tables engine reads a file; the others draw without one. */
    o3_error error;
    table = o3_open_engine(opt.table, opt.engine, &error);
    if (table == NULL) {
      fprintf(stderr, "heat_bath: %s\n", error.message);
      if (error.status == O3_CANNOT_READ || error.status == O3_REFUSED) report_table_advice(&opt);
      return 1;
    }
  }
  y.method = opt.method;
  y.table = table;
  report_header(&opt, o3_h0(table), o3_h_max(table));
  fflush(stdout);
  if (run_simulation(&opt.run, &y, &result) != 0) {
    fprintf(stderr, "heat_bath: no memory for a lattice of side %d\n", opt.run.L);
    o3_close(table);
    return 1;
  }
  report_results(&opt, &result, o3_h0(table), o3_h_max(table), "thread", "threads");
  o3_close(table);
  return result.errors > 0;
}
