// The C++ y draws timed: the library's through its C++ face, and the peers
// a C++ programmer would reach for.
#include <cmath>
#include <cstddef>

#include "draws.h"
#include "sampler/sampler.h"

#ifdef O3_BENCH_HAVE_BOOST
#include <boost/random/exponential_distribution.hpp>
#endif

namespace {

double uniform(sweep_state* st) { return o3_stream_uniform(st->stream); }

double inversion(sweep_state* st, double h) {
  const double u = uniform(st);
  if (h < 1e-100) return 2.0 * u - 1.0;
  if (h < 0.5) return 1.0 + std::log1p((1.0 - u) * std::expm1(-2.0 * h)) / h;
  const double y = 1.0 + std::log(u + (1.0 - u) * std::exp(-2.0 * h)) / h;
  return y < -1.0 ? -1.0 : y;
}

// The stream as a C++ uniform random bit generator, for the peers.
struct words {
  using result_type = std::uint64_t;
  o3_stream* s;
  static constexpr result_type min() { return 0; }
  static constexpr result_type max() { return ~result_type{0}; }
  result_type operator()() { return o3_rng_next(&s->rng); }
};

const o3::sampler::sampler& library_of(const sweep_state* st) {
  return *static_cast<const o3::sampler::sampler*>(st->cpp_sampler);
}
o3::sampler::stream& stream_of(sweep_state* st) {
  return *static_cast<o3::sampler::stream*>(st->cpp_stream);
}

double library(sweep_state* st, double h) { return library_of(st).draw(h, stream_of(st)); }

void library_many(sweep_state* st, const double* h, double* y, std::size_t n) {
  library_of(st).draw_many({h, n}, {y, n}, stream_of(st));
}

#ifdef O3_BENCH_HAVE_BOOST
// E from Boost's ziggurat, drawn again while E > 2h; inversion below 0.05,
// where that would keep few.
double boost_exponential(sweep_state* st, double h) {
  static boost::random::exponential_distribution<double> exponential;
  words w{st->stream};
  if (h < 0.05) return inversion(st, h);
  for (;;) {
    const double e = exponential(w);
    if (e <= 2.0 * h) return 1.0 - e / h;
  }
}
#endif

#define ONE_BY_ONE(draw)                                                         \
  void draw##_many(sweep_state* st, const double* h, double* y, std::size_t n) { \
    for (std::size_t i = 0; i < n; ++i) y[i] = draw(st, h[i]);                   \
  }
ONE_BY_ONE(inversion)
#define METHOD(draw)                        \
  O3_SWEEP(sweep_##draw, draw, draw##_many) \
  O3_REPLAY(replay_##draw, draw)
METHOD(inversion)
METHOD(library)
#ifdef O3_BENCH_HAVE_BOOST
ONE_BY_ONE(boost_exponential)
METHOD(boost_exponential)
#endif

}  // namespace

const sweep_method cpp_methods[] = {
    {"C++ inversion", sweep_inversion, replay_inversion, 0},
    {"C++ library", sweep_library, replay_library, 1},
#ifdef O3_BENCH_HAVE_BOOST
    {"C++ Boost exponential", sweep_boost_exponential, replay_boost_exponential, 0},
#endif
    {nullptr, nullptr, nullptr, 0}};
