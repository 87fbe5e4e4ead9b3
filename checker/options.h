// The arguments of "o3tables check".
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace o3::checker {

struct options {
  std::string file = "O3.res";
  std::uint64_t seed = 1;
  std::uint64_t draws = 1000000;  // per coupling
  std::string svg;                // no picture when empty
  std::string data;               // no data file when empty
  std::optional<double> at;       // the middle of the range when absent
  std::string directory;          // -C: where the paths are taken from; here when empty
  std::optional<int> engine;      // O3_ENGINE_*: the statistics of its draws instead of the tables'

  bool help = false;
  std::string error;  // empty, or the usage error: a faulty argument, a value refused
};

// The options after "check".
options parse_options(int argc, const char* const* argv);

// The options and what they do, for -h and --help.
void print_options();

}  // namespace o3::checker
