#include "checker/options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/arguments.h"
#include "common/real_number.h"
#include "sampler/o3_sampler.h"

namespace o3::checker {
namespace {

constexpr option_syntax check_options[] = {{"--seed", "", option_syntax::value},
                                           {"--draws", "", option_syntax::value},
                                           {"--svg", "", option_syntax::value},
                                           {"--data", "", option_syntax::value},
                                           {"--at", "", option_syntax::value},
                                           {"--engine", "", option_syntax::value},
                                           directory_option,
                                           help_option};

options refused(std::string_view option, const std::string& value, std::string_view why) {
  options o;
  o.error = refusal(option, value, why);
  return o;
}

bool whole_number(const std::string& s, std::uint64_t* v) {
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  *v = std::strtoull(s.c_str(), &end, 10);
  return *end == '\0' && errno == 0;
}

}  // namespace

options parse_options(int argc, const char* const* argv) {
  const arguments a = parse_arguments(argc, argv, {check_options, true, {}});
  options o;
  if (!a.error.empty()) {
    o.error = a.error;
    return o;
  }
  o.help = a.help;
  if (a.file) o.file = *a.file;
  for (const auto& [name, value] : a.given) {
    double at = 0.0;
    if (name == "--seed" && !whole_number(value, &o.seed)) {
      return refused(name, value, "the seed is a whole number from 0 to 2^64 - 1");
    }
    // Fewer draws leave the chi-square bins too thin for the law its tail
    // is taken from; more would take hours and, for the picture, too much
    // memory.
    if (name == "--draws" &&
        !(whole_number(value, &o.draws) && o.draws >= 1000 && o.draws <= 100000000)) {
      return refused(name, value,
                     "the draws per coupling are a whole number from 1000 to 100000000");
    }
    if (name == "--at") {
      if (!parse_real(value, &at)) return refused(name, value, "the coupling is a finite number");
      o.at = at;
    }
    if (name == "--engine") {
      if (value == "default") {
        o.engine = O3_ENGINE_DEFAULT;
      } else if (value == "tables") {
        o.engine = O3_ENGINE_TABLES;
      } else if (value == "exponential") {
        o.engine = O3_ENGINE_EXPONENTIAL;
      } else {
        return refused(name, value, "the engines are default, tables and exponential");
      }
    }
    if (name == "--svg") o.svg = value;
    if (name == "--data") o.data = value;
    if (name == "--directory") o.directory = value;
  }
  return o;
}

void print_options() {
  std::fputs(
      "\n"
      "Checks an O3.res (FILE, default O3.res): the reader's checks of every line,\n"
      "map entry and histogram, how the losses came out against the losses asked,\n"
      "and the draws at 20 couplings against the exact distribution.\n"
      "\n"
      "options:\n"
      "  --seed N     seed of the draws (1)\n"
      "  --draws N    draws per coupling, 1000 to 100000000 (1000000)\n"
      "  --svg FILE   a picture: the density, the boxes and the draws at one\n"
      "               coupling, their deviations, the loss of every histogram\n"
      "  --at H       the coupling of the picture (the middle of the range)\n"
      "  --engine E   tests the draws of engine E (default, tables or exponential)\n"
      "               from 0 to 1e4 instead of the tables' in their range\n"
      "  --data FILE  the numbers behind it as columns, for gnuplot and NumPy\n"
      "  -C DIR, --directory DIR\n"
      "               works in DIR: FILE and the outputs are taken from there\n"
      "  -h, --help   prints this text\n"
      "A value may also be written --seed=N. The picture and the data file are\n"
      "written beside their names and renamed over them when complete; neither\n"
      "may be the table checked.\n"
      "\n"
      "exit status: 0 every check passes; 1 the table is refused or a check\n"
      "fails; 2 a usage error; 3 the table passes but the picture or the data\n"
      "file cannot be written.\n",
      stdout);
}

}  // namespace o3::checker
