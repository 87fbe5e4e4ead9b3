// Nanoseconds per draw of y in [-1, 1] with density proportional to
// exp(h*y - h): exact inversion, the sampler library's default engine and
// its tables engine, and Boost.Random and UNU.RAN where CMake found them;
// also the tables' first try alone. Every benchmark makes one draw per iteration,
// so its Time column is the time of one draw, and every one uses the same
// generator (xoshiro256**).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sampler/inspect.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"

#ifdef O3_BENCH_HAVE_BOOST
#include <boost/random/exponential_distribution.hpp>
#endif
#ifdef O3_BENCH_HAVE_UNURAN
#include <unuran.h>
#endif

namespace {

// xoshiro256** with its state filled by splitmix64: a fast 64-bit uniform
// random bit generator.
class xoshiro256ss {
 public:
  using result_type = std::uint64_t;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return ~result_type{0}; }

  explicit xoshiro256ss(std::uint64_t seed) {
    for (std::uint64_t& word : s_) {
      seed += 0x9e3779b97f4a7c15u;
      std::uint64_t z = seed;
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
      word = z ^ (z >> 31);
    }
  }

  result_type operator()() {
    const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const std::uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }

 private:
  static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t s_[4];
};

constexpr std::uint64_t seed = 20240611;

// The upper 53 bits of a word as a real in [0, 1).
double unit(std::uint64_t w) { return static_cast<double>(w >> 11) * 0x1.0p-53; }

// The range of both tables.
constexpr double H0 = 0.0;
constexpr double H_max = 50.0;

// The two tables, made once by the tool as the tests make theirs
// (tests/made_tables.h): losses 10 (104 pieces) and losses 1 (600 pieces).
struct tables {
  std::string error;  // empty when both were made and loaded
  std::unique_ptr<o3::sampler::sampler> losses10;
  std::unique_ptr<o3::sampler::sampler> losses1;
};

std::unique_ptr<o3::sampler::sampler> make_table(const char* losses, std::string* error) {
  try {
    return std::make_unique<o3::sampler::sampler>(
        o3test::made_table(std::to_string(H0) + " " + std::to_string(H_max) + " " + losses),
        o3::sampler::engine::tables);
  } catch (const std::exception& e) {
    *error = std::string("no table of losses ") + losses + ": " + e.what();
    return nullptr;
  }
}

const tables& the_tables() {
  static const tables t = [] {
    tables made;
    made.losses10 = make_table("10", &made.error);
    if (made.error.empty()) made.losses1 = make_table("1", &made.error);
    return made;
  }();
  return t;
}

// The table of the given number of pieces, or null after SkipWithError.
o3::sampler::sampler* table_for(benchmark::State& state, int Nd_poi) {
  const tables& t = the_tables();
  if (!t.error.empty()) {
    state.SkipWithError(t.error.c_str());
    return nullptr;
  }
  o3::sampler::sampler* s = Nd_poi == 104 ? t.losses10.get() : t.losses1.get();
  if (s->pieces_per_histogram() != Nd_poi) {
    state.SkipWithError("the table has an unexpected number of pieces");
    return nullptr;
  }
  return s;
}

// Couplings for the changing-h scenario: uniform in [H0, H_max), none zero
// (inversion divides by h), cycled through one per draw.
constexpr std::size_t coupling_count = 4096;
const std::vector<double>& couplings() {
  static const std::vector<double> hs = [] {
    xoshiro256ss rng(seed + 1);
    std::vector<double> v;
    while (v.size() < coupling_count) {
      const double h = H0 + (H_max - H0) * unit(rng());
      if (h > 0.0 && h < H_max) v.push_back(h);
    }
    return v;
  }();
  return hs;
}

// Fixed h: one draw per iteration; `draw` holds the coupling and whatever
// it precomputes for it.
template <class Draw>
void run_fixed(benchmark::State& state, Draw draw) {
  xoshiro256ss rng(seed);
  double sum = 0.0;
  for (auto _ : state) sum += draw(rng);
  benchmark::DoNotOptimize(sum);
}

