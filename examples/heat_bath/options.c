#include "options.h"

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>

void print_usage(FILE *out, const char *program) {
  fprintf(out,
          "usage: %s [--lattice chain|cubic] [--L N] [--beta B] [--therm N] [--sweeps N]\n"
          "       [--bins N] [--seed N] [--start cold|hot] [--order checkerboard|sequential]\n"
          "       [--draw library|inversion] [--engine default|tables|exponential] [--table FILE]\n"
          "\n"
          "Heat-bath Monte Carlo of the classical Heisenberg model, H = -sum s_i.s_j over\n"
          "nearest neighbours, on a periodic chain or simple cubic lattice of side L.\n"
          "\n"
          "  --lattice   chain or cubic (cubic)\n"
          "  --L         side of the lattice, at least 2, even in checkerboard order (16)\n"
          "  --beta      inverse temperature, 0 to 1e6 (0.693, near the 3D critical point)\n"
          "  --therm     sweeps before measuring (1000)\n"
          "  --sweeps    measurement sweeps, one measurement each (10000)\n"
          "  --bins      bins of the error analysis, 2 to 1000, at most --sweeps (32)\n"
          "  --seed      seed of the streams of random words, 0 to 2^63 - 1 (1)\n"
          "  --start     cold (every spin along z) or hot (uniform on the sphere) (cold)\n"
          "  --order     checkerboard: the sites of even x + y + z, then the odd ones, the\n"
          "              planes of z shared out among the threads or processes, each plane\n"
          "              drawn from its own stream, so that any number of them gives the\n"
          "              same run; sequential: one site after the other (checkerboard)\n"
          "  --draw      library: y from the sampler library; inversion: by exact\n"
          "              inversion of its distribution, the reference of the tests (library)\n"
          "  --engine    of the library: default (its fastest, no table), tables (O3.res)\n"
          "              or exponential (no table) (default)\n"
          "  --table     the O3.res of --engine tables (O3.res)\n"
          "  -h, --help  this help\n"
          "\n"
          "The threads are OpenMP's (OMP_NUM_THREADS). The run prints the energy per\n"
          "bond, |m| and the Binder ratio with their errors, and the fingerprint of the\n"
          "last configuration, the same for any number of threads or processes.\n",
          program);
}

static int fail(char *message, size_t size, const char *what, const char *value) {
  snprintf(message, size, "%s%s%s", what, value != NULL ? ": " : "", value != NULL ? value : "");
  return -1;
}

/* Whole numbers are decimal digits alone, and a number starts with a
   digit or a point: what the Fortran program reads alike. */
static int starts_a_number(const char *text, int point) {
  return isdigit((unsigned char)text[0]) || (point && text[0] == '.');
}

static int parse_long(const char *text, long low, long high, long *out) {
  char *end;
  long v;
  errno = 0;
  v = strtol(text, &end, 10);
  if (!starts_a_number(text, 0) || errno != 0 || *end != '\0' || v < low || v > high) return -1;
  *out = v;
  return 0;
}

static void set_defaults(struct options *opt) {
  memset(opt, 0, sizeof *opt);
  opt->run.dim = 3;
  opt->run.L = 16;
  opt->run.beta = 0.693;
  opt->run.thermalisation = 1000;
  opt->run.measurements = 10000;
  opt->run.seed = 1;
  opt->run.order = SWEEP_CHECKERBOARD;
  opt->run.hot_start = 0;
  opt->run.bins = 32;
  opt->method = Y_LIBRARY;
  opt->engine = O3_ENGINE_DEFAULT;
  opt->beta = "0.693";
}

static const char *const names[] = {"--lattice", "--L",    "--beta",   "--therm",
                                    "--sweeps",  "--bins", "--seed",   "--start",
                                    "--order",   "--draw", "--engine", "--table"};
enum { NAME_COUNT = sizeof names / sizeof names[0] };

static int name_index(const char *name) {
  int i;
  for (i = 0; i < NAME_COUNT; ++i) {
    if (strcmp(name, names[i]) == 0) return i;
  }
  return -1;
}

