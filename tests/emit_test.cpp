// The generated C and FORTRAN samplers: compiled with warnings as errors,
// their draws bit for bit those of the library for one stream of uniforms,
// the chi-square test of check on their draws, and refusal of other files.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "checker/statistics.h"
#include "sampler/sampler.h"
#include "sampler/uniform_words.h"

namespace {

namespace fs = std::filesystem;

struct result {
  int status;
  std::string out;  // standard output and error
};

result run(const std::string& command) {
  result r{-1, ""};
  std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[65536];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) r.out.append(buffer, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

// A table from the tool, the samplers emitted for it and the two drivers
// built on them, in a directory of its own removed at the end.
class built_table {
 public:
  explicit built_table(const char* answers) {
    char dir[] = "/tmp/o3emit.XXXXXX";
    if (mkdtemp(dir) != nullptr) dir_ = dir;
    const result made = run("cd " + dir_ + " && printf '" + answers + "' | " +
                            O3TABLES_PATH + " >/dev/null && " + O3TABLES_PATH +
                            " emit >/dev/null");
    EXPECT_EQ(made.status, 0) << made.out;
    const std::string drivers = std::string(O3_SOURCE_DIR) + "/tests/emit_drivers/";
    c_ = run(std::string(O3_CC) + " -std=c99 -O2 -Wall -Wextra -Wpedantic -Werror "
             "-ffp-contract=off -I" + dir_ + " " + drivers + "draws.c " + dir_ +
             "/o3_sampler.c -lm -o " + dir_ + "/c_draws");
    fortran_ = run(std::string(O3_GFORTRAN) + " -std=f2008 -O2 -Wall -Werror "
                   "-ffp-contract=off -J" + dir_ + " " + dir_ + "/o3_sampler.f90 " +
                   drivers + "draws.f90 -o " + dir_ + "/fortran_draws");
  }
  ~built_table() { fs::remove_all(dir_); }
  std::string path(const char* name) const { return dir_ + "/" + name; }
  // The drivers compiled without a warning.
  void expect_built() const {
    EXPECT_EQ(c_.status, 0) << c_.out;
    EXPECT_EQ(fortran_.status, 0) << fortran_.out;
  }

 private:
  std::string dir_;
  result c_, fortran_;
};

bool have_compilers() { return O3_CC[0] != '\0' && O3_GFORTRAN[0] != '\0'; }

const char* const drivers[] = {"c_draws", "fortran_draws"};

// The drivers' stream: xorshift64 (13, 7, 17) from a fixed seed, its top 53
// bits as a uniform.
struct xorshift_uniform {
  std::uint64_t x = 88172645463325252u;
  double operator()() {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    return static_cast<double>(x >> 11) * 0x1.0p-53;
  }
};

// n draws of the library at each coupling in turn, printed as the drivers
// print them.
std::string library_draws(const std::string& file, int n, const std::vector<double>& hs) {
  const o3::sampler::sampler s(o3::sampler::load_table(file));
  o3::sampler::uniform_words<xorshift_uniform> words{xorshift_uniform{}};
  std::string out;
  char line[32];
  for (const double h : hs) {
    for (int i = 0; i < n; ++i) {
      const double y = s.draw(h, words);
      std::uint64_t bits = 0;
      std::memcpy(&bits, &y, sizeof bits);
      std::snprintf(line, sizeof line, "%016llX\n", static_cast<unsigned long long>(bits));
      out += line;
    }
  }
  return out;
}

std::string arguments(int n, const std::vector<double>& hs) {
  std::string text = " " + std::to_string(n);
  char h[40];
  for (const double v : hs) {
    std::snprintf(h, sizeof h, " %.17g", v);
    text += h;
  }
  return text;
}

// The first line where two outputs differ, or "" when they are equal.
std::string first_difference(const std::string& a, const std::string& b) {
  std::istringstream x(a), y(b);
  std::string p, q;
  for (int line = 1;; ++line) {
    const bool more_x = static_cast<bool>(std::getline(x, p));
    const bool more_y = static_cast<bool>(std::getline(y, q));
    if (!more_x && !more_y) return "";
    if (more_x != more_y || p != q) {
      return "line " + std::to_string(line) + ": " + p + " vs " + q;
    }
  }
}

TEST(EmittedSamplers, DrawAsTheLibraryBitForBit) {
  if (!have_compilers()) GTEST_SKIP() << "cc or gfortran not found";
  struct row {
    const char* what;
    const char* answers;
    std::vector<double> couplings;
  };
  // Each range's ends, the doubles around its lookup bounds and cells, and
  // couplings in between; 1 % losses give 600 pieces, 20 % give 38.
  const row rows[] = {
      {"H 0..20, 10 %: one lookup line", "0\\n20\\n10\\n1\\n",
       {0.0, 0.19999999999999998, 0.2, 3.3, 19.999999999999996}},
      {"H 0.3..250, 20 %: two lookup lines", "0.3\\n250\\n20\\n1\\n",
       {0.3, 7.77, 99.999999999999986, 100.0, 180.5, 249.99999999999997}},
      {"H 1..6, 1 %: 600 pieces", "1\\n6\\n1\\n1\\n", {1.0, 2.5, 5.9999999999999991}},
  };
  const int n = 20000;
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    const built_table t(r.answers);
    t.expect_built();
    const std::string expected = library_draws(t.path("O3.res"), n, r.couplings);
    for (const char* driver : drivers) {
      SCOPED_TRACE(driver);
      const result got = run(t.path(driver) + " " + t.path("O3.res") + arguments(n, r.couplings));
      ASSERT_EQ(got.status, 0) << got.out;
      EXPECT_EQ(first_difference(got.out, expected), "");
    }
  }
}

TEST(EmittedSamplers, PassTheChiSquareTestOfCheck) {
  if (!have_compilers()) GTEST_SKIP() << "cc or gfortran not found";
  const built_table t("0\\n20\\n10\\n1\\n");
  t.expect_built();
  const std::vector<double> hs = {0.0, 0.7, 4.1, 19.9};
  const int n = 200000;
  // Each test held to check's family level shared by all of them.
  const double level = o3::checker::family_level / (2.0 * static_cast<double>(hs.size()));
  for (const char* driver : drivers) {
    SCOPED_TRACE(driver);
    const result got = run(t.path(driver) + " " + t.path("O3.res") + arguments(n, hs));
    ASSERT_EQ(got.status, 0) << got.out;
    std::istringstream lines(got.out);
    for (const double h : hs) {
      SCOPED_TRACE(h);
      const o3::checker::exact_law law(h);
      std::vector<std::uint64_t> counts(o3::checker::chi_square_bins);
      std::string line;
      for (int i = 0; i < n && std::getline(lines, line); ++i) {
        const std::uint64_t bits = std::stoull(line, nullptr, 16);
        double y = 0.0;
        std::memcpy(&y, &bits, sizeof y);
        ++counts[law.bin(y, counts.size())];
      }
      const double chi2 = o3::checker::chi_square(counts);
      EXPECT_GE(o3::checker::chi_square_tail(chi2, static_cast<int>(counts.size()) - 1), level)
          << "chi2 " << chi2;
    }
  }
}

TEST(EmittedSamplers, RefuseAnotherOrDamagedFile) {
  if (!have_compilers()) GTEST_SKIP() << "cc or gfortran not found";
  const built_table t("0\\n20\\n10\\n1\\n");
  const built_table other("0\\n20\\n20\\n1\\n");
  t.expect_built();
  // One digit of a partition point in the middle of the file changed.
  std::ifstream in(t.path("O3.res"));
  std::stringstream text;
  text << in.rdbuf();
  std::string damaged = text.str();
  const std::size_t digit = damaged.find("e-01", damaged.size() / 2) - 1;
  damaged[digit] = damaged[digit] == '1' ? '2' : '1';
  std::ofstream(t.path("damaged.res")) << damaged;
  struct row {
    const char* what;
    std::string file;
    const char* message;
  };
  const row rows[] = {
      {"another table", other.path("O3.res"), "O3.res is not the file this sampler was made for"},
      {"a damaged copy", t.path("damaged.res"), "O3.res is not the file this sampler was made for"},
      {"a missing file", t.path("missing.res"), "missing.res: cannot be read"},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    for (const char* driver : drivers) {
      SCOPED_TRACE(driver);
      const result got = run(t.path(driver) + " " + r.file + " 1 1");
      EXPECT_NE(got.status, 0);
      EXPECT_NE(got.out.find(r.message), std::string::npos) << got.out;
    }
  }
}

TEST(EmitCommand, WritesTheChosenLanguagesAndRefusesBadArguments) {
  const built_table t("0\\n20\\n10\\n1\\n");
  const std::string tool = std::string(O3TABLES_PATH) + " emit ";
  struct row {
    const char* what;
    std::string arguments;
    int status;
    const char* output;  // a part of stdout and stderr
    std::vector<const char*> files;  // written to the directory "out"
  };
  const std::string file = t.path("O3.res");
  const std::string out = " --out " + t.path("out");
  const row rows[] = {
      {"all languages by default", out + " " + file, 0, "o3_sampler.f90",
       {"o3_sampler.h", "o3_sampler.c", "o3_sampler.f90"}},
      {"C only", "--lang c" + out + " " + file, 0, "o3_sampler.c", {"o3_sampler.h", "o3_sampler.c"}},
      {"FORTRAN only", "--lang fortran" + out + " " + file, 0, "o3_sampler.f90", {"o3_sampler.f90"}},
      {"unknown language", "--lang pascal" + out + " " + file, 2, "bad value 'pascal' for --lang", {}},
      {"--out without a value", file + " --out", 2, "--out needs a value", {}},
      {"two files", file + " " + file + out, 2, "unexpected argument", {}},
      {"a missing file", out + " " + t.path("missing.res"), 1, "missing.res: cannot open", {}},
  };
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    fs::remove_all(t.path("out"));
    const result got = run(tool + r.arguments);
    EXPECT_EQ(got.status, r.status);
    EXPECT_NE(got.out.find(r.output), std::string::npos) << got.out;
    std::size_t written = 0;
    if (fs::exists(t.path("out"))) {
      written = static_cast<std::size_t>(std::distance(fs::directory_iterator(t.path("out")), {}));
    }
    EXPECT_EQ(written, r.files.size());
    for (const char* name : r.files) {
      // The header line names the file, the tool and the table; a table of
      // H 0..20 at 10 % has 104 pieces.
      std::ifstream in(t.path("out") + "/" + name);
      std::string header;
      std::getline(in, header);
      EXPECT_NE(header.find(std::string(name) + ": generated by o3tables "), std::string::npos);
      EXPECT_NE(header.find(" for O3.res H0=0.000000 H_max=20.000000 losses=10.000000% "
                            "Nd_poi=104 fnv1a64="), std::string::npos) << header;
    }
  }
}

}  // namespace