// Changing h: every draw takes the next coupling of the array.
template <class Draw>
void run_changing(benchmark::State& state, Draw draw) {
  const std::vector<double>& hs = couplings();
  xoshiro256ss rng(seed);
  double sum = 0.0;
  std::size_t i = 0;
  for (auto _ : state) {
    sum += draw(hs[i], rng);
    i = (i + 1) & (coupling_count - 1);
  }
  benchmark::DoNotOptimize(sum);
}

// (a) Exact inversion of F(y) = (exp(h(y-1)) - exp(-2h)) / (1 - exp(-2h)).
double inversion(double h, double e2h, xoshiro256ss& rng) {
  const double u = unit(rng());
  return 1.0 + std::log(u + (1.0 - u) * e2h) / h;
}

void BM_draw_inversion(benchmark::State& state, double h) {
  const double e2h = std::exp(-2.0 * h);
  run_fixed(state, [h, e2h](xoshiro256ss& rng) { return inversion(h, e2h, rng); });
}
void BM_draw_inversion_changing(benchmark::State& state) {
  run_changing(state,
               [](double h, xoshiro256ss& rng) { return inversion(h, std::exp(-2.0 * h), rng); });
}

// (c) The library: its default engine, which needs no table, and its tables
// engine on the tables made.
o3::sampler::sampler& without_table() {
  static o3::sampler::sampler s(o3::sampler::engine::automatic);
  return s;
}
void BM_draw_default(benchmark::State& state, double h) {
  run_fixed(state, [h](xoshiro256ss& rng) { return without_table().draw(h, rng); });
}
void BM_draw_default_changing(benchmark::State& state) {
  run_changing(state, [](double h, xoshiro256ss& rng) { return without_table().draw(h, rng); });
}
void BM_draw_library(benchmark::State& state, int Nd_poi, double h) {
  o3::sampler::sampler* s = table_for(state, Nd_poi);
  if (s == nullptr) return;
  run_fixed(state, [s, h](xoshiro256ss& rng) { return s->draw(h, rng); });
}
void BM_draw_library_changing(benchmark::State& state, int Nd_poi) {
  o3::sampler::sampler* s = table_for(state, Nd_poi);
  if (s == nullptr) return;
  run_changing(state, [s](double h, xoshiro256ss& rng) { return s->draw(h, rng); });
}

// (f) Not a sampler: the library's first try alone, its point or NaN on a
// miss of the squeeze. What (c) costs beyond it is the rest of the draws
// that miss, including their mispredicted branch.
void BM_draw_first_try(benchmark::State& state, int Nd_poi, double h) {
  o3::sampler::sampler* s = table_for(state, Nd_poi);
  if (s == nullptr) return;
  run_fixed(state,
            [s, h](xoshiro256ss& rng) { return o3::sampler::detail::first_try(*s, h, rng); });
}

#ifdef O3_BENCH_HAVE_BOOST
// (d) y = 1 - E/h with E ~ Exp(1) from Boost.Random, E > 2h rejected.
double boost_draw(double h, boost::random::exponential_distribution<double>& exp1,
                  xoshiro256ss& rng) {
  double e = exp1(rng);
  while (e > 2.0 * h) e = exp1(rng);
  return 1.0 - e / h;
}
void BM_draw_boost(benchmark::State& state, double h) {
  boost::random::exponential_distribution<double> exp1;
  run_fixed(state, [h, &exp1](xoshiro256ss& rng) { return boost_draw(h, exp1, rng); });
}
void BM_draw_boost_changing(benchmark::State& state) {
  boost::random::exponential_distribution<double> exp1;
  run_changing(state, [&exp1](double h, xoshiro256ss& rng) { return boost_draw(h, exp1, rng); });
}
#endif

