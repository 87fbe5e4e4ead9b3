// The heat-bath simulation of heat_bath in C++ on the library's C++ face,
// with the same options and the same results: see heat_bath_cpp --help.
#include <cstdio>
#include <optional>

#include "options.h"
#include "report.h"
#include "run.h"

int main(int argc, char** argv) {
  options opt{};
  char message[256];
  if (parse_options(argc, argv, &opt, message, sizeof message) != 0) {
    std::fprintf(stderr, "heat_bath_cpp: %s\nheat_bath_cpp --help lists the options\n", message);
    return 2;
  }
  if (opt.help) {
    print_usage(stdout, "heat_bath_cpp");
    return 0;
  }
  std::optional<o3::sampler::sampler> table;
  if (opt.method == Y_LIBRARY) {
    // Only the tables engine reads a file; the others draw without one.
    const auto engine = static_cast<o3::sampler::engine>(opt.engine);
    try {
      if (engine == o3::sampler::engine::tables) {
        table.emplace(opt.table, engine);
      } else {
        table.emplace(engine);
      }
    } catch (const o3::sampler::table_error& e) {
      std::fprintf(stderr, "heat_bath_cpp: %s\n", e.what());
      if (e.status() == O3_CANNOT_READ || e.status() == O3_REFUSED) report_table_advice(&opt);
      return 1;
    }
  }
  const double h0 = table ? table->H0() : 0.0, h_max = table ? table->H_max() : 0.0;
  report_header(&opt, h0, h_max);
  std::fflush(stdout);
  run_result r{};
  if (!heat_bath::run_with_library(opt.run, table ? &*table : nullptr, &r)) {
    std::fprintf(stderr, "heat_bath_cpp: no memory for a lattice of side %d\n", opt.run.L);
    return 1;
  }
  report_results(&opt, &r, h0, h_max, "thread", "threads");
  return 0;
}
