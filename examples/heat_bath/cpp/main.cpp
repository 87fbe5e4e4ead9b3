// The heat-bath simulation of the C program, written in C++ on the
// library: heat_bath_cpp [--lattice chain|cubic] [--L N] [--beta B]
// [--therm N] [--sweeps N] [--seed N] [--table FILE] [--order ORDER]
// [--start cold|hot] [--bins N], as heat_bath takes them; the y come from
// the tables.
#include <cmath>
#include <cstdio>
#include <string>

#include "options.h"
#include "run.h"

namespace {

void print(const char* name, const estimate& e) {
  std::printf("%-24s %.6f +- %.6f\n", name, e.mean, e.error);
}

}  // namespace

int main(int argc, char** argv) {
  options opt{};
  char message[256];
  if (parse_options(argc, argv, &opt, message, sizeof message) != 0 || opt.time_mode) {
    std::fprintf(stderr, "heat_bath_cpp: %s\n", opt.time_mode ? "no --time here" : message);
    return 2;
  }
  if (opt.help) {
    std::printf("%s", heat_bath_usage);
    return 0;
  }
  const std::string path = opt.table_count > 0 ? opt.tables[0] : "O3.res";
  try {
    o3::sampler::sampler tables(path);
    run_result r{};
    if (!heat_bath::run_with_library(opt.run, tables, &r)) {
      std::fprintf(stderr, "heat_bath_cpp: no memory for a lattice of side %d\n", opt.run.L);
      return 1;
    }
    std::printf("O(3) heat bath in C++: %s, L = %d, beta = %g, %s sweeps, y from %s\n",
                opt.run.dim == 1 ? "chain" : "cubic lattice", opt.run.L, opt.run.beta,
                sweep_order_name(opt.run.order), path.c_str());
    print("energy per bond", r.energy);
    print("|m|", r.m);
    print("<m^4>/<m^2>^2", r.binder);
    if (opt.run.dim == 1) {
      std::printf("%-24s %.6f\n", "infinite chain, exact", chain_energy_per_bond(opt.run.beta));
    }
    std::printf("draws outside the table's range: %llu of %llu\n",
                static_cast<unsigned long long>(r.outside),
                static_cast<unsigned long long>(r.updates));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "heat_bath_cpp: %s\n", e.what());
    return 1;
  }
  return 0;
}
