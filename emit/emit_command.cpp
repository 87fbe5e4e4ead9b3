// "o3tables emit": writes the sampler's files, after checking a table when
// one is named.
#include "emit/emit_command.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "common/arguments.h"
#include "common/directory.h"
#include "common/escape.h"
#include "common/exit_cleanup.h"
#include "common/exit_status.h"
#include "common/staged_file.h"
#include "emit/sampler_files.h"
#include "sampler/sampler.h"

namespace o3 {
namespace {

struct emit_options {
  bool fortran = true;
  std::string out = ".";
  std::optional<std::string> file;
  std::string directory;  // -C
  bool help = false;
  std::string error;  // empty, or the usage error
};

constexpr option_syntax emit_syntax_options[] = {{"--lang", "", option_syntax::value},
                                                 {"--out", "", option_syntax::value},
                                                 directory_option,
                                                 help_option};

emit_options parse(int argc, const char* const* argv) {
  const arguments a = parse_arguments(argc, argv, {emit_syntax_options, true, {}});
  emit_options o;
  o.error = a.error;
  o.file = a.file;
  o.help = a.help;
  if (const std::string* out = a.value("--out")) o.out = *out;
  if (const std::string* directory = a.value("--directory")) o.directory = *directory;
  if (const std::string* lang = a.value("--lang")) {
    if (*lang != "c" && *lang != "fortran" && *lang != "all") {
      o.error = refusal("--lang", *lang, "the languages are c, fortran or all");
    }
    o.fortran = *lang != "c";
  }
  return o;
}

void print_help() {
  std::printf("usage: %s\n", emit_usage);
  std::fputs(
      "\n"
      "Writes the sampler's files, which read any O3.res at run time and draw\n"
      "from it: o3_sampler.h and o3_sampler.c (C99), and o3_sampler.f90 (a\n"
      "Fortran 2008 module on top of them) unless --lang c. With FILE, first\n"
      "checks that FILE is a table they accept.\n"
      "\n"
      "options:\n"
      "  --lang L     c, fortran or all (all; fortran needs the C files too)\n"
      "  --out DIR    the directory to write them in, made if missing (.)\n"
      "  -C DIR, --directory DIR\n"
      "               works in DIR: FILE and --out are taken from there\n"
      "  -h, --help   prints this text\n"
      "A value may also be written --out=DIR. Each file is written beside its\n"
      "name; all are renamed over the old ones only when every one is complete,\n"
      "so a failure leaves the old files as they were. None may replace FILE.\n"
      "\n"
      "exit status: 0 written; 1 FILE refused or a file not written; 2 a usage\n"
      "error.\n",
      stdout);
}

struct output {
  std::string path;
  std::string text;
};

// The files, each under a first line naming the tool that wrote it.
std::vector<output> outputs(const emit_options& o) {
  const std::string version = "o3tables " O3_VERSION;
  const std::string dir = o.out + "/";
  std::vector<output> files{
      {dir + "o3_sampler.h", "/* Written by " + version + " emit. */\n" + emit::sampler_header},
      {dir + "o3_sampler.c", "/* Written by " + version + " emit. */\n" + emit::sampler_source}};
  if (o.fortran) {
    files.push_back(
        {dir + "o3_sampler.f90", "! Written by " + version + " emit.\n" + emit::sampler_module});
  }
  return files;
}

bool refused(const output& f, int error) {
  complain("emit", "cannot write " + in_quotes(f.path) + ": " + staged_error_text(error));
  return false;
}

// All the files or none: the header and the sources must come from one
// version, so each is complete on the disk, and may replace its old one,
// before the first does (commit_together); a failure leaves the old set as
// it was, and a signal during the renames waits until the set is whole.
bool write(const std::vector<output>& files) {
  std::vector<staged_file> staged(files.size());
  std::vector<staged_file*> set;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& text = files[i].text;
    int error = staged[i].open(files[i].path);
    if (error == 0) {
      // A text larger than the stream's buffer is written at once, and only
      // this call sees why it failed.
      errno = 0;
      if (std::fwrite(text.data(), 1, text.size(), staged[i].stream()) != text.size()) {
        error = errno != 0 ? errno : EIO;
      } else {
        error = staged[i].finish();
      }
    }
    if (error != 0) return refused(files[i], error);
    set.push_back(&staged[i]);
  }
  // From the first rename on, emit finishes and reports what it did.
  hold_signals_to_exit();
  std::size_t failed = 0;
  if (const int error = commit_together(set.data(), set.size(), &failed); error != 0) {
    return refused(files[failed], error);
  }
  for (const output& f : files) std::printf("wrote %s\n", escape_bytes(f.path).c_str());
  return true;
}

}  // namespace

int run_emit(int argc, char** argv) {
  const emit_options o = parse(argc, argv);
  if (!o.error.empty()) return usage_error("emit", o.error, emit_usage);
  if (o.help) {
    print_help();
    return exit_ok;
  }
  if (!o.directory.empty()) {
    if (const std::string error = enter_directory(o.directory); !error.empty()) {
      return usage_error("emit", error, emit_usage);
    }
  }
  const std::vector<output> files = outputs(o);
  if (o.file) {
    for (const output& f : files) {
      std::error_code ignored;
      if (std::filesystem::equivalent(f.path, *o.file, ignored)) {
        return usage_error(
            "emit",
            refusal("--out", o.out,
                    in_quotes(f.path) + " would replace the table " + in_quotes(*o.file)),
            emit_usage);
      }
    }
    try {
      const sampler::sampler s(*o.file);
      std::printf("%s: a sound table, %d histograms of %d pieces for %g <= h < %g\n",
                  escape_bytes(*o.file).c_str(), s.histogram_count(), s.pieces_per_histogram(),
                  s.H0(), s.H_max());
    } catch (const sampler::table_error& e) {
      complain("emit", e.what());
      return exit_failed;
    }
  }
  std::error_code made;
  std::filesystem::create_directories(o.out, made);
  if (made) {
    complain("emit", "cannot make the directory " + in_quotes(o.out) + ": " + made.message());
    return exit_failed;
  }
  return write(files) ? exit_ok : exit_failed;
}

}  // namespace o3
