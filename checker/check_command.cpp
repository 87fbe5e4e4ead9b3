// "o3tables check": loads a table, runs the checks in turn and reports.
#include "checker/check_command.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <random>
#include <vector>

#include "checker/data_file.h"
#include "checker/losses.h"
#include "checker/options.h"
#include "checker/statistics.h"
#include "checker/svg.h"
#include "checker/text.h"
#include "common/arguments.h"
#include "common/directory.h"
#include "common/escape.h"
#include "common/exit_status.h"
#include "common/staged_file.h"
#include "sampler/sampler.h"

namespace o3 {
namespace {

using checker::options;

// The reader refuses a table at its first fault; what it accepted holds
// together and every box covers the density where the map sends a coupling.
void report_structure(const sampler::sampler& s) {
  const sampler::sampler::surplus least = s.least_surplus();
  std::printf(
      "structure: %d histograms of %d pieces, %d map entries, %d lookup "
      "line%s: ok\n",
      s.histogram_count(), s.pieces_per_histogram(), s.map_entry_count(), s.lookup_line_count(),
      s.lookup_line_count() == 1 ? "" : "s");
  std::printf(
      "envelope: every box of the %d histograms covers the density at the "
      "smallest coupling its histogram serves; least surplus %.3e (histogram "
      "%d, piece %d): ok\n",
      s.histogram_count(), least.value, least.histogram, least.piece);
}

// A warning, not a failure: the losses of histograms at large couplings
// can exceed the losses asked, as their records say.
void report_losses(const sampler::sampler& s) {
  const checker::losses_summary l = checker::summarize_losses(s);
  if (l.above == 0) {
    std::printf(
        "losses: every histogram at or below the %s %% asked; the largest %s %% "
        "(histogram %d), the mean %.3g %%\n",
        checker::exact(l.asked).c_str(), checker::exact(l.worst_loss).c_str(), l.worst, l.mean);
  } else {
    std::printf(
        "losses: warning: %d of %d histograms above the %s %% asked; the largest "
        "%s %% (histogram %d at H = %s), the mean %.3g %%\n",
        l.above, s.histogram_count(), checker::exact(l.asked).c_str(),
        checker::exact(l.worst_loss).c_str(), l.worst, checker::exact(s.coupling(l.worst)).c_str(),
        l.mean);
  }
}

const char* engine_name(int engine) {
  return engine == O3_ENGINE_TABLES        ? "tables"
         : engine == O3_ENGINE_EXPONENTIAL ? "exponential"
                                           : "default";
}

// The tables' statistics at the couplings of their range, or with --engine
// that engine's from 0 to 1e4.
std::vector<checker::coupling_result> statistics(const options& o, sampler::sampler& s) {
  std::optional<sampler::sampler> engine;
  if (o.engine) {
    const auto how = static_cast<sampler::engine>(*o.engine);
    if (how == sampler::engine::exponential) {
      engine.emplace(how);
    } else {
      engine.emplace(o.file, how);
    }
  }
  const auto results = engine ? checker::run_engine_statistics(*engine, o.seed, o.draws)
                              : checker::run_statistics(s, o.seed, o.draws);
  const double level = checker::family_level / (2.0 * static_cast<double>(results.size()));
  if (engine) {
    std::printf(
        "statistics of the %s engine, from 0 to 1e4; the acceptance where a draw is "
        "from the tables\n",
        engine_name(*o.engine));
  }
  std::printf(
      "statistics: seed %llu, %llu draws per coupling; chi-square on %zu "
      "equiprobable bins and acceptance z-test, each p-value held to %.2e "
      "(%g over %zu tests, Bonferroni)\n",
      static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(o.draws),
      checker::chi_square_bins, level, checker::family_level, 2 * results.size());
  std::printf("  %-20s %5s %10s %9s %10s %10s %9s\n", "coupling h", "hist", "chi2(99)", "p-value",
              "accepted", "expected", "p-value");
  std::size_t failed = 0;
  for (const checker::coupling_result& r : results) {
    const bool ok = checker::passes(r, results.size());
    failed += ok ? 0 : 1;
    if (std::isnan(r.expected_acceptance)) {
      std::printf("  %-20s %5s %10.2f %9.2e %10s %10s %9s  %s\n", checker::exact(r.h).c_str(), "-",
                  r.chi2, r.chi2_p, "-", "-", "-", ok ? "ok" : "FAILED");
    } else {
      std::printf("  %-20s %5d %10.2f %9.2e %10.6f %10.6f %9.2e  %s\n", checker::exact(r.h).c_str(),
                  r.histogram, r.chi2, r.chi2_p, r.acceptance, r.expected_acceptance,
                  r.acceptance_p, ok ? "ok" : "FAILED");
    }
  }
  std::printf("statistics: %zu couplings, %zu failed: %s\n", results.size(), failed,
              failed == 0 ? "ok" : "FAILED");
  return results;
}

bool all_pass(const std::vector<checker::coupling_result>& results) {
  return std::all_of(results.begin(), results.end(), [&](const checker::coupling_result& r) {
    return checker::passes(r, results.size());
  });
}

// Writes an output beside its name and renames it over it when complete;
// says on stderr why when that fails.
bool write_output(const char* what, const std::string& path,
                  const std::function<void(std::FILE*)>& body) {
  staged_file out;
  int error = out.open(path);
  if (error == 0) {
    body(out.stream());
    error = out.commit();
  }
  if (error != 0) {
    std::fprintf(stderr, "o3tables check: cannot write the %s '%s': %s\n", what,
                 escape_bytes(path).c_str(), staged_error_text(error));
  }
  return error == 0;
}

bool data(const options& o, const sampler::sampler& s,
          const std::vector<checker::coupling_result>& results) {
  if (!write_output("data file", o.data,
                    [&](std::FILE* out) { checker::write_data(out, s, results); })) {
    return false;
  }
  std::printf("data: %s, %d histograms and %zu test couplings\n", escape_bytes(o.data).c_str(),
              s.histogram_count(), results.size());
  return true;
}

bool picture(const options& o, sampler::sampler& s, double h) {
  std::mt19937_64 rng(o.seed);
  std::vector<double> drawn;
  try {
    drawn.resize(o.draws);
  } catch (const std::bad_alloc&) {
    std::fprintf(stderr, "o3tables check: no memory to keep the picture's %llu draws\n",
                 static_cast<unsigned long long>(o.draws));
    return false;
  }
  for (double& y : drawn) y = s.draw(h, rng);
  if (!write_output("picture", o.svg, [&](std::FILE* out) {
        checker::write_svg(out, s, h, s.histogram_of(h), drawn);
      })) {
    return false;
  }
  std::printf("picture: %s at h = %s (histogram %d)\n", escape_bytes(o.svg).c_str(),
              checker::exact(h).c_str(), s.histogram_of(h));
  return true;
}

// Whether two paths name one file: the same file when both exist (through
// links too), or the same path once made absolute.
bool same_file(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code e1, e2;
  if (fs::equivalent(a, b, e1)) return true;
  return fs::weakly_canonical(a, e1) == fs::weakly_canonical(b, e2) && !e1 && !e2;
}

// An output may replace neither the table nor the other output: empty, or
// the refusal of the one that would.
std::string outputs_apart(const options& o) {
  const char* option = nullptr;
  const char* why = "would replace the table checked";
  if (!o.svg.empty() && same_file(o.svg, o.file)) {
    option = "--svg";
  } else if (!o.data.empty() && same_file(o.data, o.file)) {
    option = "--data";
  } else if (!o.data.empty() && !o.svg.empty() &&
             // written, not replaced: both may be /dev/null
             !written_directly(o.data) && same_file(o.data, o.svg)) {
    option = "--data";
    why = "would replace the picture";
  }
  if (option == nullptr) return "";
  return refusal(option, option[2] == 's' ? o.svg : o.data, why);
}

}  // namespace

int run_check(int argc, char** argv) {
  const options o = checker::parse_options(argc, argv);
  if (!o.error.empty()) return usage_error("check", o.error, check_usage);
  if (o.help) {
    std::printf("usage: %s\n", check_usage);
    checker::print_options();
    return exit_ok;
  }
  if (!o.directory.empty()) {
    if (const std::string error = enter_directory(o.directory); !error.empty()) {
      return usage_error("check", error, check_usage);
    }
  }
  if (const std::string error = outputs_apart(o); !error.empty()) {
    return usage_error("check", error, check_usage);
  }
  const std::string file = escape_bytes(o.file);
  std::optional<sampler::sampler> opened;
  try {
    opened.emplace(o.file, sampler::engine::tables);
  } catch (const sampler::table_error& e) {
    if (e.status() != O3_REFUSED) {
      complain("check", e.what());
      return exit_failed;
    }
    std::printf("o3tables check %s: refused\n%s\n%s: FAILED\n", file.c_str(), e.what(),
                file.c_str());
    return exit_failed;
  }
  sampler::sampler& s = *opened;
  const double at = o.at.value_or(0.5 * (s.H0() + s.H_max()));
  if (!(at >= s.H0() && at < s.H_max())) {
    return usage_error("check",
                       refusal("--at", checker::exact(at),
                               "outside [" + checker::exact(s.H0()) + ", " +
                                   checker::exact(s.H_max()) + ") of " + file),
                       check_usage);
  }
  std::printf("o3tables check %s: H0 = %s, H_max = %s, losses %s %%\n", file.c_str(),
              checker::exact(s.H0()).c_str(), checker::exact(s.H_max()).c_str(),
              checker::exact(s.losses()).c_str());
  report_structure(s);
  report_losses(s);
  const std::vector<checker::coupling_result> results = statistics(o, s);
  const bool ok = all_pass(results);
  // An output that cannot be written says so itself; the verdict on the
  // table stands.
  bool written = o.svg.empty() || picture(o, s, at);
  written = (o.data.empty() || data(o, s, results)) && written;
  std::printf("%s: %s\n", file.c_str(), ok ? "passes every check" : "FAILED");
  return !ok ? exit_failed : written ? exit_ok : exit_output_not_written;
}

}  // namespace o3
