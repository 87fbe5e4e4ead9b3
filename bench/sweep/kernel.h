/* The heat-bath sweep the y draws are timed in, as a macro that writes one
   sweep function per draw, so that each draw is inlined into a loop of its
   own, in C for the C draws and in C++ for the C++ ones, from one text.

   O3_SWEEP(name, draw, draw_many) writes a sweep_function `name`
   where draw(st, h) gives one y and draw_many(st, h, y, n) the y of n
   couplings; every uniform of the update (the azimuth's) comes from
   o3_stream_uniform(st->stream). */
#ifndef O3_BENCH_SWEEP_KERNEL_H
#define O3_BENCH_SWEEP_KERNEL_H

#include <math.h>
#include <stddef.h>

#include "lattice.h"
#include "o3_sampler.h"
#include "update.h"

enum sweep_order {
  ORDER_SEQUENTIAL,   /* memory order: each update waits for its left neighbour */
  ORDER_CHECKERBOARD, /* one parity, then the other, a site at a time */
  ORDER_BATCHED       /* the same, a plane's couplings first, then their y at once */
};

/* The fields, couplings and y of one plane's sites of one parity. */
struct sweep_buffer {
  vec3 *field;
  double *h, *y;
};

/* What a draw reads and changes: its words and counts, and the sampler it
   draws from; for the C++ face, the objects around both (an
   o3::sampler::stream whose state is `stream`, an o3::sampler::sampler
   whose table is `table`). */
struct sweep_state {
  o3_stream *stream;
  const o3_table *table;
  void *cpp_stream;
  const void *cpp_sampler;
};

typedef void (*sweep_function)(struct lattice *lat, double beta, enum sweep_order order,
                               struct sweep_state *st, struct sweep_buffer *buf);
/* The draws for h[0..n) on their own, their sum returned; chained, each
   coupling waits for the y before (h + 0 y), as in a sequential sweep. */
typedef double (*replay_function)(struct sweep_state *st, const double *h, size_t n, int chained);

/* A y draw, its sweep and its replay. */
struct sweep_method {
  const char *name;
  sweep_function sweep;
  replay_function replay;
  int needs_table;
};

static inline double o3_stream_uniform(o3_stream *s) {
  return (double)(o3_rng_next(&s->rng) >> 11) * 0x1p-53;
}

static inline double sweep_length(vec3 f) { return sqrt(f.x * f.x + f.y * f.y + f.z * f.z); }

/* beta times the sum of the neighbours of site x of `row`, the rows and
   planes around it given by their offsets. */
static inline vec3 sweep_field(const vec3 *s, size_t L, int cubic, size_t row, size_t x, size_t ym,
                               size_t yp, size_t zm, size_t zp, double beta) {
  const size_t i = row + x;
  const vec3 l = s[x == 0 ? row + L - 1 : i - 1], r = s[x + 1 == L ? row : i + 1];
  vec3 f;
  f.x = l.x + r.x;
  f.y = l.y + r.y;
  f.z = l.z + r.z;
  if (cubic) {
    f.x += s[ym + x].x + s[yp + x].x + s[zm + x].x + s[zp + x].x;
    f.y += s[ym + x].y + s[yp + x].y + s[zm + x].y + s[zp + x].y;
    f.z += s[ym + x].z + s[yp + x].z + s[zm + x].z + s[zp + x].z;
  }
  f.x *= beta;
  f.y *= beta;
  f.z *= beta;
  return f;
}

#define O3_SWEEP(name, draw, draw_many)                                                            \
  static void name(struct lattice *lat, double beta, enum sweep_order order,                       \
                   struct sweep_state *st, struct sweep_buffer *buf) {                             \
    const size_t L = (size_t)lat->L;                                                               \
    const int cubic = lat->dim == 3;                                                               \
    const size_t extent = cubic ? L : 1, plane = L * extent;                                       \
    vec3 *const s = lat->spin;                                                                     \
    size_t pass, x, y, z;                                                                          \
    for (pass = 0; pass < (order == ORDER_SEQUENTIAL ? 1u : 2u); ++pass) {                         \
      for (z = 0; z < extent; ++z) {                                                               \
        const size_t zm = (z == 0 ? extent - 1 : z - 1) * plane;                                   \
        const size_t zp = (z + 1 == extent ? 0 : z + 1) * plane;                                   \
        size_t n = 0, k;                                                                           \
        for (y = 0; y < extent; ++y) {                                                             \
          const size_t row = y * L + z * plane;                                                    \
          const size_t ym = (y == 0 ? extent - 1 : y - 1) * L + z * plane;                         \
          const size_t yp = (y + 1 == extent ? 0 : y + 1) * L + z * plane;                         \
          const size_t first = order == ORDER_SEQUENTIAL ? 0 : (pass + y + z) & 1u;                \
          const size_t step = order == ORDER_SEQUENTIAL ? 1 : 2;                                   \
          for (x = first; x < L; x += step) {                                                      \
            const vec3 f = sweep_field(s, L, cubic, row, x, ym, yp, zm + y * L, zp + y * L, beta); \
            const double h = sweep_length(f);                                                      \
            if (order == ORDER_BATCHED) {                                                          \
              buf->field[n] = f;                                                                   \
              buf->h[n++] = h;                                                                     \
            } else {                                                                               \
              s[row + x] = spin_around(f, h, draw(st, h), o3_stream_uniform(st->stream));          \
            }                                                                                      \
          }                                                                                        \
        }                                                                                          \
        if (order != ORDER_BATCHED) continue;                                                      \
        draw_many(st, buf->h, buf->y, n);                                                          \
        for (y = 0, k = 0; y < extent; ++y) {                                                      \
          for (x = (pass + y + z) & 1u; x < L; x += 2, ++k) {                                      \
            s[y * L + z * plane + x] =                                                             \
                spin_around(buf->field[k], buf->h[k], buf->y[k], o3_stream_uniform(st->stream));   \
          }                                                                                        \
        }                                                                                          \
      }                                                                                            \
    }                                                                                              \
  }

#define O3_REPLAY(name, draw)                                                          \
  static double name(struct sweep_state *st, const double *h, size_t n, int chained) { \
    double sum = 0.0, y = 0.0;                                                         \
    size_t i;                                                                          \
    if (chained) {                                                                     \
      for (i = 0; i < n; ++i) y = draw(st, h[i] + 0.0 * y);                            \
      return y;                                                                        \
    }                                                                                  \
    for (i = 0; i < n; ++i) sum += draw(st, h[i]);                                     \
    return sum;                                                                        \
  }

#endif
