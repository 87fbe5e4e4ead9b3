// The built programs end to end, in temporary directories: every thread and
// process count and every language draws the same run, bit for bit; they
// say the same on -h, on refused options and when the table does not serve
// the simulation; and the MPI program's energy is the physics'.
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "simulation.h"

namespace {

namespace fs = std::filesystem;

const std::string tables = HEAT_BATH_TABLES;

std::string quoted(const std::string &s) { return "'" + s + "'"; }

// A directory of its own under the system's temporary one, removed with
// its files at the end.
class scratch {
 public:
  scratch() {
    std::string pattern = (fs::temp_directory_path() / "heat_bath_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no temporary directory");
    dir_ = pattern;
  }
  ~scratch() { fs::remove_all(dir_); }
  scratch(const scratch &) = delete;
  scratch &operator=(const scratch &) = delete;
  const fs::path &dir() const { return dir_; }

 private:
  fs::path dir_;
};

struct output {
  int status = -1;
  std::string out, err;
};

// Standard error without what mpiexec adds: its lines "mpiexec: ..." (on a
// signal it forwards) and, after a process ends with a status other than
// 0, lines between lines of dashes.
std::string ours(const std::string &err) {
  std::istringstream in(err.substr(0, err.find("-----------")));
  std::string kept;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("mpiexec: ", 0) != 0) kept += line + "\n";
  }
  return kept;
}

// `command` run by sh in `dir`, its standard output and error apart.
output run(const std::string &command, const fs::path &dir) {
  output r;
  const fs::path err = dir / ".stderr";
  std::FILE *pipe = popen(
      ("cd " + quoted(dir.string()) + " && " + command + " 2> " + quoted(err.string())).c_str(),
      "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    r.out.append(buffer, got);
  }
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(err);
  std::stringstream text;
  text << in.rdbuf();
  r.err = text.str();
  fs::remove(err);
  return r;
}

// The output without its last line, the time, which no two runs share.
std::string without_time(const std::string &out) {
  const auto at = out.rfind("time: ");
  return at == std::string::npos ? out : out.substr(0, at);
}

std::string replaced(std::string text, const std::string &what, const std::string &by) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + by.size())) {
    text.replace(at, what.size(), by);
  }
  return text;
}

// A way of running the simulation: its name, as it calls itself, and the
// command before its options; MPI's sweep in checkerboard order only.
struct program {
  std::string label, name, command;
  bool mpi = false;
};

std::string threads(int n) { return "env OMP_NUM_THREADS=" + std::to_string(n) + " "; }

// Open MPI runs as root only when told so (as CI does), and more processes
// than cores only when allowed, and then fast only when a process that
// waits for a message gives its core up; the sanitizers' leak check would
// report the memory it keeps past MPI_Finalize.
std::string mpiexec(int n) {
  return "env OMPI_ALLOW_RUN_AS_ROOT=1 OMPI_ALLOW_RUN_AS_ROOT_CONFIRM=1 "
         "OMPI_MCA_mpi_yield_when_idle=1 ASAN_OPTIONS=detect_leaks=0 " +
         quoted(HEAT_BATH_MPIEXEC) + " " HEAT_BATH_MPIEXEC_FLAGS " " + std::to_string(n) + " ";
}

std::vector<program> programs() {
  std::vector<program> p = {
      {"C, 1 thread", "heat_bath", threads(1) + quoted(HEAT_BATH_C)},
      {"C, 2 threads", "heat_bath", threads(2) + quoted(HEAT_BATH_C)},
      {"C++, 1 thread", "heat_bath_cpp", threads(1) + quoted(HEAT_BATH_CPP)},
      {"C++, 2 threads", "heat_bath_cpp", threads(2) + quoted(HEAT_BATH_CPP)}};
  if (std::string(HEAT_BATH_SERIAL) != "") {
    p.push_back({"C without OpenMP", "heat_bath", quoted(HEAT_BATH_SERIAL)});
  }
  if (std::string(HEAT_BATH_FORTRAN) != "") {
    p.push_back({"Fortran, 1 thread", "heat_bath_fortran", threads(1) + quoted(HEAT_BATH_FORTRAN)});
    p.push_back(
        {"Fortran, 2 threads", "heat_bath_fortran", threads(2) + quoted(HEAT_BATH_FORTRAN)});
  }
  if (std::string(HEAT_BATH_MPI) != "") {
    for (const int n : {1, 2, 3}) {
      p.push_back({"MPI, " + std::to_string(n) + (n == 1 ? " process" : " processes"),
                   "heat_bath_mpi", mpiexec(n) + quoted(HEAT_BATH_MPI), true});
    }
  }
  return p;
}

