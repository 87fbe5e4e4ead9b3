#include "options.h"

#include <errno.h>
#include <float.h>
#include <limits.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

const char heat_bath_usage[] =
    "usage: heat_bath [--lattice chain|cubic] [--L N] [--beta B] [--therm N] [--sweeps N]\n"
    "                 [--seed N] [--table FILE] [--draw METHOD] [--order ORDER]\n"
    "                 [--start cold|hot] [--bins N] [--engine ENGINE]\n"
    "       heat_bath --time [--table FILE]... [--beta B] [--sizes L,L...] [--repeats N]\n"
    "                 [--therm N] [--updates N] [--stream-sweeps N] [--seed N]\n"
    "\n"
    "Heat-bath Monte Carlo of the classical Heisenberg model, H = -sum s_i.s_j over\n"
    "nearest neighbours, on a periodic chain or simple cubic lattice of side L.\n"
    "\n"
    "  --lattice     chain or cubic (cubic)\n"
    "  --L           side of the lattice, at least 2 (16)\n"
    "  --beta        inverse temperature, 0 to 1e6 (0.693, near the 3D critical point)\n"
    "  --therm       sweeps before measuring (1000; 50 with --time)\n"
    "  --sweeps      measurement sweeps, one measurement each (10000)\n"
    "  --seed        seed of the xoshiro256** generator (1)\n"
    "  --table       the O3.res to draw from (O3.res); with --time, one or more\n"
    "  --draw        tables: o3_draw from the table (default)\n"
    "                tables-counted: the same draws, the tries of the tables counted\n"
    "                inversion: exact inversion of the distribution of y\n"
    "                exponential: y = 1 - E/h, E exponential, redrawn while E > 2h\n"
    "  --engine      of the library's draws: default (the fastest per coupling), tables\n"
    "                (the tables only, inversion outside them) or exponential (no table)\n"
    "  --order       sequential (memory order) or checkerboard (one parity, then the other;\n"
    "                L even)\n"
    "  --start       cold (all spins along z, the default) or hot (random)\n"
    "  --bins        bins of the error analysis, 2 to 1000 (32)\n"
    "  --time        ns per spin update of the 3D sweep for each y draw (and without one),\n"
    "                each order and size, medians of interleaved repetitions; then ns per\n"
    "                draw on a recorded stream of the sweep's couplings\n"
    "  --sizes       lattice sides for --time (32,64)\n"
    "  --repeats     repetitions for --time (9)\n"
    "  --updates     spin updates per repetition for --time (4194304)\n"
    "  --stream-sweeps  sweeps of L = first size recorded for the stream (4)\n";

static int fail(char *message, size_t size, const char *what, const char *value) {
  snprintf(message, size, "%s%s%s", what, value != NULL ? ": " : "", value != NULL ? value : "");
  return -1;
}

static int parse_long(const char *text, long low, long high, long *out) {
  char *end;
  long v;
  errno = 0;
  v = strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return -1;
  *out = v;
  return 0;
}

/* L,L,...: every field a number, none empty. */
static int parse_sizes(const char *text, struct options *opt) {
  const char *p = text;
  opt->size_count = 0;
  for (;;) {
    char *end;
    long L;
    errno = 0;
    L = strtol(p, &end, 10);
    if (errno != 0 || end == p || L < 2 || L > 1024 || opt->size_count == MAX_SIZES) return -1;
    opt->sizes[opt->size_count++] = (int)L;
    if (*end == '\0') return 0;
    if (*end != ',') return -1;
    p = end + 1;
  }
}

static void set_defaults(struct options *opt) {
  memset(opt, 0, sizeof *opt);
  opt->run.dim = 3;
  opt->run.L = 16;
  opt->run.beta = 0.693;
  opt->run.thermalisation = 1000;
  opt->run.measurements = 10000;
  opt->run.seed = 1;
  opt->run.order = SWEEP_SEQUENTIAL;
  opt->run.hot_start = 0;
  opt->run.bins = 32;
  opt->method = Y_TABLES;
  opt->sizes[0] = 32;
  opt->sizes[1] = 64;
  opt->size_count = 2;
  opt->repeats = 9;
  opt->updates_per_repetition = 4194304;
  opt->stream_sweeps = 4;
}

static int known(const char *name) {
  static const char *const names[] = {
      "--lattice", "--L",     "--beta",  "--therm",   "--sweeps",  "--seed",    "--table",
      "--draw",    "--order", "--start", "--bins",    "--sizes",   "--repeats", "--updates",
      "--stream-sweeps", "--engine"};
  size_t i;
  for (i = 0; i < sizeof names / sizeof names[0]; ++i) {
    if (strcmp(name, names[i]) == 0) return 1;
  }
  return 0;
}

