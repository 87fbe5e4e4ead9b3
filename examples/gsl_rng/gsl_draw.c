/* Drawing y with a generator of the GNU Scientific Library: the sampler
   takes its random words from any source, here 64-bit words made of two
   outputs of GSL's mt19937, so that every bit the draw reads is random. (A
   u of gsl_rng_uniform through o3_draw_uniform would serve as well, with
   the 32 bits of resolution it has for mt19937.) The mean of y at h = 2.5
   against its exact value, coth h - 1/h. */
#include <math.h>
#include <stdint.h>
#include <stdio.h>

#include <gsl/gsl_rng.h>

#include "o3_sampler.h"

/* Two outputs of a generator of 32 random bits, high then low. */
static uint64_t gsl_word(void *generator) {
  gsl_rng *r = (gsl_rng *)generator;
  const uint64_t high = gsl_rng_get(r);
  return high << 32 | gsl_rng_get(r);
}

int main(void) {
  const double h = 2.5;
  const long n = 1000000;
  double sum = 0.0, sum_sq = 0.0, mean, error, exact;
  long i;
  o3_error e;
  o3_table *table = o3_open_engine(NULL, O3_ENGINE_DEFAULT, &e); /* no table needed */
  gsl_rng *r = gsl_rng_alloc(gsl_rng_mt19937);
  if (table == NULL || r == NULL) {
    fprintf(stderr, "gsl_draw: %s\n", table == NULL ? e.message : "no memory for the generator");
    return 1;
  }
  if (gsl_rng_min(r) != 0 || gsl_rng_max(r) != 0xffffffffUL) {
    fprintf(stderr, "gsl_draw: %s does not give 32 random bits a call\n", gsl_rng_name(r));
    return 1;
  }
  gsl_rng_set(r, 12345);
  for (i = 0; i < n; ++i) {
    const double y = o3_draw_words(table, h, gsl_word, r);
    sum += y;
    sum_sq += y * y;
  }
  mean = sum / (double)n;
  error = sqrt((sum_sq / (double)n - mean * mean) / (double)(n - 1));
  exact = 1.0 / tanh(h) - 1.0 / h;
  printf(
      "mean of y at h = %g over %ld draws of %s: %.6f +- %.6f, exact %.6f (%.2f standard "
      "errors away)\n",
      h, n, gsl_rng_name(r), mean, error, exact, fabs(mean - exact) / error);
  gsl_rng_free(r);
  o3_close(table);
  return 0;
}