// One of each program, for what the count of threads or processes leaves
// alone: MPI's on two processes, of which only the first speaks.
std::vector<program> one_of_each() {
  std::vector<program> each;
  for (const program &p : programs()) {
    if (p.label.find(", 1 thread") != std::string::npos || p.label == "MPI, 2 processes") {
      each.push_back(p);
    }
  }
  return each;
}

// Every program, thread and process count against heat_bath on one thread:
// its whole output but the time, so every estimate, the fingerprint of the
// last configuration, the counts and the advice. Three processes cut L = 8
// into slabs of 2, 3 and 3 planes; the chain's planes are single sites.
TEST(Programs, EveryCountAndLanguageDrawsTheSameRun) {
  const std::string to4 = tables + "/to4/O3.res";
  const struct {
    const char *what;
    std::string options;
  } runs[] = {
      {"default engine, hot start",
       "--L 8 --beta 0.693 --start hot --therm 3 --sweeps 40 --bins 4 --seed 5"},
      {"tables engine, on the chain, outside the table",
       "--lattice chain --L 12 --beta 10 --therm 5 --sweeps 32 --engine tables --table " + to4},
      {"inversion", "--L 4 --beta 0.3 --start hot --therm 2 --sweeps 20 --bins 2 --seed 77"},
      {"exponential engine", "--L 6 --beta 2 --therm 1 --sweeps 8 --bins 2 --engine exponential"},
      {"sequential order, odd L", "--L 5 --start hot --order sequential --sweeps 10 --bins 2"}};
  const std::vector<program> all = programs();
  scratch s;
  for (const auto &r : runs) {
    SCOPED_TRACE(r.what);
    const bool sequential = r.options.find("sequential") != std::string::npos;
    const output reference = run(all[0].command + " " + r.options, s.dir());
    ASSERT_EQ(reference.status, 0) << reference.err;
    EXPECT_NE(reference.out.find("fingerprint of the last configuration: "), std::string::npos);
    for (const program &p : all) {
      if (p.mpi && sequential) continue;
      SCOPED_TRACE(p.label);
      const output o = run(p.command + " " + r.options, s.dir());
      EXPECT_EQ(o.status, 0);
      EXPECT_EQ(o.err, "");
      EXPECT_EQ(without_time(o.out), without_time(reference.out));
      EXPECT_NE(o.out.find("time: "), std::string::npos);
    }
  }
}

