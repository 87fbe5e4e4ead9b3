// The heat-bath simulation of the C program, written in C++ on the
// library: heat_bath_cpp [--lattice chain|cubic] [--L N] [--beta B]
// [--therm N] [--sweeps N] [--seed N] [--table FILE] [--order ORDER]
// [--start cold|hot] [--bins N], as heat_bath takes them; the y come from
// the tables. With --time it times its own draws (inversion, exponential
// rejection, the library's) beside the C program's, as heat_bath --time
// does.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "options.h"
#include "run.h"
#include "timing.h"

namespace {

void print(const char* name, const estimate& e) {
  std::printf("%-24s %.6f +- %.6f\n", name, e.mean, e.error);
}

// A y draw of the C++ program with its generator, as the timing drives it:
// the library's from `tables`, or inversion's or exponential rejection's
// without.
struct cpp_draw {
  std::optional<o3::sampler::sampler> tables;
  y_method method = Y_TABLES;
  o3::sampler::generator rng{1};
};

void seed(void* ctx, std::uint64_t s) {
  static_cast<cpp_draw*>(ctx)->rng = o3::sampler::generator(s);
}

void sweep_once(void* ctx, lattice* lat, double beta, sweep_order order) {
  auto* d = static_cast<cpp_draw*>(ctx);
  if (d->tables) {
    heat_bath::sweep_with_library(*lat, beta, order, *d->tables, d->rng);
  } else {
    heat_bath::sweep_without_tables(*lat, beta, order, d->method, d->rng);
  }
}

template <class Draw>
double replay_with(Draw draw, const double* h, std::size_t n, int chained) {
  double sum = 0.0, y = 0.0;
  if (chained) {
    for (std::size_t i = 0; i < n; ++i) y = draw(h[i] + 0.0 * y);
    return y;
  }
  for (std::size_t i = 0; i < n; ++i) sum += draw(h[i]);
  return sum;
}

// The method is chosen once, outside the loop, as it is in the sweep.
double replay(void* ctx, const double* h, std::size_t n, int chained) {
  auto* d = static_cast<cpp_draw*>(ctx);
  if (d->tables) {
    return replay_with([d](double x) { return d->tables->draw(x, d->rng); }, h, n, chained);
  }
  if (d->method == Y_INVERSION) {
    return replay_with([d](double x) { return y_by_inversion(x, uniform53(d->rng.state())); }, h,
                       n, chained);
  }
  return replay_with([d](double x) { return y_by_exponential(x, d->rng.state()); }, h, n,
                     chained);
}

timed_draw timed(cpp_draw& d, const char* label, int reference) {
  timed_draw t{};
  std::snprintf(t.label, sizeof t.label, "%s", label);
  t.reference = reference;
  t.seed = seed;
  t.sweep = sweep_once;
  t.replay = replay;
  t.ctx = &d;
  return t;
}

// The C program's timing with the C++ program's draws beside its own:
// inversion and exponential rejection, and the library's draw of every
// table, their ratios to the C++ inversion.
int time_draws(const options& opt) {
  std::vector<std::string> paths;
  for (int k = 0; k < opt.table_count; ++k) paths.emplace_back(opt.tables[k]);
  if (paths.empty()) paths.emplace_back("O3.res");
  std::vector<o3_table*> c_tables;
  std::vector<std::unique_ptr<cpp_draw>> draws;
  std::vector<timed_draw> extra;
  std::vector<const char*> names;
  int status = 0;
  try {
    for (const y_method method : {Y_INVERSION, Y_EXPONENTIAL}) {
      draws.push_back(std::make_unique<cpp_draw>());
      draws.back()->method = method;
      const std::string label = std::string("C++ ") + y_method_name(method);
      extra.push_back(timed(*draws.back(), label.c_str(), method == Y_INVERSION ? -1 : 0));
    }
    for (std::size_t k = 0; k < paths.size(); ++k) {
      o3_error error;
      o3_table* t = o3_open(paths[k].c_str(), &error);
      if (t == nullptr) throw std::runtime_error(error.message);
      c_tables.push_back(t);
      names.push_back(paths[k].c_str());
      draws.push_back(std::make_unique<cpp_draw>());
      draws.back()->tables.emplace(paths[k]);
      char label[32];
      std::snprintf(label, sizeof label, "library [%zu]", k + 1);
      extra.push_back(timed(*draws.back(), label, 0));
    }
    status = run_timing(&opt, c_tables.data(), names.data(), static_cast<int>(c_tables.size()),
                        extra.data(), static_cast<int>(extra.size()));
    if (status != 0) std::fprintf(stderr, "heat_bath_cpp: no memory for the timing\n");
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
  if (opt.method != Y_TABLES) {
    std::fprintf(stderr, "heat_bath_cpp: draws from the tables through the library; "
                         "--draw %s is for heat_bath (and for --time)\n",
                 y_method_name(opt.method));
    return 2;
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
