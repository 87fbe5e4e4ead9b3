// The sampler's files as "o3tables emit" writes them: built by the
// machine's C and Fortran compilers with warnings as errors, drawing from
// two tables bit for bit what the C++ library draws from the same words,
// refusing a damaged table with the reader's message; and the command's
// statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sampler/inspect.h"
#include "sampler/sampler.h"
#include "tests/made_tables.h"
#include "tests/tool_runner.h"

namespace o3test {

using o3::sampler::detail::c_table;
namespace {

using result = command_result;

// "o3tables emit ARGS": its status, and its output and errors together.
result emit(const std::vector<std::string>& args) {
  tool_run t;
  std::vector<std::string> line = {"emit"};
  line.insert(line.end(), args.begin(), args.end());
  t.run("", line);
  return {t.status, t.out + t.err};
}

const std::string drivers = O3_SOURCE_DIR "/tests/emit_drivers/";

bool have_compilers() { return O3_CC[0] != '\0' && O3_GFORTRAN[0] != '\0'; }

// The emitted files, and the two drivers built on them.
class Emitted : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = scratch_path("emitted");
    emitted_ = emit({"--out", dir_});
    if (!have_compilers()) return;
    const std::string c = std::string(O3_CC) +
                          " -std=c99 -O2 -Wall -Wextra -Wpedantic -Werror "
                          "-ffp-contract=off -I" +
                          dir_;
    built_c_ = run_command(c + " " + drivers + "draws.c " + dir_ + "/o3_sampler.c -lm -o " + dir_ +
                           "/c_draws");
    built_fortran_ = run_command(c + " -c " + dir_ + "/o3_sampler.c -o " + dir_ + "/sampler.o && " +
                                 O3_GFORTRAN + " -std=f2008 -O2 -Wall -Werror -J" + dir_ + " " +
                                 dir_ + "/o3_sampler.f90 " + drivers + "draws.f90 " + dir_ +
                                 "/sampler.o -o " + dir_ + "/fortran_draws");
  }
  void SetUp() override {
    ASSERT_EQ(emitted_.status, 0) << emitted_.out;
    if (!have_compilers()) GTEST_SKIP() << "cc or gfortran not found";
    ASSERT_EQ(built_c_.status, 0) << built_c_.out;
    ASSERT_EQ(built_fortran_.status, 0) << built_fortran_.out;
  }
  static inline std::string dir_;
  static inline result emitted_, built_c_, built_fortran_;
};

std::string hex(double y) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &y, sizeof bits);
  char text[20];
  std::snprintf(text, sizeof text, "%016llX\n", static_cast<unsigned long long>(bits));
  return text;
}

double xorshift_uniform(void* state) {
  std::uint64_t& x = *static_cast<std::uint64_t*>(state);
  x ^= x << 13;
  x ^= x >> 7;
  x ^= x << 17;
  return static_cast<double>(x >> 11) * 0x1p-53;
}

// What the drivers print, from the C++ library: the built-in generator's
// words through the library's own draw, then a xorshift64 uniform's, then
// a stream per table drawing all the couplings at once.
std::string library_draws(o3::sampler::engine how, const std::string& a, const std::string& b,
                          std::uint64_t seed, int n, const std::vector<double>& hs) {
  using o3::sampler::sampler;
  const bool tables = how != o3::sampler::engine::exponential;
  sampler table[2] = {tables ? sampler(a, how) : sampler(how),
                      tables ? sampler(b, how) : sampler(how)};
  o3::sampler::generator rng(seed);
  std::uint64_t state = 88172645463325252u;
  std::string out;
  for (int pass = 0; pass < 2; ++pass) {
    for (const double h : hs) {
      for (auto& t : table) {
        for (int i = 0; i < n; ++i) {
          out += hex(pass == 0 ? t.draw(h, rng)
                               : o3_draw_uniform(c_table(t), h, xorshift_uniform, &state));
        }
      }
    }
  }
  std::vector<o3::sampler::stream> streams;
  for (std::uint64_t t = 0; t < 2; ++t) {
    streams.emplace_back(seed, 7, t);
    for (int i = 0; i < n; ++i) {
      std::vector<double> y(hs.size());
      table[t].draw_many(hs, y, streams[t]);
      for (const double v : y) out += hex(v);
    }
  }
  return out + "outside " + std::to_string(table[0].outside_count()) + " " +
         std::to_string(table[1].outside_count()) + " streams " +
         std::to_string(streams[0].outside_count()) + " " +
         std::to_string(streams[1].outside_count()) + "\n";
}