// -h and --help print the same usage in every language, the program's own
// name in it; a refused option is the same one-line message and pointer to
// --help on standard error, status 2, whatever else the line holds.
TEST(Programs, SayTheSameOnHelpAndOnRefusedOptions) {
  const std::vector<program> all = one_of_each();
  scratch s;
  const output usage = run(all[0].command + " --help", s.dir());
  ASSERT_EQ(usage.status, 0);
  EXPECT_EQ(usage.out.rfind("usage: heat_bath [--lattice chain|cubic]", 0), 0u) << usage.out;
  const std::vector<std::pair<std::string, std::string>> refusals = {
      {"--L 7", "--order checkerboard needs an even --L"},
      {"--L=x7", "bad --L: x7"},
      {"--beta 2e6", "--beta must be a number from 0 to 1e6: 2e6"},
      {"--beta 0.5,3", "--beta must be a number from 0 to 1e6: 0.5,3"},
      {"--seed -1", "bad --seed: -1"},
      {"--lattice fcc", "--lattice must be chain or cubic: fcc"},
      {"--sweeps 10", "--sweeps must be at least --bins"},
      {"--engine fast", "--engine must be default, tables or exponential: fast"},
      {"--draw inversion --engine tables",
       "--engine is the library's: it goes with --draw library"},
      {"--table O3.res", "--table is read by --engine tables only"},
      {"--bins 3 --bins 4", "given twice: --bins"},
      {"--hmax 4", "unknown option: --hmax"},
      {"16", "not an option: 16"},
      {"--L", "missing value of: --L"}};
  for (const program &p : all) {
    SCOPED_TRACE(p.label);
    for (const char *help : {"-h", "--help"}) {
      const output o = run(p.command + " --L 7 " + help, s.dir());
      EXPECT_EQ(o.status, 0);
      EXPECT_EQ(o.out, replaced(usage.out, "usage: heat_bath ", "usage: " + p.name + " "));
      EXPECT_EQ(o.err, "");
    }
    for (const auto &[options, message] : refusals) {
      SCOPED_TRACE(options);
      const output o = run(p.command + " --therm 0 " + options, s.dir());
      EXPECT_EQ(o.status, 2);
      EXPECT_EQ(o.out, "");
      EXPECT_EQ(ours(o.err),
                p.name + ": " + message + "\n" + p.name + " --help lists the options\n");
    }
  }
}

// A table that is missing or refused stops every program with its message
// and the command that makes the table for this simulation where --table
// looks for it; that command, run, makes a table that serves it (the same
// advice follows draws outside a table: heat_bath.outside_warning and
// EveryCountAndLanguageDrawsTheSameRun). Past o3tables' largest H_max, the
// advice is the default engine.
TEST(Programs, AdviseTheTableForTheSimulation) {
  const std::vector<program> all = one_of_each();
  scratch s;
  fs::create_directory(s.dir() / "runs");
  std::ofstream(s.dir() / "runs" / "damaged.res") << "0 4 10\n";
  const std::string advice =
      "this command makes the table for this simulation, runs/O3.res:\n"
      "    o3tables -C runs --lattice chain --beta 1.5 --losses 10 --yes\n";
  const std::string options =
      " --lattice chain --L 6 --beta 1.5 --therm 0 --sweeps 8 --bins 2 "
      "--engine tables --table runs/";
  for (const program &p : all) {
    SCOPED_TRACE(p.label);
    const output missing = run(p.command + options + "O3.res", s.dir());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(ours(missing.err), p.name + ": runs/O3.res: No such file or directory\n" + advice +
                                     "or draw without a table: --engine default\n");
    const output damaged = run(p.command + options + "damaged.res", s.dir());
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(ours(damaged.err).rfind(p.name + ": runs/damaged.res: line ", 0), 0u) << damaged.err;
    EXPECT_NE(ours(damaged.err).find("\n" + advice + "or draw without a table"), std::string::npos);
  }
  const output made = run(
      replaced(advice.substr(advice.find("o3tables")), "o3tables ", quoted(O3TABLES_PATH) + " ") +
          " > /dev/null",
      s.dir());
  ASSERT_EQ(made.status, 0) << made.err;
  for (const program &p : all) {
    SCOPED_TRACE(p.label);
    const output served = run(p.command + options + "O3.res", s.dir());
    EXPECT_EQ(served.status, 0) << served.err;
    EXPECT_NE(served.out.find("(H0 = 0, H_max = 3.000001)"), std::string::npos) << served.out;
    EXPECT_NE(served.out.find("\ndraws outside the table's range: 0 of 48\ntime: "),
              std::string::npos)
        << served.out;
  }
  for (const program &p : all) {
    SCOPED_TRACE(p.label);
    const output beyond = run(p.command +
                                  " --L 4 --beta 600 --therm 0 --sweeps 2 --bins 2 "
                                  "--engine tables",
                              s.dir());
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(
        ours(beyond.err),
        p.name +
            ": O3.res: No such file or directory\n"
            "o3tables makes tables up to H_max = 3200, below 2 d beta = 3600: draw with "
            "--engine default, which needs none\nor draw without a table: --engine default\n");
  }
}

