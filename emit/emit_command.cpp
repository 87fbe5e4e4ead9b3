// "o3tables emit": writes the sampler's files, after checking a table when
// one is named.
#include "emit/emit_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "emit/sampler_files.h"
#include "sampler/sampler.h"

namespace o3 {
namespace {

struct emit_options {
  bool fortran = true;
  std::string out = ".";
  std::optional<std::string> file;
};

std::optional<emit_options> parse(int argc, char** argv) {
  emit_options o;
  for (int i = 0; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--lang" || a == "--out") {
      if (i + 1 == argc) {
        std::fprintf(stderr, "o3tables emit: %s needs a value\n", argv[i]);
        return std::nullopt;
      }
      const std::string_view value = argv[++i];
      if (a == "--out") {
        o.out = value;
      } else if (value == "c" || value == "fortran" || value == "all") {
        o.fortran = value != "c";
      } else {
        std::fprintf(stderr, "o3tables emit: bad value '%s' for --lang\n", argv[i]);
        return std::nullopt;
      }
    } else if (!o.file && !a.starts_with("--")) {
      o.file = a;
    } else {
      std::fprintf(stderr, "o3tables emit: unexpected argument '%s'\n", argv[i]);
      return std::nullopt;
    }
  }
  return o;
}

struct output {
  const char* name;
  std::string text;
};

// The files, each under a first line naming the tool that wrote it.
std::vector<output> outputs(bool fortran) {
  const std::string version = "o3tables " O3TABLES_VERSION;
  std::vector<output> files{
      {"o3_sampler.h", "/* Written by " + version + " emit. */\n" + std::string(emit::sampler_header)},
      {"o3_sampler.c", "/* Written by " + version + " emit. */\n" + std::string(emit::sampler_source)}};
  if (fortran) {
    files.push_back({"o3_sampler.f90",
                     "! Written by " + version + " emit.\n" + std::string(emit::sampler_module)});
  }
  return files;
}

bool write(const std::string& path, const std::string& text) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  bool ok = out != nullptr &&
            std::fwrite(text.data(), 1, text.size(), out) == text.size();
  if (out != nullptr) ok = std::fclose(out) == 0 && ok;
  if (!ok) {
    std::fprintf(stderr, "o3tables emit: cannot write %s: %s\n", path.c_str(),
                 std::strerror(errno));
    return false;
  }
  std::printf("wrote %s\n", path.c_str());
  return true;
}

}  // namespace

int run_emit(int argc, char** argv) {
  const std::optional<emit_options> o = parse(argc, argv);
  if (!o) {
    std::fprintf(stderr, "usage: %s\n", emit_usage);
    return 2;
  }
  if (o->file) {
    try {
      const sampler::sampler s(*o->file);
      std::printf("%s: a sound table, %d histograms of %d pieces for %g <= h < %g\n",
                  o->file->c_str(), s.histogram_count(), s.pieces_per_histogram(),
                  s.H0(), s.H_max());
    } catch (const sampler::table_error& e) {
      std::fprintf(stderr, "o3tables emit: %s\n", e.what());
      return 1;
    }
  }
  std::error_code made;
  std::filesystem::create_directories(o->out, made);
  if (made) {
    std::fprintf(stderr, "o3tables emit: cannot create %s: %s\n", o->out.c_str(),
                 made.message().c_str());
    return 1;
  }
  for (const output& f : outputs(o->fortran)) {
    if (!write(o->out + "/" + f.name, f.text)) return 1;
  }
  return 0;
}

}  // namespace o3
