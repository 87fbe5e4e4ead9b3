// "o3tables check": loads a table, runs the checks in turn and reports.
#include "checker/check_command.h"

#include <cstdio>
#include <random>
#include <vector>

#include "checker/envelope.h"
#include "checker/options.h"
#include "checker/statistics.h"
#include "checker/structure.h"
#include "checker/svg.h"
#include "checker/text.h"
#include "sampler/sampler.h"

namespace o3 {
namespace {

using checker::options;

// Enough to see what is wrong; a damaged map could give thousands.
constexpr std::size_t findings_shown = 20;

void print_findings(const options& o, const std::vector<checker::finding>& found) {
  for (std::size_t i = 0; i < found.size() && i < findings_shown; ++i) {
    const checker::finding& f = found[i];
    std::printf("%s: %s%s: %s\n", o.file.c_str(),
                f.line > 0 ? checker::text("line %d: ", f.line).c_str() : "",
                f.failure ? "FAILED" : "note", f.what.c_str());
  }
  if (found.size() > findings_shown) {
    std::printf("... and %zu more\n", found.size() - findings_shown);
  }
}

bool structure(const options& o, const sampler::table& t) {
  const std::vector<checker::finding> found = checker::check_structure(t);
  print_findings(o, found);
  const bool ok = !checker::any_failure(found);
  std::printf("structure: %zu histograms of %d pieces, %zu map entries, %zu lookup "
              "line%s: %s\n", t.histograms.size(), t.Nd_poi, t.map_j.size(),
              t.pieces.size(), t.pieces.size() == 1 ? "" : "s", ok ? "ok" : "FAILED");
  return ok;
}

bool envelope(const options& o, const sampler::table& t) {
  const checker::envelope_result e = checker::check_envelope(t);
  if (e.violation) {
    print_findings(o, {*e.violation});
    std::printf("envelope: FAILED\n");
  } else {
    std::printf("envelope: every box covers the density at the smallest coupling its "
                "histogram serves; least surplus %.3e (histogram %d, piece %d): ok\n",
                e.least_surplus, e.histogram, e.piece);
  }
  return !e.violation;
}

bool statistics(const options& o, const sampler::table& t, const sampler::sampler& s) {
  const auto results = checker::run_statistics(t, s, o.seed, o.draws);
  const double level = checker::family_level / (2.0 * static_cast<double>(results.size()));
  std::printf("statistics: seed %llu, %llu draws per coupling; chi-square on %zu "
              "equiprobable bins and acceptance z-test, each p-value held to %.2e "
              "(%g over %zu tests, Bonferroni)\n",
              static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(o.draws),
              checker::chi_square_bins, level, checker::family_level, 2 * results.size());
  std::printf("  %-20s %5s %10s %9s %10s %10s %9s\n", "coupling h", "hist", "chi2(99)",
              "p-value", "accepted", "expected", "p-value");
  std::size_t failed = 0;
  for (const checker::coupling_result& r : results) {
    const bool ok = checker::passes(r, results.size());
    failed += ok ? 0 : 1;
    std::printf("  %-20s %5d %10.2f %9.2e %10.6f %10.6f %9.2e  %s\n",
                checker::exact(r.h).c_str(), r.histogram, r.chi2, r.chi2_p,
                r.acceptance, r.expected_acceptance, r.acceptance_p, ok ? "ok" : "FAILED");
  }
  std::printf("statistics: %zu couplings, %zu failed: %s\n", results.size(), failed,
              failed == 0 ? "ok" : "FAILED");
  return failed == 0;
}

bool picture(const options& o, const sampler::table& t, const sampler::sampler& s, double h) {
  std::mt19937_64 rng(o.seed);
  std::vector<double> drawn(o.draws);
  for (double& y : drawn) y = s.draw(h, rng);
  std::FILE* out = std::fopen(o.svg.c_str(), "w");
  if (out == nullptr) {
    std::fprintf(stderr, "o3tables check: cannot write %s\n", o.svg.c_str());
    return false;
  }
  checker::write_svg(out, t, h, s.histogram_of(h), drawn);
  if (std::fclose(out) != 0) {
    std::fprintf(stderr, "o3tables check: cannot write %s\n", o.svg.c_str());
    return false;
  }
  std::printf("picture: %s at h = %s (histogram %d)\n", o.svg.c_str(),
              checker::exact(h).c_str(), s.histogram_of(h));
  return true;
}

// The statistics and the picture, from the library's sampler.
bool draws(const options& o, const sampler::table& t, double at) {
  try {
    const sampler::sampler s(t);
    const bool ok = statistics(o, t, s);
    return (o.svg.empty() || picture(o, t, s, at)) && ok;
  } catch (const sampler::table_error& e) {
    std::printf("%s: FAILED: %s\n", o.file.c_str(), e.what());
    return false;
  }
}

}  // namespace

int run_check(int argc, char** argv) {
  const std::optional<options> o = checker::parse_options(argc, argv);
  if (!o) {
    std::fprintf(stderr, "usage: %s\n", check_usage);
    return 2;
  }
  sampler::table t;
  try {
    t = sampler::load_table(o->file);
  } catch (const sampler::table_error& e) {
    std::fprintf(stderr, "%s: %s\n", o->file.c_str(), e.what());
    return 1;
  }
  const double at = o->at.value_or(0.5 * (t.H0 + t.H_max));
  if (!(at >= t.H0 && at < t.H_max)) {
    std::fprintf(stderr, "o3tables check: --at %s is outside [%s, %s) of %s\n",
                 checker::exact(at).c_str(), checker::exact(t.H0).c_str(),
                 checker::exact(t.H_max).c_str(), o->file.c_str());
    return 2;
  }
  std::printf("o3tables check %s: H0 = %s, H_max = %s, losses %s %%\n", o->file.c_str(),
              checker::exact(t.H0).c_str(), checker::exact(t.H_max).c_str(),
              checker::exact(t.losses).c_str());
  const bool sound = structure(*o, t);
  bool ok = envelope(*o, t) && sound;
  if (sound) {
    ok = draws(*o, t, at) && ok;
  } else {
    // Draws through a broken lookup or map would test nothing but the
    // breakage, which is reported already.
    std::printf("statistics: skipped, the structure is broken\n");
  }
  std::printf("%s: %s\n", o->file.c_str(), ok ? "passes every check" : "FAILED");
  return ok ? 0 : 1;
}

}  // namespace o3
