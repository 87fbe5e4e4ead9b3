/* Seeding: the generator from one number, and a stream of its own for each
   place and sweep of a simulation. */
#include "o3_internal.h"

#include <string.h>

#define O3_GOLDEN UINT64_C(0x9e3779b97f4a7c15)

/* splitmix64's finaliser, a bijection of 64-bit words that spreads every
   bit over all of them. */
static uint64_t mix(uint64_t z) {
  z = (z ^ (z >> 30)) * UINT64_C(0xbf58476d1ce4e5b9);
  z = (z ^ (z >> 27)) * UINT64_C(0x94d049bb133111eb);
  return z ^ (z >> 31);
}

void o3_rng_seed(o3_rng *rng, uint64_t seed) {
  int i;
  for (i = 0; i < 4; ++i) rng->s[i] = mix(seed += O3_GOLDEN);
}

double o3_rng_uniform(o3_rng *rng) { return o3_unit(o3_rng_next(rng)); }

void o3_stream_seed(o3_stream *s, uint64_t seed) {
  o3_rng_seed(&s->rng, seed);
  memset(&s->counts, 0, sizeof s->counts);
}

/* Rounds of "word i ^= mix(word i + 1 + a constant)", each undone by
   itself, so that the state is a bijection of (seed, sweep, place): no two
   places or sweeps share a stream. Four rounds leave every word a mixture
   of all three numbers. The one triple that would give the state of zeros
   (xoshiro's fixed point) takes another constant state. */
void o3_stream_seed_at(o3_stream *s, uint64_t seed, uint64_t sweep, uint64_t place) {
  uint64_t x[4];
  int round, i;
  x[0] = seed;
  x[1] = sweep;
  x[2] = place;
  x[3] = O3_GOLDEN;
  for (round = 0; round < 4; ++round) {
    for (i = 0; i < 4; ++i) {
      x[i] ^= mix(x[(i + 1) & 3] + (uint64_t)(4 * round + i + 1) * O3_GOLDEN);
    }
  }
  if ((x[0] | x[1] | x[2] | x[3]) == 0) x[0] = O3_GOLDEN;
  memcpy(s->rng.s, x, sizeof x);
  memset(&s->counts, 0, sizeof s->counts);
}
