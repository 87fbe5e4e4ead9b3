/* What the machine itself gives the heat-bath programs' parallel runs
   (bench/parallel/scaling):
     parallel_baseline loop N      N heat-bath updates of a spin of its own
                                   in each thread, no data shared, shared
                                   out among OpenMP's threads: ns per update
     parallel_baseline memory FILE K   the resident memory of the process
                                   (kB) with FILE opened 0, 1 and K times */
#define _POSIX_C_SOURCE 200112L

#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "o3_sampler.h"
#include "update.h"
#include "y_draw.h"

static double wall(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + 1e-9 * (double)t.tv_nsec;
}

/* The update's arithmetic (inversion, frame, azimuth) on one spin held in
   registers, its field the spin itself: no memory but the thread's own. */
static int loop(long n) {
  double seconds, sum = 0.0;
  long i;
  seconds = wall();
#pragma omp parallel reduction(+ : sum)
  {
    o3_rng rng;
    vec3 s = {0.0, 0.0, 1.0};
    int thread = 0;
#ifdef _OPENMP
    thread = omp_get_thread_num();
#endif
    o3_rng_seed(&rng, (uint64_t)thread + 1);
#pragma omp for schedule(static)
    for (i = 0; i < n; ++i) {
      const vec3 f = {2.3 * s.x, 2.3 * s.y, 2.3 * s.z};
      const double y = y_by_inversion(2.3, uniform53(&rng));
      s = spin_around(f, 2.3, y, uniform53(&rng));
    }
    sum += s.z;
  }
  seconds = wall() - seconds;
  printf("%.2f ns per update (%g)\n", 1e9 * seconds / (double)n, sum);
  return 0;
}

/* The resident memory now (Linux's /proc), not the peak: what the tables
   hold, not what reading them took. */
static long resident_kb(void) {
  long pages = -1, resident = -1;
  FILE *f = fopen("/proc/self/statm", "r");
  if (f != NULL) {
    if (fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = -1;
    fclose(f);
  }
  return resident < 0 ? -1 : resident * (sysconf(_SC_PAGESIZE) / 1024);
}

static int memory(const char *path, int copies) {
  o3_table **t = (o3_table **)calloc((size_t)copies, sizeof *t);
  o3_error e;
  long before, one = 0;
  int k;
  if (t == NULL) return 1;
  before = resident_kb();
  for (k = 0; k < copies; ++k) {
    t[k] = o3_open_engine(path, O3_ENGINE_TABLES, &e);
    if (t[k] == NULL) {
      fprintf(stderr, "parallel_baseline: %s\n", e.message);
      return 1;
    }
    if (k == 0) one = resident_kb();
  }
  printf("%ld kB, %ld kB with 1 table, %ld kB with %d\n", before, one, resident_kb(), copies);
  for (k = 0; k < copies; ++k) o3_close(t[k]);
  free(t);
  return 0;
}

int main(int argc, char **argv) {
  if (argc == 3 && argv[1][0] == 'l') return loop(atol(argv[2]));
  if (argc == 4 && argv[1][0] == 'm') return memory(argv[2], atoi(argv[3]));
  fprintf(stderr, "usage: parallel_baseline loop N | memory FILE K\n");
  return 2;
}