#ifdef O3_BENCH_HAVE_UNURAN
// (e) UNU.RAN, its uniforms from the same generator through a callback
// (UNU.RAN wants them in the open interval (0, 1)).
double unuran_uniform(void* state) {
  auto* rng = static_cast<xoshiro256ss*>(state);
  return (static_cast<double>((*rng)() >> 11) + 0.5) * 0x1.0p-53;
}

double coupling_of(const UNUR_DISTR* distr) {
  const double* params = nullptr;
  unur_distr_cont_get_pdfparams(distr, &params);
  return params[0];
}
double log_density(double y, const UNUR_DISTR* distr) {
  const double h = coupling_of(distr);
  return h * y - h;
}
double log_density_derivative(double, const UNUR_DISTR* distr) { return coupling_of(distr); }

// A generator and everything it owns.
struct unuran_generator {
  UNUR_URNG* urng = nullptr;
  UNUR_GEN* gen = nullptr;
  ~unuran_generator() {
    if (gen != nullptr) unur_free(gen);
    if (urng != nullptr) unur_urng_free(urng);
  }
};

// The density exp(h*y - h) on [-1, 1], handed to a method's parameters.
UNUR_DISTR* unuran_density(double h) {
  UNUR_DISTR* distr = unur_distr_cont_new();
  unur_distr_cont_set_logpdf(distr, log_density);
  unur_distr_cont_set_dlogpdf(distr, log_density_derivative);
  unur_distr_cont_set_pdfparams(distr, &h, 1);
  unur_distr_cont_set_domain(distr, -1.0, 1.0);
  unur_distr_cont_set_mode(distr, 1.0);
  unur_distr_cont_set_center(distr, 1.0 - 0.5 / (h > 1.0 ? h : 1.0));
  return distr;
}

enum class unuran_method { pinv, tdr, cstd };

// Builds the generator; false after SkipWithError when UNU.RAN refuses.
bool unuran_build(benchmark::State& state, unuran_method method, double h, xoshiro256ss* rng,
                  unuran_generator* g) {
  g->urng = unur_urng_new(unuran_uniform, rng);
  UNUR_DISTR* distr = nullptr;
  UNUR_PAR* par = nullptr;
  switch (method) {
    case unuran_method::pinv:
      distr = unuran_density(h);
      par = unur_pinv_new(distr);
      break;
    case unuran_method::tdr:
      distr = unuran_density(h);
      par = unur_tdr_new(distr);
      break;
    case unuran_method::cstd:
      // E ~ Exp(1) by inversion, truncated to [0, 2h]: y = 1 - E/h.
      distr = unur_distr_exponential(nullptr, 0);
      par = unur_cstd_new(distr);
      unur_cstd_set_variant(par, UNUR_STDGEN_INVERSION);
      break;
  }
  if (par != nullptr) {
    unur_set_urng(par, g->urng);
    g->gen = unur_init(par);  // frees par
  }
  unur_distr_free(distr);
  if (g->gen == nullptr) {
    state.SkipWithError("UNU.RAN could not build the generator");
    return false;
  }
  if (method == unuran_method::cstd &&
      unur_cstd_chg_truncated(g->gen, 0.0, 2.0 * h) != UNUR_SUCCESS) {
    state.SkipWithError("UNU.RAN could not truncate the exponential");
    return false;
  }
  return true;
}

void BM_draw_unuran(benchmark::State& state, unuran_method method, double h) {
  xoshiro256ss rng(seed);
  unuran_generator g;
  if (!unuran_build(state, method, h, &rng, &g)) return;
  UNUR_GEN* gen = g.gen;
  double sum = 0.0;
  if (method == unuran_method::cstd) {
    for (auto _ : state) sum += 1.0 - unur_sample_cont(gen) / h;
  } else {
    for (auto _ : state) sum += unur_sample_cont(gen);
  }
  benchmark::DoNotOptimize(sum);
}

