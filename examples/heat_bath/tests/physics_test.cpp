// The simulation against what is known of the model: the exact energy of
// the infinite chain, and in 3D near the critical point the agreement of
// the y draws and sweep orders with exact inversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "run.h"
#include "simulation.h"
#include "sweep.h"

namespace {

const std::string tables = HEAT_BATH_TABLES;

struct table_closer {
  void operator()(o3_table *t) const { o3_close(t); }
};

struct chain_case {
  double beta;
  y_method method;
  sweep_order order;
  const char *table; // below tables, for the table methods
  std::uint64_t seed;
  int engine = O3_ENGINE_DEFAULT;
};

std::ostream &operator<<(std::ostream &os, const chain_case &c) {
  return os << y_method_name(c.method) << ", " << sweep_order_name(c.order) << ", beta "
            << c.beta << ", table " << (c.table ? c.table : "-") << ", engine " << c.engine;
}

std::unique_ptr<o3_table, table_closer> open(const char *table, int engine) {
  o3_error error;
  std::unique_ptr<o3_table, table_closer> t(
      o3_open_engine((tables + "/" + table + "/O3.res").c_str(), engine, &error));
  if (!t) ADD_FAILURE() << error.message;
  return t;
}

run_result simulate(const run_config &config, y_method method, const char *table,
                    int engine = O3_ENGINE_DEFAULT) {
  std::unique_ptr<o3_table, table_closer> t;
  if (table != nullptr) t = open(table, engine);
  y_source src{method, t.get(), {}, 0};
  run_result result{};
  EXPECT_EQ(run_simulation(&config, &src, &result), 0);
  return result;
}

class Chain : public testing::TestWithParam<chain_case> {};

// Bonds of the infinite chain are independent, each cos distributed as
// exp(beta y): u = -(coth beta - 1/beta). A chain of 1000 spins differs from
// it by (coth beta - 1/beta)^1000, below 1e-40 up to beta = 10. The error
// must be small against u for the comparison to say anything; at these
// lengths it is about 0.1 % of u, where coupling errors of 1 % show.
TEST_P(Chain, EnergyPerBondIsTheExactOne) {
  const chain_case &c = GetParam();
  const run_config config{1, 1000, c.beta, 100, 4000, c.seed, c.order, 0, 32};
  const run_result r = simulate(config, c.method, c.table, c.engine);
  const double u = chain_energy_per_bond(c.beta);
  EXPECT_LT(std::abs(r.energy.mean - u), 4.0 * r.energy.error)
      << r.energy.mean << " +- " << r.energy.error << " against " << u;
  EXPECT_LT(r.energy.error, 0.01 * std::abs(u));
  EXPECT_EQ(r.errors, 0u);
  if (c.table != nullptr && std::string(c.table) == "to4" && c.engine == O3_ENGINE_TABLES) {
    // h = beta |s1 + s2| passes 4 unless the neighbours are almost opposite.
    EXPECT_GT(r.outside, r.updates * 9 / 10);
  } else {
    EXPECT_EQ(r.outside, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(
    HeatBath, Chain,
    testing::Values(
        chain_case{0.5, Y_TABLES, SWEEP_SEQUENTIAL, "to20", 1},
        chain_case{0.5, Y_INVERSION, SWEEP_CHECKERBOARD, nullptr, 2},
        chain_case{0.5, Y_EXPONENTIAL, SWEEP_SEQUENTIAL, nullptr, 3},
        chain_case{2.0, Y_TABLES, SWEEP_CHECKERBOARD, "to20", 4},
        chain_case{2.0, Y_INVERSION, SWEEP_SEQUENTIAL, nullptr, 5},
        chain_case{2.0, Y_EXPONENTIAL, SWEEP_CHECKERBOARD, nullptr, 6},
        chain_case{10.0, Y_TABLES, SWEEP_SEQUENTIAL, "to20", 7},
        chain_case{10.0, Y_INVERSION, SWEEP_CHECKERBOARD, nullptr, 8},
        chain_case{10.0, Y_EXPONENTIAL, SWEEP_SEQUENTIAL, nullptr, 9},
        // Couplings up to 20 on a table up to 4: the library's draws
        // outside it must be as exact as those inside.
        chain_case{10.0, Y_TABLES, SWEEP_SEQUENTIAL, "to4", 10, O3_ENGINE_TABLES},
        chain_case{10.0, Y_TABLES_COUNTED, SWEEP_CHECKERBOARD, "to4", 11, O3_ENGINE_TABLES},
        chain_case{0.5, Y_TABLES, SWEEP_CHECKERBOARD, "to20", 12, O3_ENGINE_TABLES},
        chain_case{10.0, Y_TABLES, SWEEP_CHECKERBOARD, "to4", 13}),
    [](const testing::TestParamInfo<chain_case> &test) {
      const chain_case &c = test.param;
      std::string name = std::string(y_method_name(c.method)) + "_" + sweep_order_name(c.order) +
                         "_beta" + std::to_string(static_cast<int>(c.beta * 10)) + "tenths";
      if (c.table != nullptr) name += std::string("_") + c.table;
      if (c.engine != O3_ENGINE_DEFAULT) name += "_engine" + std::to_string(c.engine);
      for (char &ch : name) {
        if (ch == '-') ch = '_';
      }
      return name;
    });

// The tries of the tables in a real sweep against those their boxes imply:
// a draw at h from histogram g takes Nd_poi a_g / I(h) tries on average (I
// the density's integral), with the variance (1 - p) / p^2 of a geometric
// count of success rate p. Boxes drawn from wrongly, or a squeeze above the
// density, change the rate long before they show in the energy: a squeeze
// raised by 1 % shifts it by half a percent at these couplings.
TEST(ChainTries, AreThoseTheBoxesImply) {
  const auto t = open("to20", O3_ENGINE_TABLES);
  ASSERT_TRUE(t);
  lattice lat;
  ASSERT_EQ(lattice_init(&lat, 1, 1000), 0);
  y_source src{Y_TABLES_COUNTED, t.get(), {}, 0};
  o3_rng_seed(&src.rng, 31);
  lattice_randomise(&lat, &src.rng);
  std::vector<double> h(lat.sites);
  double expected = 0.0, variance = 0.0;
  for (int k = 0; k < 1000; ++k) {
    sweep(&lat, 0.5, SWEEP_SEQUENTIAL, &src, h.data());
    for (const double x : h) {
      const int g = o3_histogram_of(t.get(), x);
      const double integral = x == 0.0 ? 2.0 : -std::expm1(-2.0 * x) / x;
      const double p = integral / (o3_pieces_per_histogram(t.get()) * o3_histogram_area(t.get(), g));
      expected += 1.0 / p;
      variance += (1.0 - p) / (p * p);
    }
  }
  lattice_free(&lat);
  const double z = (static_cast<double>(src.tries) - expected) / std::sqrt(variance);
  EXPECT_LT(std::abs(z), 5.0) << src.tries << " tries, " << expected << " expected";
  // Far from one try a draw, so that a change of the rate would show.
  EXPECT_GT(expected, 1.001 * 1000 * 1000);
}

// The same runs through the C++ library, with the sweeps written in C++.
struct library_case {
  double beta;
  sweep_order order;
  const char *table;
  std::uint64_t seed;
  o3::sampler::engine engine;
};

class LibraryChain : public testing::TestWithParam<library_case> {};

TEST_P(LibraryChain, EnergyPerBondIsTheExactOne) {
  const library_case &c = GetParam();
  const run_config config{1, 1000, c.beta, 100, 4000, c.seed, c.order, 0, 32};
  o3::sampler::sampler t(tables + "/" + c.table + "/O3.res", c.engine);
  run_result r{};
  ASSERT_TRUE(heat_bath::run_with_library(config, t, &r));
  const double u = chain_energy_per_bond(c.beta);
  EXPECT_LT(std::abs(r.energy.mean - u), 4.0 * r.energy.error)
      << r.energy.mean << " +- " << r.energy.error << " against " << u;
  EXPECT_LT(r.energy.error, 0.01 * std::abs(u));
  EXPECT_EQ(r.outside > 0,
            std::string(c.table) == "to4" && c.engine == o3::sampler::engine::tables);
}

INSTANTIATE_TEST_SUITE_P(
    HeatBath, LibraryChain,
    testing::Values(library_case{2.0, SWEEP_CHECKERBOARD, "to20", 21, o3::sampler::engine::automatic},
                    library_case{10.0, SWEEP_SEQUENTIAL, "to20", 22, o3::sampler::engine::automatic},
                    library_case{10.0, SWEEP_CHECKERBOARD, "to4", 23, o3::sampler::engine::tables},
                    library_case{0.5, SWEEP_SEQUENTIAL, "to20", 24, o3::sampler::engine::automatic}));

// The library counts exactly the draws whose h left [H0, H_max): the
// couplings recorded by the sweeps say how many that must be.
TEST(ChainOutside, CountIsTheNumberOfCouplingsOutsideTheTable) {
  const auto t = open("to4", O3_ENGINE_TABLES);
  ASSERT_TRUE(t);
  lattice lat;
  ASSERT_EQ(lattice_init(&lat, 1, 200), 0);
  y_source src{Y_TABLES, t.get(), {}, 0};
  o3_rng_seed(&src.rng, 12);
  lattice_randomise(&lat, &src.rng);
  std::vector<double> h(lat.sites);
  std::uint64_t above = 0, below = 0;
  for (int k = 0; k < 50; ++k) {
    sweep(&lat, 2.5, SWEEP_SEQUENTIAL, &src, h.data());
    for (const double x : h) (x >= o3_h_max(t.get()) ? above : below) += 1;
  }
  EXPECT_GT(above, 0u);
  EXPECT_GT(below, 0u);
  EXPECT_EQ(o3_outside_count(t.get()), above);
  lattice_free(&lat);
}

// L = 8 at beta = 0.693, next to the critical point, where the tables'
// couplings span their whole range [0, 6 beta]. No exact values there:
// every y draw and order must agree with inversion within the combined
// errors, of independent runs (other seeds).
TEST(Cubic, DrawsAndOrdersAgreeWithInversionNearTheCriticalPoint) {
  run_config config{3, 8, 0.693, 500, 8000, 100, SWEEP_SEQUENTIAL, 0, 32};
  const run_result reference = simulate(config, Y_INVERSION, nullptr);
  struct variant {
    y_method method;
    sweep_order order;
    const char *table;
  };
  const variant variants[] = {{Y_TABLES, SWEEP_SEQUENTIAL, "to20"},
                              {Y_TABLES, SWEEP_CHECKERBOARD, "to20"},
                              {Y_EXPONENTIAL, SWEEP_CHECKERBOARD, nullptr}};
  for (const variant &v : variants) {
    config.seed += 1;
    config.order = v.order;
    const run_result r = simulate(config, v.method, v.table);
    const auto agree = [](estimate a, estimate b) {
      return std::abs(a.mean - b.mean) < 4.0 * std::hypot(a.error, b.error);
    };
    const std::string name =
        std::string(y_method_name(v.method)) + ", " + sweep_order_name(v.order);
    EXPECT_TRUE(agree(r.energy, reference.energy))
        << name << ": energy " << r.energy.mean << " +- " << r.energy.error << " against "
        << reference.energy.mean << " +- " << reference.energy.error;
    EXPECT_TRUE(agree(r.m, reference.m))
        << name << ": |m| " << r.m.mean << " +- " << r.m.error << " against "
        << reference.m.mean << " +- " << reference.m.error;
    EXPECT_TRUE(agree(r.binder, reference.binder))
        << name << ": Binder " << r.binder.mean << " +- " << r.binder.error << " against "
        << reference.binder.mean << " +- " << reference.binder.error;
    // Errors of a few percent of |m| and of the energy: a comparison that
    // can fail.
    EXPECT_LT(r.energy.error, 0.01 * std::abs(r.energy.mean)) << name;
    EXPECT_LT(r.m.error, 0.03 * r.m.mean) << name;
    EXPECT_EQ(r.outside, 0u) << name;
  }
}

}  // namespace
