/* Heat-bath sweeps of the O(3) model on a periodic 16^3 lattice, drawing
   each spin anew about its local field with the generated C sampler, as a
   simulation uses it. Prints the energy per spin; status 1 if not finite.
   Usage: heat_bath O3.res */
#include <math.h>
#include <stdint.h>
#include <stdio.h>

#include "o3_sampler.h"

#define L 16
#define SITES (L * L * L)
#define SWEEPS 10
#define BETA 1.0 /* the local field is at most 6 BETA, below O3_H_MAX */

static double spin[SITES][3];

/* xorshift64 (13, 7, 17), its top 53 bits as a uniform in [0, 1). */
static double uniform(void *state) {
  uint64_t *x = (uint64_t *)state;
  *x ^= *x << 13;
  *x ^= *x >> 7;
  *x ^= *x << 17;
  return (double)(*x >> 11) * 0x1p-53;
}

static int site(int x, int y, int z) {
  return (x + L) % L + L * ((y + L) % L + L * ((z + L) % L));
}

/* Spin i drawn from exp(BETA s.F) for the field F of its neighbours: cos
   theta from o3_draw about F's direction e, the azimuth uniform. */
static void update(int i, uint64_t *state) {
  const int x = i % L, y = i / L % L, z = i / (L * L);
  const int next[6] = {site(x + 1, y, z), site(x - 1, y, z), site(x, y + 1, z),
                       site(x, y - 1, z), site(x, y, z + 1), site(x, y, z - 1)};
  double f[3] = {0.0, 0.0, 0.0}, e[3] = {0.0, 0.0, 1.0}, a[3], b[3];
  double h, c, s, phi, dot, norm;
  int k, d;
  for (k = 0; k < 6; ++k) {
    for (d = 0; d < 3; ++d) f[d] += BETA * spin[next[k]][d];
  }
  h = sqrt(f[0] * f[0] + f[1] * f[1] + f[2] * f[2]);
  if (h > 0.0) {
    for (d = 0; d < 3; ++d) e[d] = f[d] / h;
  }
  /* a and b complete e to an orthonormal basis. */
  a[0] = fabs(e[0]) < 0.9 ? 1.0 : 0.0;
  a[1] = 1.0 - a[0];
  a[2] = 0.0;
  dot = a[0] * e[0] + a[1] * e[1];
  for (d = 0; d < 3; ++d) a[d] -= dot * e[d];
  norm = sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
  for (d = 0; d < 3; ++d) a[d] /= norm;
  b[0] = e[1] * a[2] - e[2] * a[1];
  b[1] = e[2] * a[0] - e[0] * a[2];
  b[2] = e[0] * a[1] - e[1] * a[0];
  c = o3_draw(h, uniform, state);
  s = sqrt(fmax(0.0, 1.0 - c * c));
  phi = 6.283185307179586 * uniform(state);
  for (d = 0; d < 3; ++d) spin[i][d] = c * e[d] + s * (cos(phi) * a[d] + sin(phi) * b[d]);
}

int main(int argc, char **argv) {
  uint64_t state = UINT64_C(88172645463325252);
  double energy = 0.0;
  int i, sweep, d;
  if (argc != 2) {
    fprintf(stderr, "usage: heat_bath O3.res\n");
    return 2;
  }
  if (o3_load(argv[1]) != O3_LOADED) {
    fprintf(stderr, "%s\n", o3_message());
    return 1;
  }
  for (i = 0; i < SITES; ++i) spin[i][2] = 1.0;
  for (sweep = 0; sweep < SWEEPS; ++sweep) {
    for (i = 0; i < SITES; ++i) update(i, &state);
  }
  /* Three bonds per site: to +x, +y and +z. */
  for (i = 0; i < SITES; ++i) {
    const int x = i % L, y = i / L % L, z = i / (L * L);
    const int up[3] = {site(x + 1, y, z), site(x, y + 1, z), site(x, y, z + 1)};
    int k;
    for (k = 0; k < 3; ++k) {
      for (d = 0; d < 3; ++d) energy -= spin[i][d] * spin[up[k]][d];
    }
  }
  energy /= SITES;
  o3_free();
  printf("16^3 lattice, %d sweeps at beta %g: energy per spin %.6f\n", SWEEPS, BETA, energy);
  return isfinite(energy) && fabs(energy) <= 3.0 ? 0 : 1;
}