// Changing h: only the truncated exponential can follow h cheaply (the
// truncation is changed before every draw); PINV and TDR would have to be
// rebuilt for every coupling.
void BM_draw_unuran_cstd_changing(benchmark::State& state) {
  const std::vector<double>& hs = couplings();
  xoshiro256ss rng(seed);
  unuran_generator g;
  if (!unuran_build(state, unuran_method::cstd, H_max, &rng, &g)) return;
  UNUR_GEN* gen = g.gen;
  double sum = 0.0;
  std::size_t i = 0;
  for (auto _ : state) {
    const double h = hs[i];
    unur_cstd_chg_truncated(gen, 0.0, 2.0 * h);
    sum += 1.0 - unur_sample_cont(gen) / h;
    i = (i + 1) & (coupling_count - 1);
  }
  benchmark::DoNotOptimize(sum);
}
#endif

// Registration, scenario by scenario: the fixed couplings, then h changing
// on every draw. Names: BM_draw/<method>[/Nd_poi:N]/h:<h or changing>.
[[maybe_unused]] const int registered = [] {
  constexpr int tables_pieces[] = {104, 600};
  const std::pair<const char*, double> fixed[] = {{"0.5", 0.5}, {"3", 3.0}, {"20", 20.0}};
  for (const auto& [label, h] : fixed) {
    const std::string tail = std::string("/h:") + label;
    benchmark::RegisterBenchmark(("BM_draw/inversion" + tail).c_str(), BM_draw_inversion, h);
    benchmark::RegisterBenchmark(("BM_draw/default" + tail).c_str(), BM_draw_default, h);
#ifdef O3_BENCH_HAVE_BOOST
    benchmark::RegisterBenchmark(("BM_draw/boost_exponential" + tail).c_str(), BM_draw_boost, h);
#endif
#ifdef O3_BENCH_HAVE_UNURAN
    benchmark::RegisterBenchmark(("BM_draw/unuran_pinv" + tail).c_str(), BM_draw_unuran,
                                 unuran_method::pinv, h);
    benchmark::RegisterBenchmark(("BM_draw/unuran_tdr" + tail).c_str(), BM_draw_unuran,
                                 unuran_method::tdr, h);
    benchmark::RegisterBenchmark(("BM_draw/unuran_cstd" + tail).c_str(), BM_draw_unuran,
                                 unuran_method::cstd, h);
#endif
    for (const int n : tables_pieces) {
      const std::string pieces = "/Nd_poi:" + std::to_string(n);
      benchmark::RegisterBenchmark(("BM_draw/library" + pieces + tail).c_str(), BM_draw_library, n,
                                   h);
      benchmark::RegisterBenchmark(("BM_draw/first_try" + pieces + tail).c_str(), BM_draw_first_try,
                                   n, h);
    }
  }
  const std::string tail = "/h:changing";
  benchmark::RegisterBenchmark(("BM_draw/inversion" + tail).c_str(), BM_draw_inversion_changing);
  benchmark::RegisterBenchmark(("BM_draw/default" + tail).c_str(), BM_draw_default_changing);
#ifdef O3_BENCH_HAVE_BOOST
  benchmark::RegisterBenchmark(("BM_draw/boost_exponential" + tail).c_str(),
                               BM_draw_boost_changing);
#endif
#ifdef O3_BENCH_HAVE_UNURAN
  benchmark::RegisterBenchmark(("BM_draw/unuran_cstd" + tail).c_str(),
                               BM_draw_unuran_cstd_changing);
#endif
  for (const int n : tables_pieces) {
    const std::string pieces = "/Nd_poi:" + std::to_string(n);
    benchmark::RegisterBenchmark(("BM_draw/library" + pieces + tail).c_str(),
                                 BM_draw_library_changing, n);
  }
  return 0;
}();

}  // namespace
