// The simulation against what is known of the model: the exact energy of
// the infinite chain, and in 3D near the critical point the agreement of
// the engines, sweep orders and thread counts with exact inversion; the
// library's counts of its draws outside the table, added over threads.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#ifdef _OPENMP
#include <omp.h>
#endif

#include "planes.h"
#include "run.h"
#include "sampler/inspect.h"
#include "simulation.h"
#include "sweep.h"

namespace {

const std::string tables = HEAT_BATH_TABLES;

struct table_closer {
  void operator()(o3_table *t) const { o3_close(t); }
};
using table_ptr = std::unique_ptr<o3_table, table_closer>;

// The threads of the lattices made while it lives; 1 without OpenMP.
class threads {
 public:
  explicit threads(int n) {
#ifdef _OPENMP
    before_ = omp_get_max_threads();
    omp_set_num_threads(n);
#endif
    (void)n;
  }
  ~threads() {
#ifdef _OPENMP
    omp_set_num_threads(before_);
#endif
  }

 private:
  int before_ = 1;
};

// The library's table of an engine, from the named table below `tables`
// (nullptr: none).
table_ptr open(const char *table, int engine) {
  o3_error error;
  table_ptr t(
      o3_open_engine(table ? (tables + "/" + table + "/O3.res").c_str() : nullptr, engine, &error));
  if (!t) ADD_FAILURE() << error.message;
  return t;
}

const char *engine_name(int engine) {
  return engine == O3_ENGINE_TABLES        ? "tables"
         : engine == O3_ENGINE_EXPONENTIAL ? "exponential"
                                           : "default";
}

struct chain_case {
  double beta;
  y_method method;
  int engine;
  sweep_order order;
  const char *table;  // below tables, for the tables engine
  std::uint64_t seed;
};

std::ostream &operator<<(std::ostream &os, const chain_case &c) {
  return os << y_method_name(c.method) << ", engine " << engine_name(c.engine) << ", "
            << sweep_order_name(c.order) << ", beta " << c.beta << ", table "
            << (c.table ? c.table : "-");
}

run_result simulate(const run_config &config, y_method method, int engine, const char *table) {
  table_ptr t;
  if (method == Y_LIBRARY) t = open(table, engine);
  const y_source y{method, t.get()};
  run_result result{};
  EXPECT_EQ(run_simulation(&config, &y, &result), 0);
  return result;
}

class Chain : public testing::TestWithParam<chain_case> {};

// Bonds of the infinite chain are independent, each cos distributed as
// exp(beta y): u = -(coth beta - 1/beta). A chain of 1000 spins differs from
// it by (coth beta - 1/beta)^1000, below 1e-40 up to beta = 10. The error
// must be small against u for the comparison to say anything; at these
// lengths it is about 0.1 % of u, where coupling errors of 1 % show. The
// checkerboard runs on two threads.
TEST_P(Chain, EnergyPerBondIsTheExactOne) {
  const chain_case &c = GetParam();
  const threads two(2);
  const run_config config{1, 1000, c.beta, 100, 4000, c.seed, c.order, 0, 32};
  const run_result r = simulate(config, c.method, c.engine, c.table);
  const double u = chain_energy_per_bond(c.beta);
  EXPECT_LT(std::abs(r.energy.mean - u), 4.0 * r.energy.error)
      << r.energy.mean << " +- " << r.energy.error << " against " << u;
  EXPECT_LT(r.energy.error, 0.01 * std::abs(u));
  EXPECT_EQ(r.errors, 0u);
  EXPECT_EQ(r.updates, 4100u * 1000u);
  if (c.table != nullptr && std::string(c.table) == "to4") {
    // h = beta |s1 + s2| passes 4 unless the neighbours are almost opposite.
    EXPECT_GT(r.outside, r.updates * 9 / 10);
  } else {
    EXPECT_EQ(r.outside, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    HeatBath, Chain,
    testing::Values(
        chain_case{0.5, Y_LIBRARY, O3_ENGINE_DEFAULT, SWEEP_SEQUENTIAL, nullptr, 1},
        chain_case{0.5, Y_INVERSION, O3_ENGINE_DEFAULT, SWEEP_CHECKERBOARD, nullptr, 2},
        chain_case{0.5, Y_LIBRARY, O3_ENGINE_EXPONENTIAL, SWEEP_SEQUENTIAL, nullptr, 3},
        chain_case{2.0, Y_LIBRARY, O3_ENGINE_DEFAULT, SWEEP_CHECKERBOARD, nullptr, 4},
        chain_case{2.0, Y_INVERSION, O3_ENGINE_DEFAULT, SWEEP_SEQUENTIAL, nullptr, 5},
        chain_case{2.0, Y_LIBRARY, O3_ENGINE_EXPONENTIAL, SWEEP_CHECKERBOARD, nullptr, 6},
        chain_case{10.0, Y_LIBRARY, O3_ENGINE_TABLES, SWEEP_SEQUENTIAL, "to20", 7},
        chain_case{10.0, Y_INVERSION, O3_ENGINE_DEFAULT, SWEEP_CHECKERBOARD, nullptr, 8},
        chain_case{10.0, Y_LIBRARY, O3_ENGINE_EXPONENTIAL, SWEEP_SEQUENTIAL, nullptr, 9},
        // Couplings up to 20 on a table up to 4: the library's draws
        // outside it must be as exact as those inside.
        chain_case{10.0, Y_LIBRARY, O3_ENGINE_TABLES, SWEEP_SEQUENTIAL, "to4", 10},
        chain_case{10.0, Y_LIBRARY, O3_ENGINE_TABLES, SWEEP_CHECKERBOARD, "to4", 11},
        chain_case{0.5, Y_LIBRARY, O3_ENGINE_TABLES, SWEEP_CHECKERBOARD, "to20", 12},
        chain_case{10.0, Y_LIBRARY, O3_ENGINE_DEFAULT, SWEEP_CHECKERBOARD, nullptr, 13}),
    [](const testing::TestParamInfo<chain_case> &test) {
      const chain_case &c = test.param;
      std::string name = std::string(y_method_name(c.method)) +
                         (c.method == Y_LIBRARY ? std::string("_") + engine_name(c.engine) : "") +
                         "_" + sweep_order_name(c.order) + "_beta" +
                         std::to_string(static_cast<int>(c.beta * 10)) + "tenths";
      if (c.table != nullptr) name += std::string("_") + c.table;
      return name;
    });

// The tries of the tables at the couplings of a real sweep against those
// their boxes imply: a draw at h from histogram g takes Nd_poi a_g / I(h)
// tries on average (I the density's integral), with the variance
// (1 - p) / p^2 of a geometric count of success rate p. Boxes drawn from
// wrongly, or a squeeze above the density, change the rate long before
// they show in the energy: a squeeze raised by 1 % shifts it by half a
// percent at these couplings.
TEST(ChainTries, AreThoseTheBoxesImply) {
  o3::sampler::sampler t(tables + "/to20/O3.res", o3::sampler::engine::tables);
  const table_ptr c_table = open("to20", O3_ENGINE_TABLES);
  ASSERT_TRUE(c_table);
  lattice lat;
  ASSERT_EQ(lattice_init(&lat, 1, 1000), 0);
  lattice_start(&lat, 1, 31);
  const update_rule rule{0.5, {Y_LIBRARY, c_table.get()}, 31};
  o3_stream s;
  o3_stream_seed(&s, 31);
  o3_counts counts{0, 0};
  o3::sampler::generator rng(32);
  std::uint64_t tries = 0;
  std::vector<double> h(lat.sites);
  double expected = 0.0, variance = 0.0;
  for (std::uint64_t n = 1; n <= 1000; ++n) {
    sweep(&lat, SWEEP_SEQUENTIAL, &rule, n, &s, &counts, h.data());
    for (const double x : h) {
      o3::sampler::detail::draw_counted(t, x, rng, &tries);
      const int g = t.histogram_of(x);
      const double integral = x == 0.0 ? 2.0 : -std::expm1(-2.0 * x) / x;
      const double p = integral / (t.pieces_per_histogram() * t.area(g));
      expected += 1.0 / p;
      variance += (1.0 - p) / (p * p);
    }
  }
  lattice_free(&lat);
  const double z = (static_cast<double>(tries) - expected) / std::sqrt(variance);
  EXPECT_LT(std::abs(z), 5.0) << tries << " tries, " << expected << " expected";
  // Far from one try a draw, so that a change of the rate would show.
  EXPECT_GT(expected, 1.001 * 1000 * 1000);
}

// The same runs through the C++ library, its own sweeps on two threads.
struct library_case {
  double beta;
  sweep_order order;
  const char *table;  // for the tables engine
  std::uint64_t seed;
  o3::sampler::engine engine;
};

class LibraryChain : public testing::TestWithParam<library_case> {};

TEST_P(LibraryChain, EnergyPerBondIsTheExactOne) {
  const library_case &c = GetParam();
  const threads two(2);
  const run_config config{1, 1000, c.beta, 100, 4000, c.seed, c.order, 0, 32};
  const o3::sampler::sampler t =
      c.table != nullptr ? o3::sampler::sampler(tables + "/" + c.table + "/O3.res", c.engine)
                         : o3::sampler::sampler(c.engine);
  run_result r{};
  ASSERT_TRUE(heat_bath::run_with_library(config, &t, &r));
  const double u = chain_energy_per_bond(c.beta);
  EXPECT_LT(std::abs(r.energy.mean - u), 4.0 * r.energy.error)
      << r.energy.mean << " +- " << r.energy.error << " against " << u;
  EXPECT_LT(r.energy.error, 0.01 * std::abs(u));
  EXPECT_EQ(r.outside > 0, c.table != nullptr && std::string(c.table) == "to4");
}

INSTANTIATE_TEST_SUITE_P(
    HeatBath, LibraryChain,
    testing::Values(
        library_case{2.0, SWEEP_CHECKERBOARD, nullptr, 21, o3::sampler::engine::automatic},
        library_case{10.0, SWEEP_SEQUENTIAL, "to20", 22, o3::sampler::engine::tables},
        library_case{10.0, SWEEP_CHECKERBOARD, "to4", 23, o3::sampler::engine::tables},
        library_case{0.5, SWEEP_SEQUENTIAL, nullptr, 24, o3::sampler::engine::exponential}));

// The library counts exactly the draws whose h left [H0, H_max), in each
// stream, and the sweeps add the streams' counts over planes and threads:
// the couplings recorded by the sweeps say how many that must be.
TEST(ChainOutside, CountIsTheNumberOfCouplingsOutsideTheTable) {
  const table_ptr t = open("to4", O3_ENGINE_TABLES);
  ASSERT_TRUE(t);
  for (const sweep_order order : {SWEEP_SEQUENTIAL, SWEEP_CHECKERBOARD}) {
    SCOPED_TRACE(sweep_order_name(order));
    const threads two(2);
    lattice lat;
    ASSERT_EQ(lattice_init(&lat, 1, 200), 0);
    lattice_start(&lat, 1, 12);
    const update_rule rule{2.5, {Y_LIBRARY, t.get()}, 12};
    o3_stream s;
    o3_stream_seed(&s, 12);
    o3_counts counts{0, 0};
    std::vector<double> h(lat.sites);
    std::uint64_t above = 0, below = 0;
    for (std::uint64_t n = 1; n <= 50; ++n) {
      sweep(&lat, order, &rule, n, &s, &counts, h.data());
      for (const double x : h) (x >= o3_h_max(t.get()) ? above : below) += 1;
    }
    EXPECT_GT(above, 0u);
    EXPECT_GT(below, 0u);
    EXPECT_EQ(counts.outside, above);
    EXPECT_EQ(counts.errors, 0u);
    lattice_free(&lat);
  }
  EXPECT_EQ(o3_outside_count(t.get()), 0u) << "the streams count, not the table";
}

// L = 8 at beta = 0.693, next to the critical point, where the couplings
// span their whole range [0, 6 beta]. No exact values there: every engine,
// order and thread count must agree with inversion within the combined
// errors, of independent runs (other seeds).
TEST(Cubic, DrawsAndOrdersAgreeWithInversionNearTheCriticalPoint) {
  run_config config{3, 8, 0.693, 500, 8000, 100, SWEEP_SEQUENTIAL, 0, 32};
  const run_result reference = simulate(config, Y_INVERSION, O3_ENGINE_DEFAULT, nullptr);
  struct variant {
    int engine;
    sweep_order order;
    const char *table;
    int threads;
  };
  const variant variants[] = {{O3_ENGINE_DEFAULT, SWEEP_SEQUENTIAL, nullptr, 1},
                              {O3_ENGINE_DEFAULT, SWEEP_CHECKERBOARD, nullptr, 2},
                              {O3_ENGINE_TABLES, SWEEP_CHECKERBOARD, "to20", 2},
                              {O3_ENGINE_EXPONENTIAL, SWEEP_CHECKERBOARD, nullptr, 1}};
  for (const variant &v : variants) {
    SCOPED_TRACE(std::string(engine_name(v.engine)) + " engine, " + sweep_order_name(v.order) +
                 ", " + std::to_string(v.threads) + " threads");
    const threads count(v.threads);
    config.seed += 1;
    config.order = v.order;
    const run_result r = simulate(config, Y_LIBRARY, v.engine, v.table);
    const auto agree = [](estimate a, estimate b) {
      return std::abs(a.mean - b.mean) < 4.0 * std::hypot(a.error, b.error);
    };
    EXPECT_TRUE(agree(r.energy, reference.energy))
        << "energy " << r.energy.mean << " +- " << r.energy.error << " against "
        << reference.energy.mean << " +- " << reference.energy.error;
    EXPECT_TRUE(agree(r.m, reference.m)) << "|m| " << r.m.mean << " +- " << r.m.error << " against "
                                         << reference.m.mean << " +- " << reference.m.error;
    EXPECT_TRUE(agree(r.binder, reference.binder))
        << "Binder " << r.binder.mean << " +- " << r.binder.error << " against "
        << reference.binder.mean << " +- " << reference.binder.error;
    // Errors of a few percent of |m| and of the energy: a comparison that
    // can fail.
    EXPECT_LT(r.energy.error, 0.01 * std::abs(r.energy.mean));
    EXPECT_LT(r.m.error, 0.03 * r.m.mean);
    EXPECT_EQ(r.outside, 0u);
  }
}

}  // namespace
