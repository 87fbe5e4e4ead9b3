#include "run.h"

#include <cmath>
#include <memory>
#include <span>

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

double length(const vec3& f) { return std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z); }

// beta times the sum of the neighbours of site x of `row` in the planes
// and rows given by their offsets.
vec3 field_at(const vec3* s, std::size_t L, bool cubic, std::size_t row, std::size_t x,
              std::size_t ym, std::size_t yp, std::size_t zm, std::size_t zp, double beta) {
  const auto add = [](vec3& f, const vec3& t) {
    f.x += t.x;
    f.y += t.y;
    f.z += t.z;
  };
  const std::size_t i = row + x;
  vec3 f = s[x == 0 ? row + L - 1 : i - 1];
  add(f, s[x + 1 == L ? row : i + 1]);
  if (cubic) {
    add(f, s[ym + x]);
    add(f, s[yp + x]);
    add(f, s[zm + x]);
    add(f, s[zp + x]);
  }
  return {f.x * beta, f.y * beta, f.z * beta};
}

// One sweep with the y from draw: draw.one(h) for a site, draw.many(h, y)
// for the sites of one parity of a plane, which are independent.
template <class Draw>
void sweep_by(lattice& lat, double beta, sweep_order order, Draw& draw,
              o3::sampler::generator& rng) {
  const std::size_t L = static_cast<std::size_t>(lat.L);
  const bool cubic = lat.dim == 3;
  const std::size_t extent = cubic ? L : 1;
  const std::size_t plane = L * extent;
  const bool checkerboard = order == SWEEP_CHECKERBOARD;
  vec3* const s = lat.spin;
  for (std::size_t pass = 0; pass < (checkerboard ? 2u : 1u); ++pass) {
    for (std::size_t z = 0; z < extent; ++z) {
      const std::size_t zm = (z == 0 ? extent - 1 : z - 1) * plane;
      const std::size_t zp = (z + 1 == extent ? 0 : z + 1) * plane;
      std::size_t n = 0;
      for (std::size_t y = 0; y < extent; ++y) {
        const std::size_t row = y * L + z * plane;
        const std::size_t ym = (y == 0 ? extent - 1 : y - 1) * L + z * plane;
        const std::size_t yp = (y + 1 == extent ? 0 : y + 1) * L + z * plane;
        if (!checkerboard) {
          for (std::size_t x = 0; x < L; ++x) {
            const vec3 f = field_at(s, L, cubic, row, x, ym, yp, zm + y * L, zp + y * L, beta);
            const double h = length(f);
            s[row + x] = spin_around(f, h, draw.one(h), uniform53(rng.state()));
          }
          continue;
        }
        for (std::size_t x = (pass + y + z) & 1u; x < L; x += 2, ++n) {
          lat.plane_field[n] = field_at(s, L, cubic, row, x, ym, yp, zm + y * L, zp + y * L, beta);
          lat.plane_h[n] = length(lat.plane_field[n]);
        }
      }
      if (!checkerboard) continue;
      draw.many(std::span<const double>(lat.plane_h, n), std::span<double>(lat.plane_y, n));
      std::size_t k = 0;
      for (std::size_t y = 0; y < extent; ++y) {
        for (std::size_t x = (pass + y + z) & 1u; x < L; x += 2, ++k) {
          s[y * L + z * plane + x] = spin_around(lat.plane_field[k], lat.plane_h[k],
                                                 lat.plane_y[k], uniform53(rng.state()));
        }
      }
    }
  }
}

struct library_y {
  o3::sampler::sampler& tables;
  o3::sampler::generator& rng;
  double one(double h) { return tables.draw(h, rng); }
  void many(std::span<const double> h, std::span<double> y) { tables.draw_many(h, y, rng); }
};

// y_by_inversion or y_by_exponential of the C program, one site after
// the other.
template <y_method method>
struct formula_y {
  o3::sampler::generator& rng;
  double one(double h) {
    if constexpr (method == Y_INVERSION) {
      return y_by_inversion(h, uniform53(rng.state()));
    } else {
      return y_by_exponential(h, rng.state());
    }
  }
  void many(std::span<const double> h, std::span<double> y) {
    for (std::size_t i = 0; i < h.size(); ++i) y[i] = one(h[i]);
  }
};

}  // namespace

void sweep_with_library(lattice& lat, double beta, sweep_order order,
                        o3::sampler::sampler& tables, o3::sampler::generator& rng) {
  library_y draw{tables, rng};
  sweep_by(lat, beta, order, draw, rng);
}

void sweep_without_tables(lattice& lat, double beta, sweep_order order, y_method method,
                          o3::sampler::generator& rng) {
  if (method == Y_INVERSION) {
    formula_y<Y_INVERSION> draw{rng};
    sweep_by(lat, beta, order, draw, rng);
  } else {
    formula_y<Y_EXPONENTIAL> draw{rng};
    sweep_by(lat, beta, order, draw, rng);
  }
}

bool run_with_library(const run_config& config, o3::sampler::sampler& tables,
                      run_result* result) {
  lattice_owner l;
  binning_owner b;
  if (config.thermalisation < 0 || config.measurements < 1 || config.bins < 2 ||
      lattice_init(&l.lat, config.dim, config.L) != 0 ||
      binning_init(&b.bins, static_cast<std::size_t>(config.measurements),
                   static_cast<std::size_t>(config.bins)) != 0) {
    return false;
  }
  const std::uint64_t outside_before = tables.outside_count();
  const std::uint64_t errors_before = tables.error_count();
  o3::sampler::generator rng(config.seed);
  if (config.hot_start) {
    lattice_randomise(&l.lat, rng.state());
  } else {
    lattice_align(&l.lat);
  }
  for (long k = 0; k < config.thermalisation; ++k) sweep_with_library(l.lat, config.beta, config.order, tables, rng);
  double value[OBS_COUNT];
  for (long k = 0; k < config.measurements; ++k) {
    sweep_with_library(l.lat, config.beta, config.order, tables, rng);
    measure(&l.lat, value);
    binning_add(&b.bins, value);
  }
  result->energy = binning_mean(&b.bins, OBS_ENERGY);
  result->m = binning_mean(&b.bins, OBS_M);
  result->binder = binning_binder(&b.bins);
  result->updates =
      static_cast<std::uint64_t>(config.thermalisation + config.measurements) * l.lat.sites;
  result->outside = tables.outside_count() - outside_before;
  result->errors = tables.error_count() - errors_before;
  return true;
}

}  // namespace heat_bath