/* Option `which` of names[] and its value; 0, or -1 with message. */
static int take(struct options *opt, int which, const char *value, char *message, size_t size) {
  long n;
  char *end;
  switch (which) {
    case 0:
      if (strcmp(value, "chain") != 0 && strcmp(value, "cubic") != 0) {
        return fail(message, size, "--lattice must be chain or cubic", value);
      }
      opt->run.dim = strcmp(value, "chain") == 0 ? 1 : 3;
      break;
    case 1:
      if (parse_long(value, 2, INT_MAX, &n) != 0) return fail(message, size, "bad --L", value);
      opt->run.L = (int)n;
      break;
    case 2: {
      const double beta = strtod(value, &end);
      /* beta up to 1e6 keeps 6 beta and its square far from overflow. */
      if (!starts_a_number(value, 1) || end == value || *end != '\0' ||
          !(beta >= 0.0 && beta <= 1e6)) {
        return fail(message, size, "--beta must be a number from 0 to 1e6", value);
      }
      opt->run.beta = beta;
      opt->beta = value;
      break;
    }
    case 3:
      if (parse_long(value, 0, LONG_MAX, &n) != 0) return fail(message, size, "bad --therm", value);
      opt->run.thermalisation = n;
      break;
    case 4:
      if (parse_long(value, 1, LONG_MAX, &n) != 0)
        return fail(message, size, "bad --sweeps", value);
      opt->run.measurements = n;
      break;
    case 5:
      if (parse_long(value, 2, 1000, &n) != 0) return fail(message, size, "bad --bins", value);
      opt->run.bins = n;
      break;
    case 6:
      errno = 0;
      opt->run.seed = (uint64_t)strtoull(value, &end, 10);
      if (!starts_a_number(value, 0) || errno != 0 || *end != '\0' ||
          opt->run.seed > (uint64_t)INT64_MAX) {
        return fail(message, size, "bad --seed", value);
      }
      break;
    case 7:
      if (strcmp(value, "cold") != 0 && strcmp(value, "hot") != 0) {
        return fail(message, size, "--start must be cold or hot", value);
      }
      opt->run.hot_start = strcmp(value, "hot") == 0;
      break;
    case 8:
      if (sweep_order_parse(value, &opt->run.order) != 0) {
        return fail(message, size, "--order must be checkerboard or sequential", value);
      }
      break;
    case 9:
      if (y_method_parse(value, &opt->method) != 0) {
        return fail(message, size, "--draw must be library or inversion", value);
      }
      break;
    case 10:
      if (strcmp(value, "default") == 0) {
        opt->engine = O3_ENGINE_DEFAULT;
      } else if (strcmp(value, "tables") == 0) {
        opt->engine = O3_ENGINE_TABLES;
      } else if (strcmp(value, "exponential") == 0) {
        opt->engine = O3_ENGINE_EXPONENTIAL;
      } else {
        return fail(message, size, "--engine must be default, tables or exponential", value);
      }
      break;
    default:
      opt->table = value;
      break;
  }
  return 0;
}

int parse_options(int argc, char **argv, struct options *opt, char *message, size_t size) {
  int given[NAME_COUNT] = {0};
  int i;
  set_defaults(opt);
  for (i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "-h") == 0 || strcmp(argv[i], "--help") == 0) {
      opt->help = 1;
      return 0;
    }
  }
  for (i = 1; i < argc; ++i) {
    const char *arg = argv[i];
    const char *equals = strchr(arg, '=');
    const char *value;
    char name[16];
    int which;
    /* --name=value or --name value */
    const size_t length = equals != NULL ? (size_t)(equals - arg) : strlen(arg);
    if (strncmp(arg, "--", 2) != 0) return fail(message, size, "not an option", arg);
    if (length >= sizeof name) return fail(message, size, "unknown option", arg);
    memcpy(name, arg, length);
    name[length] = '\0';
    which = name_index(name);
    if (which < 0) return fail(message, size, "unknown option", arg);
    if (equals != NULL) {
      value = equals + 1;
    } else if (i + 1 < argc) {
      value = argv[++i];
    } else {
      return fail(message, size, "missing value of", arg);
    }
    if (given[which]++) return fail(message, size, "given twice", names[which]);
    if (take(opt, which, value, message, size) != 0) return -1;
  }
  if (opt->run.measurements < opt->run.bins) {
    return fail(message, size, "--sweeps must be at least --bins", NULL);
  }
  /* A checkerboard sweep updates the sites of one parity together, from
     the old spins: with L odd the periodic wrap makes two of them
     neighbours (x = 0 and x = L - 1), and the sweep is no heat bath. */
  if (opt->run.order == SWEEP_CHECKERBOARD && opt->run.L % 2 != 0) {
    return fail(message, size, "--order checkerboard needs an even --L", NULL);
  }
  /* The Fortran program counts the L^3 sites in default integers, below
     2^31: one limit for all three. */
  if (opt->run.dim == 3 && opt->run.L > 1290) {
    return fail(message, size, "--L of the cubic lattice must be at most 1290", NULL);
  }
  if (opt->method != Y_LIBRARY && given[10]) {
    return fail(message, size, "--engine is the library's: it goes with --draw library", NULL);
  }
  if (given[11] && opt->engine != O3_ENGINE_TABLES) {
    return fail(message, size, "--table is read by --engine tables only", NULL);
  }
  if (opt->engine == O3_ENGINE_TABLES && opt->table == NULL) opt->table = "O3.res";
  return 0;
}
