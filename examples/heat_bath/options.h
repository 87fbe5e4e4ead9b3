/* The command line of heat_bath. */
#ifndef HEAT_BATH_OPTIONS_H
#define HEAT_BATH_OPTIONS_H

#include "simulation.h"
#include "y_draw.h"

#ifdef __cplusplus
extern "C" {
#endif

#define MAX_TABLES 8
#define MAX_SIZES 8

struct options {
  struct run_config run;
  enum y_method method;
  int engine; /* of the tables methods: O3_ENGINE_* */
  const char *tables[MAX_TABLES];
  int table_count; /* 0: O3.res when a table is needed */
  int help;

  /* --time */
  int time_mode;
  int sizes[MAX_SIZES];
  int size_count;
  long repeats;
  long updates_per_repetition;
  long stream_sweeps;
  int thermalisation_given;
};

extern const char heat_bath_usage[];

/* 0 with *opt filled, or -1 with a one-line reason in message. */
int parse_options(int argc, char **argv, struct options *opt, char *message, size_t size);

#ifdef __cplusplus
}
#endif

#endif