// Processes cannot share the one stream of the sequential order, and each
// needs a plane at least.
TEST(Mpi, RefusesWhatItCannotShareOut) {
  if (std::string(HEAT_BATH_MPI) == "") GTEST_SKIP() << "MPI not found: heat_bath_mpi not built";
  scratch s;
  const output sequential =
      run(mpiexec(2) + quoted(HEAT_BATH_MPI) + " --order sequential", s.dir());
  EXPECT_EQ(sequential.status, 2);
  EXPECT_EQ(ours(sequential.err),
            "heat_bath_mpi: --order sequential draws every site from one stream, which "
            "processes cannot share: sweep in checkerboard order\n");
  const output crowded = run(mpiexec(3) + quoted(HEAT_BATH_MPI) + " --L 2", s.dir());
  EXPECT_EQ(crowded.status, 2);
  EXPECT_EQ(ours(crowded.err),
            "heat_bath_mpi: 3 processes for the 2 planes of L = 2: each needs one at least\n");
}

struct estimate_read {
  double mean = NAN, error = NAN;
};

// "<name>  <mean> +- <error>" from a report.
estimate_read read_estimate(const std::string &out, const std::string &name) {
  estimate_read e;
  const auto at = out.find("\n" + name + " ");
  if (at != std::string::npos) {
    std::istringstream in(out.substr(at + name.size() + 2));
    std::string sign;
    in >> e.mean >> sign >> e.error;
  }
  return e;
}

// The MPI program on two processes against the exact energy of the chain
// (as Chain.EnergyPerBondIsTheExactOne) and against inversion in 3D near
// the critical point (as Cubic.DrawsAndOrdersAgreeWithInversion...), with
// the tables engine and the default one.
TEST(Mpi, EnergyIsTheExactChainsAndInversionsIn3D) {
  if (std::string(HEAT_BATH_MPI) == "") GTEST_SKIP() << "MPI not found: heat_bath_mpi not built";
  scratch s;
  const output chain =
      run(mpiexec(2) + quoted(HEAT_BATH_MPI) +
              " --lattice chain --L 1000 "
              "--beta 2 --therm 100 --sweeps 4000 --seed 41 --engine tables --table " +
              tables + "/to20/O3.res",
          s.dir());
  ASSERT_EQ(chain.status, 0) << chain.err;
  const estimate_read e = read_estimate(chain.out, "energy per bond");
  const double u = chain_energy_per_bond(2.0);
  EXPECT_LT(std::abs(e.mean - u), 4.0 * e.error) << chain.out;
  EXPECT_LT(e.error, 0.01 * std::abs(u));
  EXPECT_NE(chain.out.find("draws outside the table's range: 0 of 4100000\n"), std::string::npos);

  const run_config config{3, 8, 0.693, 500, 8000, 42, SWEEP_CHECKERBOARD, 0, 32};
  const y_source inversion{Y_INVERSION, nullptr};
  run_result reference{};
  ASSERT_EQ(run_simulation(&config, &inversion, &reference), 0);
  const output cubic = run(mpiexec(2) + quoted(HEAT_BATH_MPI) +
                               " --L 8 --beta 0.693 --therm 500 --sweeps 8000 --seed 43",
                           s.dir());
  ASSERT_EQ(cubic.status, 0) << cubic.err;
  const struct {
    const char *name;
    estimate expected;
  } observables[] = {{"energy per bond", reference.energy},
                     {"|m|", reference.m},
                     {"<m^4>/<m^2>^2", reference.binder}};
  for (const auto &o : observables) {
    SCOPED_TRACE(o.name);
    const estimate_read got = read_estimate(cubic.out, o.name);
    EXPECT_LT(std::abs(got.mean - o.expected.mean), 4.0 * std::hypot(got.error, o.expected.error))
        << got.mean << " +- " << got.error << " against " << o.expected.mean << " +- "
        << o.expected.error;
    EXPECT_LT(got.error, 0.03 * std::abs(got.mean));
  }
}

}  // namespace
