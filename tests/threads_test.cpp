// Draws from one table in several threads at once, each thread with a
// stream of its own, in C and C++, by the tables engine and the default
// one: under the thread sanitizer (the tsan preset) without a race, and
// everywhere each thread's draws and counts those of its stream drawn
// alone, the counts of draws outside the table adding up to the couplings
// outside it, the table's own counts untouched.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "sampler/sampler.h"
#include "tests/made_tables.h"

namespace o3test {
namespace {

constexpr int thread_count = 4;

// Couplings over [0, 8) in a scattered order: half of them outside a table
// of [0, 4), and some negative, drawn as the mirror of their size.
std::vector<double> couplings() {
  std::vector<double> h(10000);
  for (std::size_t i = 0; i < h.size(); ++i) {
    h[i] = 8.0 * static_cast<double>(i * 7919 % h.size()) / static_cast<double>(h.size());
    if (i % 5 == 0) h[i] = -h[i];
  }
  return h;
}

struct drawn {
  std::vector<double> y;
  std::uint64_t outside = 0, errors = 0;
};

// Thread k's draws: every coupling one at a time, then all at once, from
// the stream (seed 99, sweep 0, place k).
using drawing = std::function<drawn(const std::vector<double>&, int)>;

drawn draw_c(const o3_table* t, const std::vector<double>& h, int k) {
  o3_stream s;
  o3_stream_seed_at(&s, 99, 0, static_cast<std::uint64_t>(k));
  drawn d;
  d.y.resize(2 * h.size());
  for (std::size_t i = 0; i < h.size(); ++i) d.y[i] = o3_stream_draw(t, h[i], &s);
  o3_stream_draw_many(t, h.size(), h.data(), d.y.data() + h.size(), &s);
  d.outside = s.counts.outside;
  d.errors = s.counts.errors;
  return d;
}

drawn draw_cpp(const o3::sampler::sampler& t, const std::vector<double>& h, int k) {
  o3::sampler::stream s(99, 0, static_cast<std::uint64_t>(k));
  drawn d;
  d.y.resize(2 * h.size());
  for (std::size_t i = 0; i < h.size(); ++i) d.y[i] = t.draw(h[i], s);
  t.draw_many(h, std::span<double>(d.y).subspan(h.size()), s);
  d.outside = s.outside_count();
  d.errors = s.error_count();
  return d;
}

TEST(Threads, DrawFromOneTableEachWithItsOwnStream) {
  const std::string path = made_table("0 4 10");
  const std::vector<double> h = couplings();
  std::uint64_t beyond = 0;
  for (const double x : h) beyond += (x < 0 ? -x : x) >= 4.0;
  ASSERT_GT(beyond, 0u);
  for (const auto engine : {o3::sampler::engine::tables, o3::sampler::engine::automatic}) {
    const o3::sampler::sampler table(path, engine);
    o3_error error;
    const std::unique_ptr<o3_table, void (*)(o3_table*)> c_table(
        o3_open_engine(path.c_str(), static_cast<int>(engine), &error), o3_close);
    ASSERT_TRUE(c_table) << error.message;
    const struct {
      const char* language;
      drawing draw;
    } ways[] = {
        {"C", [&](const std::vector<double>& x, int k) { return draw_c(c_table.get(), x, k); }},
        {"C++", [&](const std::vector<double>& x, int k) { return draw_cpp(table, x, k); }}};
    for (const auto& way : ways) {
      SCOPED_TRACE(std::string(way.language) + (engine == o3::sampler::engine::tables
                                                    ? ", tables engine"
                                                    : ", default engine"));
      std::vector<drawn> alone, together(thread_count);
      for (int k = 0; k < thread_count; ++k) alone.push_back(way.draw(h, k));
      {
        std::vector<std::jthread> threads;
        for (int k = 0; k < thread_count; ++k) {
          threads.emplace_back([&, k] { together[static_cast<std::size_t>(k)] = way.draw(h, k); });
        }
      }
      std::uint64_t outside = 0;
      for (std::size_t k = 0; k < alone.size(); ++k) {
        ASSERT_EQ(together[k].y.size(), alone[k].y.size());
        EXPECT_EQ(std::memcmp(together[k].y.data(), alone[k].y.data(),
                              alone[k].y.size() * sizeof(double)),
                  0)
            << "thread " << k;
        EXPECT_EQ(together[k].outside, alone[k].outside) << "thread " << k;
        EXPECT_EQ(together[k].errors, 0u);
        outside += together[k].outside;
      }
      // Each thread draws each coupling twice.
      EXPECT_EQ(outside, engine == o3::sampler::engine::tables ? 2 * thread_count * beyond : 0u);
      EXPECT_EQ(table.outside_count() + o3_outside_count(c_table.get()), 0u)
          << "the streams count, not the table";
      EXPECT_EQ(table.error_count() + o3_error_count(c_table.get()), 0u);
    }
  }
}

}  // namespace
}  // namespace o3test
