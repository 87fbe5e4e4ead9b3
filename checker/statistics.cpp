#include "checker/statistics.h"

#include "sampler/inspect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "checker/text.h"

namespace o3::checker {

using o3::sampler::detail::c_table;
using o3::sampler::detail::draw_counted;

exact_law::exact_law(double h) : h_(h), floor_(std::exp(-2.0 * h)), mass_(-std::expm1(-2.0 * h)) {}

double exact_law::cdf(double y) const {
  if (h_ == 0.0) return 0.5 * (y + 1.0);
  // The numerator exp(h (y - 1)) - exp(-2h) cancels when h (y + 1) is small;
  // as exp(-2h) expm1(h (y + 1)) it does not, but that overflows for large
  // h near y = 1, where the difference no longer cancels.
  const double t = h_ * (y + 1.0);
  const double numerator = t < 1.0 ? floor_ * std::expm1(t) : std::exp(h_ * (y - 1.0)) - floor_;
  return numerator / mass_;
}

std::size_t exact_law::bin(double y, std::size_t bins) const {
  const double at = std::clamp(cdf(y), 0.0, 1.0) * static_cast<double>(bins);
  return std::min(static_cast<std::size_t>(at), bins - 1);
}

double density_integral(double h) { return h == 0.0 ? 2.0 : -std::expm1(-2.0 * h) / h; }

double chi_square_tail(double x, int df) {
  const double k = df;
  const double spread = 2.0 / (9.0 * k);
  const double z = (std::cbrt(x / k) - (1.0 - spread)) / std::sqrt(spread);
  return 0.5 * std::erfc(z / std::sqrt(2.0));
}

double normal_two_sided(double z) { return std::erfc(std::fabs(z) / std::sqrt(2.0)); }

namespace {

double below(double v) { return std::nextafter(v, -std::numeric_limits<double>::infinity()); }

// Three significant digits, so that the spread couplings read well.
double rounded(double v) { return std::strtod(text("%.3g", v).c_str(), nullptr); }

}  // namespace

std::vector<double> test_couplings(const sampler::sampler& t, std::size_t count) {
  const double H0 = t.H0();
  const double H_max = t.H_max();
  std::vector<double> h{H0, below(H_max)};
  for (int k = 0; k + 1 < t.lookup_line_count(); ++k) {
    const double b = t.lookup_bound(k);
    if (below(b) < H0) continue;
    h.push_back(below(b));
    h.push_back(b);
  }
  const std::size_t spread = count > h.size() ? count - h.size() : 0;
  const double span = std::log1p(H_max - H0);
  for (std::size_t i = 1; i <= spread; ++i) {
    const double u = span * static_cast<double>(i) / static_cast<double>(spread + 1);
    const double v = rounded(H0 + std::expm1(u));
    if (v > H0 && v < H_max) h.push_back(v);
  }
  std::sort(h.begin(), h.end());
  h.erase(std::unique(h.begin(), h.end()), h.end());
  return h;
}

double chi_square(const std::vector<std::uint64_t>& counts) {
  double n = 0.0;
  for (const std::uint64_t c : counts) n += static_cast<double>(c);
  const double expected = n / static_cast<double>(counts.size());
  double chi2 = 0.0;
  for (const std::uint64_t c : counts) {
    const double d = static_cast<double>(c) - expected;
    chi2 += d * d / expected;
  }
  return chi2;
}

coupling_result evaluate(double h, int histogram, double expected_acceptance,
                         const std::vector<std::uint64_t>& counts, const tries& made) {
  coupling_result r{h, histogram, chi_square(counts), 0.0, 0.0, expected_acceptance, 0.0};
  r.chi2_p = chi_square_tail(r.chi2, static_cast<int>(counts.size()) - 1);
  if (std::isnan(expected_acceptance)) {
    r.acceptance = expected_acceptance;
    r.acceptance_p = 1.0;
    return r;
  }
  // With no tries counted the rate is NaN and the test fails, as it should.
  const double tried = static_cast<double>(made.tried);
  r.acceptance = static_cast<double>(made.accepted) / tried;
  const double p = expected_acceptance;
  r.acceptance_p = normal_two_sided((r.acceptance - p) / std::sqrt(p * (1.0 - p) / tried));
  return r;
}

bool passes(const coupling_result& r, std::size_t couplings) {
  const double level = family_level / (2.0 * static_cast<double>(couplings));
  return r.chi2_p >= level && r.acceptance_p >= level;
}

std::vector<coupling_result> run_statistics(sampler::sampler& s, std::uint64_t seed,
                                            std::uint64_t n) {
  std::mt19937_64 rng(seed);
  std::vector<coupling_result> results;
  // draw_counted is the draw of the library with its tries counted.
  const auto draw = [&s](double h, std::mt19937_64& g, std::uint64_t* tried) {
    return draw_counted(s, h, g, tried);
  };
  for (const double h : test_couplings(s, 20)) {
    const int g = s.histogram_of(h);
    const double expected = density_integral(h) / (s.pieces_per_histogram() * s.area(g));
    results.push_back(test_coupling(h, g, expected, n, rng, draw));
  }
  return results;
}

std::vector<double> engine_couplings(const sampler::sampler& s) {
  const double r = o3_tail_start;
  std::vector<double> h{0.0,
                        1e-6,
                        1e-4,
                        0.01,
                        0.05,
                        0.1,
                        0.15,
                        0.3,
                        0.5,
                        0.7,
                        1.5,
                        2.5,
                        6.0,
                        10.0,
                        30.0,
                        100.0,
                        1e3,
                        1e4,
                        below(O3_EXPONENTIAL_FROM),
                        O3_EXPONENTIAL_FROM,
                        below(r / 8.0),
                        r / 8.0,
                        below(r / 2.0),
                        r / 2.0};
  if (std::isfinite(s.H0())) {
    for (const double v : {s.H0(), below(s.H_max()), s.H_max()}) h.push_back(v);
  }
  std::sort(h.begin(), h.end());
  h.erase(std::unique(h.begin(), h.end()), h.end());
  return h;
}

std::vector<coupling_result> run_engine_statistics(sampler::sampler& s, std::uint64_t seed,
                                                   std::uint64_t n) {
  sampler::stream words(seed);
  std::vector<coupling_result> results;
  const auto draw = [&s](double h, sampler::stream& g, std::uint64_t* tried) {
    return draw_counted(s, h, g, tried);
  };
  for (const double h : engine_couplings(s)) {
    const bool tables = o3_from_tables(c_table(s), h);
    const int g = tables ? s.histogram_of(h) : -1;
    const double expected = tables ? density_integral(h) / (s.pieces_per_histogram() * s.area(g))
                                   : std::numeric_limits<double>::quiet_NaN();
    results.push_back(test_coupling(h, g, expected, n, words, draw));
  }
  return results;
}

}  // namespace o3::checker
