// Parsing the table run's options.
#include "driver/options.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "common/directory.h"
#include "common/escape.h"
#include "common/suggest.h"
#include "driver/lattice_range.h"

namespace o3 {
namespace {

struct answer_option {
  std::string_view name;
  question q;
};

constexpr answer_option answer_options[] = {{"--h0", question::h0},
                                            {"--hmax", question::h_max},
                                            {"--losses", question::losses}};

run_options usage_error(std::string message) {
  run_options o;
  o.what = run_options::action::usage_error;
  o.error = std::move(message);
  return o;
}

std::string did_you_mean(std::string_view near) {
  return near.empty() ? std::string() : " (did you mean " + std::string(near) + "?)";
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

run_options parse_run_options(int argc, const char* const* argv) {
  run_options o;
  bool help = false;
  bool version = false;
  std::optional<std::string> directory, lattice, beta;
  for (int i = 0; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const std::size_t equals = arg.find('=');
    const std::string_view name = arg.substr(0, equals);
    const std::string shown = in_quotes(name);
    if (arg == "-h") {
      help = true;
      continue;
    }
    if (!arg.starts_with("-") || arg == "-") {
      return usage_error("unknown argument " + in_quotes(arg) +
                         did_you_mean(nearest_name(arg, {"check", "emit"})));
    }
    if (name == "--help" || name == "--version" || name == "--yes" || name == "--keep-losses") {
      if (equals != std::string_view::npos) {
        return usage_error("option " + shown + " takes no value");
      }
      const int go_on = static_cast<int>(question::go_on);
      const bool given = name == "--yes"           ? !o.options[go_on].empty()
                         : name == "--keep-losses" ? o.keep_losses
                                                   : name == "--version" && version;
      if (given) return usage_error("option " + shown + " given twice");
      help = help || name == "--help";
      o.keep_losses = o.keep_losses || name == "--keep-losses";
      version = version || name == "--version";
      if (name == "--yes") {
        o.answers[go_on].emplace(1, '1');
        o.options[go_on] = "--yes";
      }
      continue;
    }
    std::optional<std::string>* value = nullptr;
    if (is_directory_option(name)) {
      value = &directory;
    } else if (name == "--lattice") {
      value = &lattice;
    } else if (name == "--beta") {
      value = &beta;
    }
    for (const answer_option& a : answer_options) {
      if (a.name == name) {
        value = &o.answers[static_cast<int>(a.q)];
        if (!*value) o.options[static_cast<int>(a.q)] = std::string(name);
      }
    }
    if (value == nullptr) {
      return usage_error("unknown option " + shown +
                         did_you_mean(nearest_name(
                             name, {"--h0", "--hmax", "--losses", "--lattice", "--beta",
                                    "--directory", "--yes", "--keep-losses", "--help",
                                    "--version"})));
    }
    if (*value) {
      return usage_error("option " + shown + " given twice");
    }
    if (equals != std::string_view::npos) {
      *value = std::string(arg.substr(equals + 1));
    } else if (i + 1 < argc && !std::string_view(argv[i + 1]).starts_with("--")) {
      // A value may begin with one minus sign: -1 is refused as H0 by the
      // dialogue, not taken for an option.
      *value = argv[++i];
    } else {
      return usage_error("option " + shown + " needs a value");
    }
    // An empty directory (-C "$UNSET") names none: not "here".
    if (value == &directory && directory->empty()) {
      return usage_error("option " + shown + " needs a value");
    }
  }
  if (lattice || beta) {
    if (!lattice || !beta) {
      return usage_error(lattice ? "option '--lattice' needs --beta"
                                 : "option '--beta' needs --lattice");
    }
    if (std::string error = derive_range(o, *lattice, *beta); !error.empty()) {
      return usage_error(std::move(error));
    }
  }
  o.directory = directory.value_or("");
  if (help) o.what = run_options::action::help;
  else if (version) o.what = run_options::action::version;
  return o;
}

void print_help() {
  std::printf("%s\n", usage_line);
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