// The number of the first line where two texts differ.
long first_difference(const std::string& a, const std::string& b) {
  const auto [at, unused] = std::mismatch(a.begin(), a.end(), b.begin(), b.end());
  return std::count(a.begin(), at, '\n') + 1;
}

TEST_F(Emitted, CAndFortranDrawFromTwoTablesAsTheLibraryBitForBit) {
  // Tables of different ranges; couplings inside both, inside one, outside
  // both, negative, and on each side of the engines' thresholds.
  const std::string& a = made_table("0 20 10");
  const std::string& b = made_table("2 150 20");
  const std::vector<double> hs{0.5, 3.0, 19.99, 1.0, 25.0, 149.0, 200.0, -3.0, 0.3, 0.01};
  const std::string couplings = " 42 300 0.5 3 19.99 1 25 149 200 -3 0.3 0.01";
  using o3::sampler::engine;
  const struct {
    engine how;
    const char* counts;
  } cases[] = {
      // Outside A: 25, 149, 200; outside B: 0.5, 1, 200, 0.3, 0.01; each 300
      // times a pass, two passes and the streams' one.
      {engine::tables, "outside 1800 3000 streams 900 1500\n"},
      // No coupling is drawn from the tables.
      {engine::automatic, "outside 0 0 streams 0 0\n"},
      {engine::exponential, "outside 0 0 streams 0 0\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.how));
    const std::string expected = library_draws(c.how, a, b, 42, 300, hs);
    EXPECT_NE(expected.find(c.counts), std::string::npos)
        << expected.substr(expected.rfind("outside"));
    for (const char* driver : {"/c_draws ", "/fortran_draws "}) {
      SCOPED_TRACE(driver);
      const result r = run_command(dir_ + driver + std::to_string(static_cast<int>(c.how)) + " " +
                                   a + " " + b + couplings);
      EXPECT_EQ(r.status, 0);
      EXPECT_TRUE(r.out == expected)
          << "first differing line: " << first_difference(r.out, expected);
    }
  }
}

TEST_F(Emitted, CAndFortranRefuseADamagedTableNamingTheLine) {
  const std::string good = read_text(made_table("0 20 10"));
  const std::string bad = scratch_path("bad.res");
  write_text(bad, with_line(good, 36, "10 12"));
  for (const char* driver : {"/c_draws ", "/fortran_draws "}) {
    SCOPED_TRACE(driver);
    const result r = run_command(dir_ + driver + "0 " + bad + " " + bad + " 1 1 1");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.out.find("refused 2: " + bad + ": line 36: map entry 10 -> histogram 12"),
              std::string::npos)
        << r.out;
  }
}

TEST(EmitCommand, WritesTheFilesAndChecksANamedTable) {
  const std::string dir = scratch_path("emit_command");
  const std::string good = made_table("0 20 10");
  const std::string bad = scratch_path("emit_bad.res");
  write_text(bad, with_line(read_text(good), 36, "10 12"));
  const struct {
    const char* name;
    std::vector<std::string> args;
    int status;
    std::string said;
    std::vector<const char*> written;  // into the last --out
  } cases[] = {
      {"C only",
       {"--lang", "c", "--out", dir + "/c"},
       0,
       "wrote " + dir + "/c/o3_sampler.c",
       {"o3_sampler.h", "o3_sampler.c"}},
      {"with a sound table",
       {"--out", dir + "/all", good},
       0,
       ": a sound table, 77 histograms",
       {"o3_sampler.h", "o3_sampler.c", "o3_sampler.f90"}},
      {"a damaged table", {"--out", dir + "/bad", bad}, 1, bad + ": line 36: map entry", {}},
      {"no such table",
       {"--out", dir + "/none", dir + "/none.res"},
       1,
       "none.res: No such file or directory",
       {}},
      {"unknown language", {"--lang", "pascal"}, 2, "usage: o3tables emit", {}},
      {"unknown option", {"--bogus"}, 2, "usage: o3tables emit", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const result r = emit(c.args);
    EXPECT_EQ(r.status, c.status) << r.out;
    EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
    for (const char* name : c.written) {
      const auto out = std::find(c.args.begin(), c.args.end(), "--out") + 1;
      const std::string text = read_text(*out + "/" + name);
      const bool fortran = std::string(name).ends_with(".f90");
      EXPECT_EQ(text.rfind(fortran ? "! Written by o3tables " : "/* Written by o3tables ", 0), 0u)
          << name;
    }
  }
  EXPECT_EQ(read_text(dir + "/c/o3_sampler.f90"), "");
  EXPECT_EQ(read_text(dir + "/bad/o3_sampler.c"), "");
}

}  // namespace
}  // namespace o3test
