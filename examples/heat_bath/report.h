/* What the heat-bath programs print, in one voice: the run, its results
   and the advice when the table does not serve the simulation. The Fortran
   program prints the same texts. */
#ifndef HEAT_BATH_REPORT_H
#define HEAT_BATH_REPORT_H

#include "o3_sampler.h"
#include "options.h"
#include "simulation.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The largest H_max o3tables makes a table for. */
#define TOOL_H_MAX 3200.0

/* The run's three lines: lattice, y draw (with the range [h0, h_max) of
   the tables engine's table), sweeps. */
void report_header(const struct options *opt, double h0, double h_max);

/* The estimates, the fingerprint, the draws outside the table [h0, h_max)
   with the advice when there are any, and the time on r->workers, named
   `one` or `many` ("thread", "threads"). */
void report_results(const struct options *opt, const struct run_result *r, double h0, double h_max,
                    const char *one, const char *many);

/* After "<program>: <message>" of a table that cannot be read or is
   refused: the command that makes the table for this simulation, on
   standard error. */
void report_table_advice(const struct options *opt);

#ifdef __cplusplus
}
#endif

#endif
