#include "run.h"

#include <cmath>
#include <cstdint>
#include <span>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "planes.h"
#include "update.h"

namespace heat_bath {
namespace {

struct lattice_owner {
  lattice lat{};
  ~lattice_owner() { lattice_free(&lat); }
};
struct binning_owner {
  binning bins{};
  ~binning_owner() { binning_free(&bins); }
};

int thread_number() {
#ifdef _OPENMP
  return omp_get_thread_num();
#else
  return 0;
#endif
}

// The y of the couplings h, from s: the library's, all at once, or
// inversion's, one word each.
void draw(const o3::sampler::sampler* table, std::span<const double> h, std::span<double> y,
          o3::sampler::stream& s) {
  if (table != nullptr) {
    table->draw_many(h, y, s);
    return;
  }
  for (std::size_t k = 0; k < h.size(); ++k) {
    y[k] = y_by_inversion(h[k], uniform53(&s.state()->rng));
  }
}

struct tally {
  std::uint64_t updates = 0, outside = 0;
};

// Half-sweep p of checkerboard sweep n: each plane from its own stream, the
// planes on the lattice's threads. The couplings are finite (beta is, the
// spins are unit vectors), so no draw throws inside the parallel loop.
void half_sweep(lattice& lat, const run_config& c, const o3::sampler::sampler* table,
                std::uint64_t n, int p, tally& t) {
  std::uint64_t updates = 0, outside = 0;
  const std::uint64_t step = checkerboard_step(n, p);
#pragma omp parallel for num_threads(lat.threads) schedule(static) reduction(+ : updates, outside)
  for (long w = 0; w < static_cast<long>(lat.planes); ++w) {
    const int thread = thread_number();
    const auto plane = static_cast<std::size_t>(w);
    const int parity = static_cast<int>((step + plane) & 1u);
    const std::size_t count = plane_fields(&lat, plane, parity, c.beta, thread, nullptr);
    if (count == 0) continue;
    o3::sampler::stream s(c.seed, step, plane);
    const std::size_t at = static_cast<std::size_t>(thread) * lat.plane;
    draw(table, {lat.plane_h + at, count}, {lat.plane_y + at, count}, s);
    plane_spins(&lat, plane, parity, thread, &s.state()->rng);
    updates += count;
    outside += s.outside_count();
  }
  t.updates += updates;
  t.outside += outside;
}

// One sweep in memory order, every word from s.
void sequential_sweep(lattice& lat, const run_config& c, const o3::sampler::sampler* table,
                      o3::sampler::stream& s, tally& t) {
  const std::size_t side = lat.dim == 3 ? static_cast<std::size_t>(lat.L) : 1;
  const std::uint64_t outside = s.outside_count();
  for (std::size_t w = 0; w < lat.planes; ++w) {
    for (std::size_t y = 0; y < side; ++y) {
      for (std::size_t x = 0; x < side; ++x) {
        const vec3 f = site_field(&lat, w, x, y, c.beta);
        const double h = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
        const double cos_theta =
            table != nullptr ? table->draw(h, s) : y_by_inversion(h, uniform53(&s.state()->rng));
        lat.spin[w * lat.plane + y * side + x] =
            spin_around(f, h, cos_theta, uniform53(&s.state()->rng));
      }
    }
  }
  t.updates += lat.planes * lat.plane;
  t.outside += s.outside_count() - outside;
}

}  // namespace

bool run_with_library(const run_config& c, const o3::sampler::sampler* table, run_result* result) {
  lattice_owner l;
  binning_owner b;
  if (c.thermalisation < 0 || c.measurements < 1 || c.bins < 2 ||
      lattice_init(&l.lat, c.dim, c.L) != 0 ||
      binning_init(&b.bins, static_cast<std::size_t>(c.measurements),
                   static_cast<std::size_t>(c.bins)) != 0) {
    return false;
  }
  o3::sampler::stream sequential(c.seed);
  lattice_start(&l.lat, c.hot_start, c.seed);
  tally t;
  double value[OBS_COUNT];
  const double start = wall_seconds();
  const auto sweeps = static_cast<std::uint64_t>(c.thermalisation + c.measurements);
  for (std::uint64_t n = 1; n <= sweeps; ++n) {
    if (c.order == SWEEP_SEQUENTIAL) {
      sequential_sweep(l.lat, c, table, sequential, t);
    } else {
      half_sweep(l.lat, c, table, n, 0, t);
      half_sweep(l.lat, c, table, n, 1, t);
    }
    if (n > static_cast<std::uint64_t>(c.thermalisation)) {
      measure(&l.lat, value);
      binning_add(&b.bins, value);
    }
  }
  result->seconds = wall_seconds() - start;
  run_estimates(&b.bins, result);
  result->updates = t.updates;
  result->outside = t.outside;
  result->errors = 0;  // thrown in C++
  result->fingerprint = lattice_fingerprint(&l.lat);
  result->workers = c.order == SWEEP_CHECKERBOARD ? l.lat.threads : 1;
  return true;
}

}  // namespace heat_bath
