// The heat-bath simulation of the C program, written in C++ on the
// library: heat_bath_cpp [--lattice chain|cubic] [--L N] [--beta B]
// [--therm N] [--sweeps N] [--seed N] [--table FILE] [--order ORDER]
// [--start cold|hot] [--bins N], as heat_bath takes them; the y come from
// the tables. With --time it times the library's draws beside the C
// program's, as heat_bath --time does.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>

#include <memory>
#include <vector>

#include "options.h"
#include "run.h"
#include "timing.h"

namespace {

void print(const char* name, const estimate& e) {
  std::printf("%-24s %.6f +- %.6f\n", name, e.mean, e.error);
}

// A table of the library with its generator, as the timing drives it.
struct library_draw {
  o3::sampler::sampler tables;
  o3::sampler::generator rng{1};
};

void seed(void* ctx, std::uint64_t s) { static_cast<library_draw*>(ctx)->rng = o3::sampler::generator(s); }

void sweep_once(void* ctx, lattice* lat, double beta, sweep_order order) {
  auto* d = static_cast<library_draw*>(ctx);
  heat_bath::sweep_with_library(*lat, beta, order, d->tables, d->rng);
}

double replay(void* ctx, const double* h, std::size_t n, int chained) {
  auto* d = static_cast<library_draw*>(ctx);
  double sum = 0.0, y = 0.0;
  if (chained) {
    for (std::size_t i = 0; i < n; ++i) y = d->tables.draw(h[i] + 0.0 * y, d->rng);
    return y;
  }
  for (std::size_t i = 0; i < n; ++i) sum += d->tables.draw(h[i], d->rng);
  return sum;
}

// The C program's timing with the library's draw of every table beside
// its own.
int time_draws(const options& opt) {
  std::vector<std::string> paths;
  for (int k = 0; k < opt.table_count; ++k) paths.emplace_back(opt.tables[k]);
  if (paths.empty()) paths.emplace_back("O3.res");
  std::vector<o3_table*> c_tables;
  std::vector<std::unique_ptr<library_draw>> library;
  std::vector<timed_draw> extra;
  std::vector<const char*> names;
  int status = 0;
  try {
    for (std::size_t k = 0; k < paths.size(); ++k) {
      o3_error error;
      o3_table* t = o3_open(paths[k].c_str(), &error);
      if (t == nullptr) throw std::runtime_error(error.message);
      c_tables.push_back(t);
      names.push_back(paths[k].c_str());
      library.push_back(std::make_unique<library_draw>(library_draw{o3::sampler::sampler(paths[k]), o3::sampler::generator(1)}));
      timed_draw d{};
      std::snprintf(d.label, sizeof d.label, "library [%zu]", k + 1);
      d.seed = seed;
      d.sweep = sweep_once;
      d.replay = replay;
      d.ctx = library.back().get();
      extra.push_back(d);
    }
    status = run_timing(&opt, c_tables.data(), names.data(), static_cast<int>(c_tables.size()),
                        extra.data(), static_cast<int>(extra.size()));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "heat_bath_cpp: %s\n", e.what());
    status = 1;
  }
  for (o3_table* t : c_tables) o3_close(t);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  options opt{};
  char message[256];
  if (parse_options(argc, argv, &opt, message, sizeof message) != 0) {
    std::fprintf(stderr, "heat_bath_cpp: %s\n", message);
    return 2;
  }
  if (opt.help) {
    std::printf("%s", heat_bath_usage);
    return 0;
  }
  if (opt.time_mode) return time_draws(opt);
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
