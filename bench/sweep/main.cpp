// o3_sweep_bench: what each y draw costs in the heat-bath sweeps it is made
// for. Every variant sweeps a lattice of its own, all from one hot start;
// the repetitions are interleaved (A B C ... A B C ...) so that a change of
// the machine's load falls on all alike, and the medians of the thread's
// CPU time per spin update are compared within one run, as ratios to exact
// inversion in the same language. See docs/performance.md.
#include <time.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "draws.h"
#include "sampler/inspect.h"
#include "sampler/sampler.h"

namespace {

struct sweep_case {
  int dim;
  int L;
  double beta;
};

struct options {
  std::vector<std::string> tables;
  std::vector<sweep_case> cases;
  long repeats = 11;
  long updates = 1000000;  // per variant and repetition
  long thermalisation = 30;
  bool draws = false;
  std::uint64_t seed = 1;
};

const char usage[] =
    "usage: o3_sweep_bench [--table FILE]... [--case DIM:L:BETA]... [--repeats N]\n"
    "                      [--updates N] [--therm N] [--seed N] [--draws]\n"
    "\n"
    "ns of thread CPU time per spin update of heat-bath sweeps (sequential,\n"
    "checkerboard a site at a time, checkerboard with a plane's couplings drawn at\n"
    "once) for each y draw, medians of interleaved repetitions, with the ratio to\n"
    "exact inversion in the same language and the y's own cost: the time above\n"
    "that of a uniform y, which ignores h, as a share of inversion's. Each --table\n"
    "adds the library's tables engine on it, and the first also the default\n"
    "engine with the tables between 0.2 and 0.5. --draws adds ns per draw at fixed\n"
    "couplings, independent and chained. Default cases: 3D at beta 0.3, 0.693, 2\n"
    "with L 32 and 64, and the chain of 65536 spins at beta 0.5 and 5.\n";

bool parse(int argc, char** argv, options* o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--draws") {
      o->draws = true;
    } else if (a == "--table" && has_value) {
      o->tables.push_back(argv[++i]);
    } else if (a == "--case" && has_value) {
      sweep_case c{};
      if (std::sscanf(argv[++i], "%d:%d:%lf", &c.dim, &c.L, &c.beta) != 3 ||
          (c.dim != 1 && c.dim != 3) || c.L < 2 || c.L % 2 != 0 || !(c.beta > 0.0)) {
        return false;
      }
      o->cases.push_back(c);
    } else if (a == "--repeats" && has_value) {
      o->repeats = std::atol(argv[++i]);
    } else if (a == "--updates" && has_value) {
      o->updates = std::atol(argv[++i]);
    } else if (a == "--therm" && has_value) {
      o->thermalisation = std::atol(argv[++i]);
    } else if (a == "--seed" && has_value) {
      o->seed = std::strtoull(argv[++i], nullptr, 10);
    } else {
      return false;
    }
  }
  if (o->repeats < 1 || o->updates < 1 || o->thermalisation < 0) return false;
  if (o->cases.empty()) {
    o->cases = {{3, 32, 0.3},   {3, 32, 0.693}, {3, 32, 2.0},    {3, 64, 0.3},
                {3, 64, 0.693}, {3, 64, 2.0},   {1, 65536, 0.5}, {1, 65536, 5.0}};
  }
  return true;
}

double cpu_seconds() {
  timespec t;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}
double wall_seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