/* One option and its value (NULL for the flags); 0, or -1 with message. */
static int take(struct options *opt, const char *name, const char *value, char *message,
                size_t size) {
  long n;
  if (strcmp(name, "--lattice") == 0) {
    if (strcmp(value, "chain") == 0) {
      opt->run.dim = 1;
    } else if (strcmp(value, "cubic") == 0) {
      opt->run.dim = 3;
    } else {
      return fail(message, size, "--lattice must be chain or cubic", value);
    }
  } else if (strcmp(name, "--L") == 0) {
    if (parse_long(value, 2, INT_MAX, &n) != 0) return fail(message, size, "bad --L", value);
    opt->run.L = (int)n;
  } else if (strcmp(name, "--beta") == 0) {
    char *end;
    const double beta = strtod(value, &end);
    /* beta up to 1e6 keeps 6 beta and its square far from overflow. */
    if (end == value || *end != '\0' || !(beta >= 0.0 && beta <= 1e6)) {
      return fail(message, size, "--beta must be a number from 0 to 1e6", value);
    }
    opt->run.beta = beta;
  } else if (strcmp(name, "--therm") == 0) {
    if (parse_long(value, 0, LONG_MAX, &n) != 0) return fail(message, size, "bad --therm", value);
    opt->run.thermalisation = n;
    opt->thermalisation_given = 1;
  } else if (strcmp(name, "--sweeps") == 0) {
    if (parse_long(value, 1, LONG_MAX, &n) != 0) return fail(message, size, "bad --sweeps", value);
    opt->run.measurements = n;
  } else if (strcmp(name, "--seed") == 0) {
    char *end;
    errno = 0;
    opt->run.seed = (uint64_t)strtoull(value, &end, 10);
    if (errno != 0 || end == value || *end != '\0' || value[0] == '-') {
      return fail(message, size, "bad --seed", value);
    }
  } else if (strcmp(name, "--table") == 0) {
    if (opt->table_count == MAX_TABLES) return fail(message, size, "too many --table", NULL);
    opt->tables[opt->table_count++] = value;
  } else if (strcmp(name, "--draw") == 0) {
    if (y_method_parse(value, &opt->method) != 0 || opt->method == Y_NONE) {
      return fail(message, size,
                  "--draw must be tables, tables-counted, inversion or exponential", value);
    }
  } else if (strcmp(name, "--engine") == 0) {
    if (strcmp(value, "default") == 0) {
      opt->engine = O3_ENGINE_DEFAULT;
    } else if (strcmp(value, "tables") == 0) {
      opt->engine = O3_ENGINE_TABLES;
    } else if (strcmp(value, "exponential") == 0) {
      opt->engine = O3_ENGINE_EXPONENTIAL;
    } else {
      return fail(message, size, "--engine must be default, tables or exponential", value);
    }
  } else if (strcmp(name, "--order") == 0) {
    if (sweep_order_parse(value, &opt->run.order) != 0) {
      return fail(message, size, "--order must be sequential or checkerboard", value);
    }
  } else if (strcmp(name, "--start") == 0) {
    if (strcmp(value, "cold") != 0 && strcmp(value, "hot") != 0) {
      return fail(message, size, "--start must be cold or hot", value);
    }
    opt->run.hot_start = strcmp(value, "hot") == 0;
  } else if (strcmp(name, "--bins") == 0) {
    if (parse_long(value, 2, 1000, &n) != 0) return fail(message, size, "bad --bins", value);
    opt->run.bins = n;
  } else if (strcmp(name, "--sizes") == 0) {
    if (parse_sizes(value, opt) != 0) return fail(message, size, "bad --sizes", value);
  } else if (strcmp(name, "--repeats") == 0) {
    if (parse_long(value, 1, 1000, &n) != 0) return fail(message, size, "bad --repeats", value);
    opt->repeats = n;
  } else if (strcmp(name, "--updates") == 0) {
    if (parse_long(value, 1, LONG_MAX, &n) != 0) return fail(message, size, "bad --updates", value);
    opt->updates_per_repetition = n;
  } else if (strcmp(name, "--stream-sweeps") == 0) {
    if (parse_long(value, 1, 1000, &n) != 0) {
      return fail(message, size, "bad --stream-sweeps", value);
    }
    opt->stream_sweeps = n;
  }
  return 0;
}

int parse_options(int argc, char **argv, struct options *opt, char *message, size_t size) {
  int i;
  set_defaults(opt);
  for (i = 1; i < argc; ++i) {
    char name[32];
    const char *arg = argv[i];
    const char *equals = strchr(arg, '=');
    const char *value;
    if (strcmp(arg, "--help") == 0) {
      opt->help = 1;
      return 0;
    }
    if (strcmp(arg, "--time") == 0) {
      opt->time_mode = 1;
      continue;
    }
    if (strncmp(arg, "--", 2) != 0) return fail(message, size, "not an option", arg);
    /* --name=value or --name value */
    if (equals != NULL) {
      const size_t length = (size_t)(equals - arg);
      if (length >= sizeof name) return fail(message, size, "unknown option", arg);
      memcpy(name, arg, length);
      name[length] = '\0';
      value = equals + 1;
    } else {
      if (strlen(arg) >= sizeof name || !known(arg)) {
        return fail(message, size, "unknown option", arg);
      }
      strcpy(name, arg);
      if (i + 1 == argc) return fail(message, size, "missing value of", arg);
      value = argv[++i];
    }
    if (!known(name)) return fail(message, size, "unknown option", name);
    if (take(opt, name, value, message, size) != 0) return -1;
  }
  if (!opt->time_mode && opt->table_count > 1) {
    return fail(message, size, "one --table only, except with --time", NULL);
  }
  if (!opt->time_mode && opt->run.measurements < opt->run.bins) {
    return fail(message, size, "--sweeps must be at least --bins", NULL);
  }
  /* A checkerboard sweep updates the sites of one parity together, from
     the old spins: with L odd the periodic wrap makes two of them
     neighbours (x = 0 and x = L - 1), and the sweep is no heat bath. */
  if (!opt->time_mode && opt->run.order == SWEEP_CHECKERBOARD && opt->run.L % 2 != 0) {
    return fail(message, size, "--order checkerboard needs an even --L", NULL);
  }
  for (i = 0; opt->time_mode && i < opt->size_count; ++i) {
    if (opt->sizes[i] % 2 != 0) {
      return fail(message, size, "--time sweeps in checkerboard order too: --sizes must be even",
                  NULL);
    }
  }
  if (opt->time_mode && !opt->thermalisation_given) opt->run.thermalisation = 50;
  return 0;
}
