/* The command line of the heat-bath programs, the same in C, C++ and
   Fortran (heat_bath, heat_bath_cpp, heat_bath_mpi, heat_bath_fortran). */
#ifndef HEAT_BATH_OPTIONS_H
#define HEAT_BATH_OPTIONS_H

#include <stddef.h>
#include <stdio.h>

#include "simulation.h"
#include "y_draw.h"

#ifdef __cplusplus
extern "C" {
#endif

struct options {
  struct run_config run;
  enum y_method method;
  int engine;        /* of the library: O3_ENGINE_* */
  const char *table; /* the file of the tables engine */
  const char *beta;  /* --beta as given, for the command that makes a table */
  int help;
};

/* Prints the usage and the options, for `program`. */
void print_usage(FILE *out, const char *program);

/* 0 with *opt filled (opt->help set by -h or --help, the rest then
   unread), or -1 with a one-line reason in message. */
int parse_options(int argc, char **argv, struct options *opt, char *message, size_t size);

#ifdef __cplusplus
}
#endif

#endif