std::string load() {
  std::ifstream in("/proc/loadavg");
  std::string a, b, c;
  if (!(in >> a >> b >> c)) return "unknown";
  return a + " " + b + " " + c;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct table_closer {
  void operator()(o3_table* t) const { o3_close(t); }
};

// A y draw with everything it draws from: a method, its table and the C++
// sampler around it, and the stream of words (which a C++ stream holds).
struct variant {
  std::string label;
  const sweep_method* method;
  bool cpp;
  o3_table* table = nullptr;
  std::unique_ptr<o3::sampler::sampler> sampler;
  o3::sampler::stream stream{1};
  sweep_state state() { return {stream.state(), table, &stream, sampler.get()}; }
};

const sweep_method* find(const sweep_method* list, const char* name) {
  for (; list->name != nullptr; ++list) {
    if (std::strcmp(list->name, name) == 0) return list;
  }
  return nullptr;
}

class bench {
 public:
  explicit bench(const options& o) : o_(o) {}

  bool set_up() {
    const sweep_method* c_library = find(c_methods, "library");
    const sweep_method* cpp_library = find(cpp_methods, "C++ library");
    add("inversion", find(c_methods, "inversion"), false, nullptr);
    add("exponential, -log u", find(c_methods, "exponential, -log u"), false, nullptr);
    if (!add("library, default", c_library, false, open(nullptr, O3_ENGINE_DEFAULT))) return false;
    for (std::size_t k = 0; k < o_.tables.size(); ++k) {
      o3_table* t = open(o_.tables[k].c_str(), O3_ENGINE_TABLES);
      if (t == nullptr ||
          !add("library, tables [" + std::to_string(k + 1) + "]", c_library, false, t)) {
        return false;
      }
    }
    if (!o_.tables.empty()) {
      o3_table* t = open(o_.tables[0].c_str(), O3_ENGINE_DEFAULT);
      if (t == nullptr) return false;
      // The default engine with the tables between 0.2 and 0.5, where a
      // loop of draws at one coupling finds them fastest when each waits for
      // the one before: the sweep decides whether the default takes them.
      t->uniform_below = 0.2;
      t->exponential_from = 0.5;
      add("default, tables 0.2-0.5 [1]", c_library, false, t);
    }
    add("uniform y (floor)", find(c_methods, "uniform y (floor)"), false, nullptr);
    add("1 - u/h (not a draw)", find(c_methods, "1 - u/h (not a draw)"), false, nullptr);
    add("no draw", find(c_methods, "no draw"), false, nullptr);
    first_cpp_ = variants_.size();
    add("C++ inversion", find(cpp_methods, "C++ inversion"), true, nullptr);
    if (!add("C++ library, default", cpp_library, true, nullptr)) return false;
    if (const sweep_method* b = find(cpp_methods, "C++ Boost exponential")) {
      add("C++ Boost exponential", b, true, nullptr);
    } else {
      std::printf("Boost.Random not found: its exponential_distribution is not timed\n");
    }
    return true;
  }

  void run_sweeps() {
    static const char* const order_names[] = {"sequential", "checkerboard", "batched"};
    for (const sweep_case& c : o_.cases) {
      std::printf(
          "\n%s, L = %d, beta = %g: ns per spin update (ratio to inversion of the same "
          "language; y cost)\n",
          c.dim == 3 ? "3D" : "chain", c.L, c.beta);
      std::printf("%-30s", "y draw");
      for (const char* name : order_names) std::printf("  %-24s", name);
      std::printf("\n");
      std::vector<std::vector<double>> ns(variants_.size(), std::vector<double>(3));
      double ran = 0.0, wall = 0.0;
      for (int order = 0; order < 3; ++order) {
        const std::vector<double> m = time_order(c, static_cast<sweep_order>(order), &ran, &wall);
        for (std::size_t i = 0; i < variants_.size(); ++i) ns[i][order] = m[i];
      }
      const std::size_t floor = index_of("uniform y (floor)");
      for (std::size_t i = 0; i < variants_.size(); ++i) {
        const std::size_t reference = i < first_cpp_ ? 0 : first_cpp_;
        std::printf("%-30s", variants_[i].label.c_str());
        for (int order = 0; order < 3; ++order) {
          const double ref = ns[reference][order];
          std::printf("  %6.2f (%4.2f; %5.3f)     ", ns[i][order], ns[i][order] / ref,
                      (ns[i][order] - ns[floor][order]) / ref);
        }
        std::printf("\n");
      }
      std::printf("ran %.0f %% of the wall-clock time; load %s\n", 100.0 * ran / wall,
                  load().c_str());
      std::fflush(stdout);
    }
  }

  void run_draws() {
    static const double couplings[] = {0.05, 0.1, 0.15, 0.2, 0.25, 0.3, 0.4,
                                       0.5,  0.7, 1.0,  2.0, 4.0,  16.0};
    const std::size_t n = 4096;
    std::printf(
        "\nns per draw at a fixed coupling, %zu draws a repetition: independent "
        "draws, then chained (each coupling waiting for the y before)\n",
        n);
    for (int chained = 0; chained < 2; ++chained) {
      std::printf("\n%s\n%-30s", chained ? "chained" : "independent", "h");
      for (const double h : couplings) std::printf(" %6g", h);
      std::printf("\n");
      std::vector<std::vector<double>> ns(variants_.size());
      for (const double h : couplings) {
        const std::vector<double> hs(n, h);
        std::vector<std::vector<double>> t(variants_.size());
        for (long r = 0; r < o_.repeats; ++r) {
          for (std::size_t i = 0; i < variants_.size(); ++i) {
            sweep_state st = variants_[i].state();
            const double start = cpu_seconds();
            double sum = 0.0;
            for (int pass = 0; pass < 64; ++pass) {
              sum += variants_[i].method->replay(&st, hs.data(), n, chained);
            }
            t[i].push_back((cpu_seconds() - start) * 1e9 / (64.0 * static_cast<double>(n)));
            sink_ = sum;
          }
        }
        for (std::size_t i = 0; i < variants_.size(); ++i) ns[i].push_back(median(t[i]));
      }
      for (std::size_t i = 0; i < variants_.size(); ++i) {
        if (variants_[i].label == "no draw") continue;
        std::printf("%-30s", variants_[i].label.c_str());
        for (const double v : ns[i]) std::printf(" %6.2f", v);
        std::printf("\n");
      }
    }
  }

  ~bench() {
    for (variant& v : variants_) {
      if (!v.sampler) o3_close(v.table);
    }
  }

 private:
  static o3_table* open(const char* path, int engine) {
    o3_error e;
    o3_table* t = o3_open_engine(path, engine, &e);
    if (t == nullptr) std::fprintf(stderr, "o3_sweep_bench: %s\n", e.message);
    return t;
  }

  // A C draw from `table`, or the C++ face's from a sampler of its own
  // (the default engine) where the method draws from the library.
  bool add(const std::string& label, const sweep_method* method, bool cpp, o3_table* table) {
    if (method == nullptr) return false;
    variants_.emplace_back();
    variant& v = variants_.back();
    v.label = label;
    v.method = method;
    v.cpp = cpp;
    v.table = table;
    if (cpp && method->needs_table) {
      v.sampler = std::make_unique<o3::sampler::sampler>(o3::sampler::engine::automatic);
      v.table = o3::sampler::detail::c_table(*v.sampler);
    }
    return !method->needs_table || v.table != nullptr;
  }

  std::size_t index_of(const char* label) const {
    for (std::size_t i = 0; i < variants_.size(); ++i) {
      if (variants_[i].label == label) return i;
    }
    return 0;
  }

  // Medians of ns per update of every variant in one order; the lattices
  // are made and thermalised here, from one hot start each.
  std::vector<double> time_order(const sweep_case& c, sweep_order order, double* ran,
                                 double* wall) {
    const std::size_t n = variants_.size();
    std::vector<lattice> lat(n);
    const std::size_t plane = c.dim == 3 ? static_cast<std::size_t>(c.L) * c.L : c.L;
    std::vector<vec3> field(plane);
    std::vector<double> h(plane), y(plane);
    sweep_buffer buf{field.data(), h.data(), y.data()};
    for (std::size_t i = 0; i < n; ++i) {
      if (lattice_init(&lat[i], c.dim, c.L) != 0) {
        std::fprintf(stderr, "o3_sweep_bench: no memory for the lattices\n");
        std::exit(1);
      }
      variants_[i].stream = o3::sampler::stream(o_.seed + i);
      lattice_randomise(&lat[i], &variants_[i].stream.state()->rng);
      sweep_state st = variants_[i].state();
      for (long k = 0; k < o_.thermalisation; ++k)
        variants_[i].method->sweep(&lat[i], c.beta, order, &st, &buf);
    }
    const long sweeps = std::max(1L, o_.updates / static_cast<long>(lat[0].sites));
    std::vector<std::vector<double>> ns(n);
    for (long r = 0; r < o_.repeats; ++r) {
      for (std::size_t i = 0; i < n; ++i) {
        sweep_state st = variants_[i].state();
        const double w = wall_seconds(), start = cpu_seconds();
        for (long k = 0; k < sweeps; ++k)
          variants_[i].method->sweep(&lat[i], c.beta, order, &st, &buf);
        const double cpu = cpu_seconds() - start;
        *ran += cpu;
        *wall += wall_seconds() - w;
        ns[i].push_back(cpu * 1e9 /
                        (static_cast<double>(sweeps) * static_cast<double>(lat[i].sites)));
      }
    }
    std::vector<double> result;
    for (std::size_t i = 0; i < n; ++i) {
      result.push_back(median(ns[i]));
      lattice_free(&lat[i]);
    }
    return result;
  }

  const options& o_;
  std::vector<variant> variants_;
  std::size_t first_cpp_ = 0;
  volatile double sink_ = 0.0;
};

}  // namespace

int main(int argc, char** argv) {
  options o;
  if (argc > 1 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    std::printf("%s", usage);
    return 0;
  }
  if (!parse(argc, argv, &o)) {
    std::fprintf(stderr, "%s", usage);
    return 2;
  }
  std::printf("load before: %s; %ld repetitions of %ld updates, %ld sweeps of thermalisation\n",
              load().c_str(), o.repeats, o.updates, o.thermalisation);
  for (std::size_t k = 0; k < o.tables.size(); ++k) {
    std::printf("[%zu] %s\n", k + 1, o.tables[k].c_str());
  }
  bench b(o);
  if (!b.set_up()) return 1;
  b.run_sweeps();
  if (o.draws) b.run_draws();
  std::printf("\nload after: %s\n", load().c_str());
  return 0;
}
