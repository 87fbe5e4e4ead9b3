// The parts of the simulation on their own: the y draws against the exact
// distribution, the new spin's geometry, the sweeps' coverage of the
// lattice and the independence of its planes, the fingerprint, the
// observables of known configurations and the error analysis.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "lattice.h"
#include "observables.h"
#include "options.h"
#include "planes.h"
#include "sweep.h"
#include "update.h"
#include "y_draw.h"

namespace {

const std::string tables = HEAT_BATH_TABLES;

struct table_closer {
  void operator()(o3_table *t) const { o3_close(t); }
};
using table_ptr = std::unique_ptr<o3_table, table_closer>;

table_ptr open_table(const char *path, int engine) {
  o3_error error;
  table_ptr t(o3_open_engine(path, engine, &error));
  if (!t) ADD_FAILURE() << error.message;
  return t;
}

// P(Y <= y) for the density exp(h y) on [-1, 1], in a form that neither
// overflows for large h nor cancels for small h.
double cdf(double h, double y) {
  if (h == 0.0) return 0.5 * (y + 1.0);
  return std::exp(h * (y - 1.0)) * std::expm1(-h * (y + 1.0)) / std::expm1(-2.0 * h);
}

// sqrt(n) times the Kolmogorov-Smirnov distance of the draws from cdf.
double ks_statistic(double h, std::vector<double> draws) {
  std::sort(draws.begin(), draws.end());
  const double n = static_cast<double>(draws.size());
  double d = 0.0;
  for (std::size_t i = 0; i < draws.size(); ++i) {
    const double f = cdf(h, draws[i]);
    d = std::max({d, f - static_cast<double>(i) / n, static_cast<double>(i + 1) / n - f});
  }
  return std::sqrt(n) * d;
}

// Every y draw, from h = 0 and couplings far below double precision's
// reach of exp(2h) - 1 through the switches of the engines to couplings
// where the density lives in a sliver next to 1, one at a time and all at
// once.
TEST(YDraw, EveryMethodFollowsTheExactDistribution) {
  const std::string to20 = tables + "/to20/O3.res";
  const table_ptr by_tables = open_table(to20.c_str(), O3_ENGINE_TABLES);
  const table_ptr by_default = open_table(nullptr, O3_ENGINE_DEFAULT);
  const table_ptr by_exponential = open_table(nullptr, O3_ENGINE_EXPONENTIAL);
  ASSERT_TRUE(by_tables && by_default && by_exponential);
  const struct {
    const char *name;
    y_source y;
  } sources[] = {{"tables engine", {Y_LIBRARY, by_tables.get()}},
                 {"default engine", {Y_LIBRARY, by_default.get()}},
                 {"exponential engine", {Y_LIBRARY, by_exponential.get()}},
                 {"inversion", {Y_INVERSION, nullptr}}};
  const double couplings[] = {0.0, 1e-300, 1e-9, 0.19, 0.3, 0.4999, 0.5, 2.0, 19.9};
  for (const auto &source : sources) {
    for (const double h : couplings) {
      for (const bool many : {false, true}) {
        SCOPED_TRACE(std::string(source.name) + " at h = " + std::to_string(h) +
                     (many ? ", y_draw_many" : ", y_draw"));
        o3_stream s;
        o3_stream_seed(&s, 7);
        std::vector<double> draws(100000);
        if (many) {
          const std::vector<double> h_of(draws.size(), h);
          y_draw_many(&source.y, draws.size(), h_of.data(), draws.data(), &s);
        } else {
          for (double &y : draws) y = y_draw(&source.y, h, &s);
        }
        const auto [low, high] = std::minmax_element(draws.begin(), draws.end());
        EXPECT_GE(*low, -1.0);
        EXPECT_LE(*high, 1.0);
        // P(K > 2.3) = 5e-5 for the exact distribution.
        EXPECT_LT(ks_statistic(h, draws), 2.3);
        EXPECT_EQ(s.counts.outside, 0u);
        EXPECT_EQ(s.counts.errors, 0u);
      }
    }
  }
}

TEST(YDraw, InversionReachesBothEndsWithoutLeavingThem) {
  // u = 0 is y = -1 at any coupling (at large h through log(0) = -inf);
  // u next to 1 is y next to 1.
  for (const double h : {1e-9, 1.0, 50.0, 800.0}) {
    EXPECT_EQ(y_by_inversion(h, 0.0), -1.0) << h;
    const double top = y_by_inversion(h, 1.0 - 0x1p-53);
    EXPECT_LE(top, 1.0) << h;
    EXPECT_GT(top, 1.0 - 1e-14) << h;
  }
}

// Against values of 1 + log(u + (1 - u) exp(-2h)) / h in 200-bit
// arithmetic (mpmath), for u from the smallest words to the largest: small
// h, where the plain form would take the log of a number next to 1, and
// large h with small u, where y lies next to -1 and log1p of a number next
// to -1 would lose the digits.
TEST(YDraw, InversionKeepsItsDigitsAtEveryCouplingAndUniform) {
  const double u[4] = {0x9p-53, 0x1p-30, 0.5, 1.0 - 0x1p-20};
  const struct {
    double h;
    double y[4];
  } cases[] = {{1e-6,
                {-0.9999999999999980016, -0.99999999813735298812, 0.00000049999999999991664404,
                 0.99999809265327453304}},
               {0.01,
                {-0.99999999999999798148, -0.99999999811860359958, 0.0049999166688888215348,
                 0.999998111598312358}},
               {0.3,
                {-0.99999999999999726179, -0.99999999744780734158, 0.14780256641980105147,
                 0.99999856571050969381}},
               {0.5,
                {-0.99999999999999656618, -0.99999999679945068977, 0.24022901391655504926,
                 0.99999879432535293291}},
               {2.0,
                {-0.99999999999997322234, -0.99999997504141708118, 0.66250137367893221547,
                 0.99999953189619987415}},
               {10.0,
                {-0.99999995152227048821, -0.96271646333703531723, 0.93068528215012083109,
                 0.99999990463252308118}},
               {20.0,
                {-0.72676666264576091379, -0.039720770611836182505, 0.96534264097200273474,
                 0.99999995231626144231}},
               {100.0,
                {0.65460424007659117984, 0.79205584583201640717, 0.99306852819440054691,
                 0.99999999046325228846}}};
  for (const auto &c : cases) {
    for (int k = 0; k < 4; ++k) {
      EXPECT_NEAR(y_by_inversion(c.h, u[k]), c.y[k], 1e-15) << "h = " << c.h << ", u = " << u[k];
    }
  }
}

// The new spin: unit length, cos to the field = y, and the azimuth turns
// it around the field; for fields along -z and +z (where a frame built from
// a fixed axis breaks down), next to -z, and too small to have a direction.
TEST(Update, NewSpinHasTheDrawnAngleToTheField) {
  const vec3 fields[] = {{0.0, 0.0, 3.0},    {0.0, 0.0, -3.0},  {1.0, -2.0, 0.5},
                         {1e-7, 2e-7, -1.0}, {-0.0, 0.0, -0.0}, {0.0, 0.0, 0.0}};
  for (const vec3 f : fields) {
    const double h = std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
    const vec3 n = h > 0.0 ? vec3{f.x / h, f.y / h, f.z / h} : vec3{0.0, 0.0, 1.0};
    for (const double y : {-1.0, -0.3, 0.0, 0.9999999, 1.0}) {
      const vec3 a = spin_around(f, h, y, 0.1);
      const vec3 b = spin_around(f, h, y, 0.35);  // a quarter turn further
      EXPECT_NEAR(a.x * a.x + a.y * a.y + a.z * a.z, 1.0, 1e-14);
      EXPECT_NEAR(a.x * n.x + a.y * n.y + a.z * n.z, y, 1e-14);
      const vec3 pa{a.x - y * n.x, a.y - y * n.y, a.z - y * n.z};
      const vec3 pb{b.x - y * n.x, b.y - y * n.y, b.z - y * n.z};
      EXPECT_NEAR(pa.x * pb.x + pa.y * pb.y + pa.z * pb.z, 0.0, 1e-14);
    }
  }
}

// At beta = 0 every update draws a fresh spin, so after one sweep from the
// aligned start a spin still exactly along +z was never visited; the sweep
// counts its updates, as many as sites, and records the coupling of each.
TEST(Sweep, EveryOrderVisitsEverySiteOnce) {
  for (const int dim : {1, 3}) {
    for (const int L : {2, 5, 6}) {
      for (const sweep_order order : {SWEEP_SEQUENTIAL, SWEEP_CHECKERBOARD}) {
        SCOPED_TRACE("dim " + std::to_string(dim) + ", L " + std::to_string(L) + ", " +
                     sweep_order_name(order));
        lattice lat;
        ASSERT_EQ(lattice_init(&lat, dim, L), 0);
        lattice_align(&lat);
        const update_rule rule{0.0, {Y_INVERSION, nullptr}, 3};
        o3_stream s;
        o3_stream_seed(&s, 3);
        o3_counts counts{0, 0};
        std::vector<double> h(lat.sites, -1.0);
        EXPECT_EQ(sweep(&lat, order, &rule, 1, &s, &counts, h.data()), lat.sites);
        EXPECT_EQ(std::count(h.begin(), h.end(), 0.0), static_cast<long>(lat.sites));
        const auto unvisited =
            std::count_if(lat.spin, lat.spin + lat.sites, [](vec3 v) { return v.z == 1.0; });
        EXPECT_EQ(unvisited, 0);
        lattice_free(&lat);
      }
    }
  }
}

// In the first half-sweep of a checkerboard sweep every neighbour has the
// other parity and is not updated yet, so the couplings of the sites of
// even x + y + z are those of the start: beta |sum of the 2d neighbours|,
// found here from the coordinates; the odd sites are left for the second.
TEST(Sweep, FirstCheckerboardPassSeesTheNeighboursOfTheStart) {
  const double beta = 0.7;
  for (const int dim : {1, 3}) {
    for (const int L : {2, 4, 6}) {
      SCOPED_TRACE("dim " + std::to_string(dim) + ", L " + std::to_string(L));
      lattice lat;
      ASSERT_EQ(lattice_init(&lat, dim, L), 0);
      lattice_start(&lat, 1, 5);
      const int ly = dim == 3 ? L : 1;
      const auto wrap = [](int c, int n) { return (c + n) % n; };
      const auto at = [&](int x, int y, int z) {
        return lat.spin[wrap(x, L) + L * (wrap(y, ly) + ly * wrap(z, ly))];
      };
      std::vector<double> expected(lat.sites, -1.0);
      for (int z = 0; z < ly; ++z) {
        for (int y = 0; y < ly; ++y) {
          for (int x = (y + z) % 2; x < L; x += 2) {
            std::vector<vec3> nb = {at(x - 1, y, z), at(x + 1, y, z)};
            if (dim == 3) {
              nb.insert(nb.end(),
                        {at(x, y - 1, z), at(x, y + 1, z), at(x, y, z - 1), at(x, y, z + 1)});
            }
            vec3 f{0.0, 0.0, 0.0};
            for (const vec3 v : nb) f = vec3{f.x + v.x, f.y + v.y, f.z + v.z};
            expected[x + L * (y + ly * z)] = beta * std::sqrt(f.x * f.x + f.y * f.y + f.z * f.z);
          }
        }
      }
      // The second half-sweep's sites keep the -1 they start with.
      std::vector<double> h(lat.sites, -1.0);
      const update_rule rule{beta, {Y_INVERSION, nullptr}, 5};
      o3_counts counts{0, 0};
      for (std::size_t w = 0; w < lat.planes; ++w) {
        update_plane(&lat, w, w, checkerboard_step(1, 0), &rule, 0, &counts, h.data());
      }
      for (std::size_t i = 0; i < lat.sites; ++i) {
        EXPECT_NEAR(h[i], expected[i], 1e-14) << "site " << i;
      }
      lattice_free(&lat);
    }
  }
}

// The planes of a half-sweep read only sites of the other parity, which the
// half-sweep leaves alone, and each draws from its own stream: updated in
// any order, by threads or processes, they give the same spins bit for bit.
TEST(Planes, AHalfSweepIsTheSameInAnyOrderOfItsPlanes) {
  const table_ptr by_default = open_table(nullptr, O3_ENGINE_DEFAULT);
  ASSERT_TRUE(by_default);
  for (const int dim : {1, 3}) {
    SCOPED_TRACE("dim " + std::to_string(dim));
    const int L = dim == 3 ? 6 : 10;
    const update_rule rule{0.7, {Y_LIBRARY, by_default.get()}, 11};
    std::vector<std::vector<std::size_t>> orders(3);
    for (std::size_t w = 0; w < static_cast<std::size_t>(L); ++w) orders[0].push_back(w);
    orders[1].assign(orders[0].rbegin(), orders[0].rend());
    orders[2] = orders[0];
    std::shuffle(orders[2].begin(), orders[2].end(), std::mt19937(5));
    std::vector<std::vector<vec3>> after;
    for (const auto &order : orders) {
      lattice lat;
      ASSERT_EQ(lattice_init(&lat, dim, L), 0);
      lattice_start(&lat, 1, 2);
      o3_counts counts{0, 0};
      for (const int p : {0, 1}) {
        for (const std::size_t w : order) {
          update_plane(&lat, w, w, checkerboard_step(3, p), &rule, 0, &counts, nullptr);
        }
      }
      after.emplace_back(lat.spin, lat.spin + lat.sites);
      lattice_free(&lat);
    }
    for (std::size_t k = 1; k < after.size(); ++k) {
      EXPECT_EQ(std::memcmp(after[k].data(), after[0].data(), after[0].size() * sizeof(vec3)), 0)
          << "order " << k;
    }
  }
}

// The fingerprint's definition, which the Fortran program repeats: a chain
// of L = 2 aligned has two planes of one spin (0, 0, 1), whose halves are
// five zeros and 0x3ff00000, the high half of 1.0; each plane's lanes are
// 0x3ff00000 = 1072693248, and the planes combine to
// (1072693248 M1 + 1072693248) mod P1 = 743210499 and
// (1072693248 M2 + 1072693248) mod P2 = 2120567751 (Python's integers).
// Any bit of any spin changes it.
TEST(Fingerprint, IsItsDefinitionAndSeesEveryBit) {
  lattice chain, cube;
  ASSERT_EQ(lattice_init(&chain, 1, 2), 0);
  lattice_align(&chain);
  EXPECT_EQ(lattice_plane_fingerprint(&chain, 0), UINT64_C(1072693248) << 32 | 1072693248);
  EXPECT_EQ(lattice_fingerprint(&chain), UINT64_C(743210499) << 32 | 2120567751);
  lattice_free(&chain);
  ASSERT_EQ(lattice_init(&cube, 3, 4), 0);
  lattice_start(&cube, 1, 9);
  const std::uint64_t f = lattice_fingerprint(&cube);
  for (const std::size_t site : {std::size_t{0}, std::size_t{17}, cube.sites - 1}) {
    for (const int bit : {0, 31, 32, 63}) {
      SCOPED_TRACE("site " + std::to_string(site) + ", bit " + std::to_string(bit));
      std::uint64_t word;
      std::memcpy(&word, &cube.spin[site].y, sizeof word);
      word ^= std::uint64_t{1} << bit;
      std::memcpy(&cube.spin[site].y, &word, sizeof word);
      EXPECT_NE(lattice_fingerprint(&cube), f);
      word ^= std::uint64_t{1} << bit;
      std::memcpy(&cube.spin[site].y, &word, sizeof word);
    }
  }
  EXPECT_EQ(lattice_fingerprint(&cube), f);
  lattice_free(&cube);
}

// Known configurations: aligned, Neel (alternating, every bond
// antiparallel) and, on the chain, a spiral turning by 2 pi / L per site,
// whose bonds all have cos(2 pi / L).
TEST(Observables, EnergyAndMagnetisationOfKnownConfigurations) {
  lattice cube, chain;
  ASSERT_EQ(lattice_init(&cube, 3, 4), 0);
  ASSERT_EQ(lattice_init(&chain, 1, 12), 0);
  double value[OBS_COUNT];
  lattice_align(&cube);
  measure(&cube, value);
  EXPECT_DOUBLE_EQ(value[OBS_ENERGY], -1.0);
  EXPECT_DOUBLE_EQ(value[OBS_M], 1.0);
  EXPECT_DOUBLE_EQ(value[OBS_M4], 1.0);
  for (std::size_t i = 0; i < cube.sites; ++i) {
    const std::size_t parity = (i % 4 + i / 4 % 4 + i / 16) % 2;
    cube.spin[i] = vec3{0.0, parity ? -1.0 : 1.0, 0.0};
  }
  measure(&cube, value);
  EXPECT_DOUBLE_EQ(value[OBS_ENERGY], 1.0);
  EXPECT_DOUBLE_EQ(value[OBS_M], 0.0);
  const double turn = 2.0 * std::numbers::pi / 12.0;
  for (std::size_t i = 0; i < chain.sites; ++i) {
    const double angle = turn * static_cast<double>(i);
    chain.spin[i] = vec3{std::cos(angle), 0.0, std::sin(angle)};
  }
  measure(&chain, value);
  EXPECT_NEAR(value[OBS_ENERGY], -std::cos(turn), 1e-15);
  EXPECT_NEAR(value[OBS_M], 0.0, 1e-15);
  lattice_free(&cube);
  lattice_free(&chain);
}

// A series with a known autocorrelation, x_k = rho x_(k-1) + noise:
// tau_int = (1 + rho) / (2 (1 - rho)) = 4.5 for rho = 0.8, and the binned
// error must see it where the spread of single values would not.
TEST(Binning, ErrorOfACorrelatedSeriesAndTheBinderRatio) {
  const std::size_t n = 1000000, bins = 100;
  const double expected_error = std::sqrt(2.0 * 4.5 / static_cast<double>(n));
  const double rho = 0.8;
  binning b;
  ASSERT_EQ(binning_init(&b, n, bins), 0);
  std::mt19937_64 engine(11);
  std::normal_distribution<double> normal;
  double x = 0.0, sum = 0.0;
  for (std::size_t k = 0; k < n; ++k) {
    x = rho * x + std::sqrt(1.0 - rho * rho) * normal(engine);
    // m: three independent normal components, so <m^4>/<m^2>^2 = 5/3.
    const double mx = normal(engine), my = normal(engine), mz = normal(engine);
    const double m2 = mx * mx + my * my + mz * mz;
    const double value[OBS_COUNT] = {x, std::sqrt(m2), m2, m2 * m2};
    binning_add(&b, value);
    sum += x;
  }
  const estimate e = binning_mean(&b, OBS_ENERGY);
  EXPECT_NEAR(e.mean, sum / static_cast<double>(n), 1e-12);
  EXPECT_NEAR(e.tau, 4.5, 0.3 * 4.5);
  EXPECT_NEAR(e.error, expected_error, 0.15 * expected_error);
  EXPECT_NEAR(binning_mean(&b, OBS_M).tau, 0.5, 0.15);
  const estimate binder = binning_binder(&b);
  EXPECT_NEAR(binder.mean, 5.0 / 3.0, 4.0 * binder.error);
  EXPECT_LT(binder.error, 0.01);
  binning_free(&b);
  EXPECT_NE(binning_init(&b, 10, 20), 0) << "more bins than measurements";
}

int parse(std::vector<const char *> args, options &opt, std::string &message) {
  args.insert(args.begin(), "heat_bath");
  char text[256] = "";
  const int status = parse_options(static_cast<int>(args.size()), const_cast<char **>(args.data()),
                                   &opt, text, sizeof text);
  message = text;
  return status;
}

TEST(Options, AcceptTheDocumentedFormsAndRefuseTheRest) {
  options opt;
  std::string message;
  ASSERT_EQ(parse({"--lattice", "chain", "--L=64", "--beta", "10", "--draw", "inversion",
                   "--order=sequential", "--start", "hot", "--seed", "9223372036854775807"},
                  opt, message),
            0)
      << message;
  EXPECT_EQ(opt.run.dim, 1);
  EXPECT_EQ(opt.run.L, 64);
  EXPECT_EQ(opt.run.beta, 10.0);
  EXPECT_STREQ(opt.beta, "10");
  EXPECT_EQ(opt.method, Y_INVERSION);
  EXPECT_EQ(opt.run.order, SWEEP_SEQUENTIAL);
  EXPECT_EQ(opt.run.hot_start, 1);
  EXPECT_EQ(opt.run.seed, UINT64_C(9223372036854775807));
  EXPECT_EQ(opt.table, nullptr) << "no table but for the tables engine";
  ASSERT_EQ(parse({"--engine", "tables"}, opt, message), 0);
  EXPECT_EQ(opt.engine, O3_ENGINE_TABLES);
  EXPECT_STREQ(opt.table, "O3.res");
  EXPECT_EQ(opt.run.order, SWEEP_CHECKERBOARD);
  ASSERT_EQ(parse({"--engine=tables", "--table", "runs/a.res", "--beta", ".5"}, opt, message), 0);
  EXPECT_STREQ(opt.table, "runs/a.res");
  EXPECT_EQ(opt.run.beta, 0.5);
  ASSERT_EQ(parse({"--L", "7", "-h"}, opt, message), 0) << "help before any refusal";
  EXPECT_EQ(opt.help, 1);

  const std::vector<std::vector<const char *>> refused = {
      {"--beta", "nan"},
      {"--beta", "-1"},
      {"--beta", "+1"},
      {"--beta", " 1"},
      {"--L", "1"},
      {"--L", "8x"},
      {"--L", "+8"},
      {"--draw", "none"},
      {"--lattice", "fcc"},
      {"--sweeps", "10"},
      {"--bins", "1"},
      {"--seed", "-3"},
      {"--seed", "9223372036854775808"},
      {"--frobnicate"},
      {"--beta"},
      {"L", "8"},
      {"--L", "8", "--L", "8"},
      // Across an odd L's wrap two sites of one parity are neighbours.
      {"--L", "9"},
      {"--L", "1292", "--order", "sequential"},
      {"--draw", "inversion", "--engine", "tables"},
      {"--table", "O3.res"},
      {"--engine", "default", "--table", "O3.res"}};
  for (const auto &args : refused) {
    SCOPED_TRACE(args[0] + std::string(args.size() > 1 ? std::string(" ") + args[1] : ""));
    EXPECT_EQ(parse(args, opt, message), -1);
    EXPECT_FALSE(message.empty());
  }
}

}  // namespace
