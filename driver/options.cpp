// Parsing the table run's options.
#include "driver/options.h"

#include <cstdio>
#include <utility>

#include "common/arguments.h"
#include "common/escape.h"
#include "driver/lattice_range.h"

namespace o3 {
namespace {

constexpr option_syntax run_syntax[] = {{"--h0", "", option_syntax::any_value},
                                        {"--hmax", "", option_syntax::any_value},
                                        {"--losses", "", option_syntax::any_value},
                                        {"--lattice", "", option_syntax::any_value},
                                        {"--beta", "", option_syntax::any_value},
                                        directory_option,
                                        {"--yes", "", option_syntax::flag},
                                        {"--keep-losses", "", option_syntax::flag},
                                        help_option,
                                        {"--version", "", option_syntax::flag}};

// The options that answer a question as typed, an empty value too: the
// dialogue refuses it as it refuses any answer that is no number.
constexpr std::pair<std::string_view, question> answer_options[] = {
    {"--h0", question::h0}, {"--hmax", question::h_max}, {"--losses", question::losses}};

run_options faulty(std::string message) {
  run_options o;
  o.what = run_options::action::usage_error;
  o.error = std::move(message);
  return o;
}

// H0 = 0 and H_max from --lattice and --beta; an error message, or empty.
std::string derive_range(run_options& o, const std::string& lattice, const std::string& beta) {
  const int h0 = static_cast<int>(question::h0);
  const int h_max = static_cast<int>(question::h_max);
  for (const int q : {h0, h_max}) {
    if (o.answers[q]) {
      return "option " + in_quotes(o.options[q]) +
             " cannot be given with --lattice and --beta, which give H0 and H_max";
    }
  }
  const int dimension = lattice_dimension(lattice);
  if (dimension == 0) {
    return "--lattice " + in_quotes(lattice) + " refused: the lattices are chain, square, " +
           "cubic or a dimension from 1 to " + std::to_string(max_dimension);
  }
  static_assert(max_beta == 1e6, "the message below states it");
  double b = 0.0;
  if (!parse_real(beta, &b) || !(b >= 0.0 && b <= max_beta)) {
    return "--beta " + in_quotes(beta) + " refused: beta is a number from 0 to 1e6";
  }
  o.answers[h0] = "0";
  o.options[h0] = "--lattice";
  o.answers[h_max] = h_max_above(dimension, b);
  o.options[h_max] =
      "--lattice " + escape_bytes(lattice) + " --beta " + escape_bytes(beta) + " give H_max";
  return "";
}

}  // namespace

run_options parse_run_options(int argc, const char* const* argv,
                              std::span<const std::string_view> subcommands) {
  const arguments a = parse_arguments(argc, argv, {run_syntax, false, subcommands});
  if (!a.error.empty()) return faulty(a.error);
  run_options o;
  for (const auto& [name, q] : answer_options) {
    if (const std::string* value = a.value(name)) {
      o.answers[static_cast<int>(q)] = *value;
      o.options[static_cast<int>(q)] = std::string(name);
    }
  }
  if (a.value("--yes") != nullptr) {
    // Constructed, not assigned: GCC 12 at -O3 takes the assignment of a
    // literal to an optional string for an overlapping copy (-Wrestrict).
    o.answers[static_cast<int>(question::go_on)].emplace("1");
    o.options[static_cast<int>(question::go_on)] = std::string("--yes");
  }
  const std::string* lattice = a.value("--lattice");
  const std::string* beta = a.value("--beta");
  if (lattice != nullptr || beta != nullptr) {
    if (lattice == nullptr || beta == nullptr) {
      return faulty(lattice != nullptr ? "option '--lattice' needs --beta"
                                       : "option '--beta' needs --lattice");
    }
    if (std::string error = derive_range(o, *lattice, *beta); !error.empty()) {
      return faulty(std::move(error));
    }
  }
  if (const std::string* directory = a.value("--directory")) o.directory = *directory;
  o.keep_losses = a.value("--keep-losses") != nullptr;
  if (a.help) {
    o.what = run_options::action::help;
  } else if (a.value("--version") != nullptr) {
    o.what = run_options::action::version;
  }
  return o;
}

void print_help(std::string_view usage) {
  std::printf("usage: %.*s\n", static_cast<int>(usage.size()), usage.data());
  std::fputs(
      "\n"
      "Computes the tables of the heat-bath update of the O(3) spin model for\n"
      "the couplings H0 to H_max with the accepted losses in percent. Each\n"
      "question is answered by its option or, without one, on standard input.\n"
      "\n"
      "options:\n"
      "  --h0 X       the first coupling H0 (X >= 0)\n"
      "  --hmax Y     the last coupling H_max (H0 < Y <= 3200)\n"
      "  --losses P   the % of losses to accept (1 <= P <= 604; <= 304 for\n"
      "               Y > 100, <= 204 for Y > 350)\n"
      "  --lattice L --beta B\n"
      "               H0 = 0 and H_max just above 2 d B, the largest coupling of a\n"
      "               heat-bath sweep at inverse temperature B (0 to 1e6) on the\n"
      "               lattice L: chain, square, cubic or its dimension d (1 to 1000)\n"
      "  --yes        answers 1 (go on) at the continue prompt\n"
      "  --keep-losses  searches the histograms whose loss exceeds the losses\n"
      "               again, to a tighter end, until it does not; 600 pieces\n"
      "               cannot reach 1 % from H of about 160 on (docs/large-couplings.md)\n"
      "  -h, --help   prints this text\n"
      "  --version    prints the version\n"
      "  -C DIR, --directory DIR\n"
      "               works in DIR, which must exist: the files below are\n"
      "               written there\n"
      "A value may also be written --h0=X. An option answers its question the\n"
      "first time it is asked; a run declined at the continue prompt asks again\n"
      "on standard input. The prompts and every line of standard output are\n"
      "those of the same answers typed. A value that the dialogue refuses ends\n"
      "the run after the refusal, before any file is written.\n"
      "\n"
      "files written in the current directory, or in DIR:\n"
      "  temp2.tmp    the histogram grid, read by stage 2\n"
      "  temp1.tmp    the lookup lines and the histogram map, copied into O3.res\n"
      "  O3.res       the result: the lines to copy into the simulation, the\n"
      "               lookup lines, the map and the histograms\n"
      "Each is written beside its name and renamed over it when complete, so\n"
      "that a failed or interrupted run leaves the previous one. While a run\n"
      "is under way it holds .o3tables.lock, and a second run there stops.\n"
      "\n"
      "exit status:\n"
      "  0  O3.res was written completely\n"
      "  1  a fatal condition, end of input before an answer, or another run\n"
      "     under way here; the message is on standard error, the previous\n"
      "     O3.res is left as it was\n"
      "  2  a usage error, an option value that the dialogue refuses, or a DIR\n"
      "     that cannot be entered; no file is written\n"
      "\n"
      "o3tables check verifies an O3.res, and o3tables emit writes a C and a\n"
      "FORTRAN sampler made for one; see the README.\n",
      stdout);
}

}  // namespace o3
