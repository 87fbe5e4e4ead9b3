// Cost of one histogram (partition search and corrections) and of a whole run.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "numeric/romberg.h"
#include "parameters/density.h"
#include "parameters/run_parameters.h"
#include "partition/finish.h"
#include "tests/tool_runner.h"

namespace {

// One histogram as the table writer computes it: H, then Nd_poi pieces.
void BM_histogram(benchmark::State& state) {
  o3::H = static_cast<double>(state.range(0)) / 10.0;
  const int Nd_poi = static_cast<int>(state.range(1));
  o3::use_histogram_accuracies();
  std::vector<double> x(static_cast<std::size_t>(Nd_poi) + 1);
  std::vector<double> f1(static_cast<std::size_t>(Nd_poi));
  const double m = o3::qromb(o3::g1, -1.0, 1.0) / Nd_poi;
  const std::uint64_t start = o3::g1_evaluations();
  bool narrowed = false;
  for (auto _ : state) {
    double a = 0.0;
    const o3::finished f = o3::finish_partition(m, x.data(), f1.data(), &a, Nd_poi);
    narrowed = f.narrowed;
    benchmark::DoNotOptimize(a);
  }
  state.counters["g1_per_histogram"] = benchmark::Counter(
      static_cast<double>(o3::g1_evaluations() - start) / static_cast<double>(state.iterations()));
  // 1 where the usual search could not be finished and the narrow end
  // searched again: the time is that of both searches.
  state.counters["narrowed"] = narrowed ? 1.0 : 0.0;
}
// H in tenths: 0.5, 5, 50, 500, 5000 and 10^4. From H = 500 with 38 or 104
// pieces (and from about 108 with 600) the pieces next to 1 are narrower
// than the usual strip beyond 1 where the search ends, and the histogram is
// searched a second time with the narrow end.
BENCHMARK(BM_histogram)
    ->ArgsProduct({{5, 50, 500, 5000, 50000, 100000}, {38, 104, 600}})
    ->ArgNames({"H_x10", "Nd_poi"})
    ->Unit(benchmark::kMillisecond);

// The whole tool, answers piped in: H0 = 0, H_max = 200, losses 10, run as
// the tests run it, in a temporary directory removed at the end.
void BM_whole_run(benchmark::State& state) {
  o3test::tool_run t;
  for (auto _ : state) {
    t.run("0\n200\n10\n1\n", {}, 3600);
    if (t.status != 0) {
      state.SkipWithError("the run failed");
      break;
    }
  }
}
// Wall time: the work is done by the child process.
BENCHMARK(BM_whole_run)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
