// "o3tables emit": reads a table and writes the samplers generated for it.
#include "emit/emit_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "emit/c_source.h"
#include "emit/fortran_source.h"
#include "emit/table_facts.h"
#include "emit/template.h"

namespace o3 {
namespace {

struct emit_options {
  bool c = true;
  bool fortran = true;
  std::string out = ".";
  std::string file = "O3.res";
};

std::optional<emit_options> parse(int argc, char** argv) {
  emit_options o;
  bool have_file = false;
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
        o.c = value != "fortran";
        o.fortran = value != "c";
      } else {
        std::fprintf(stderr, "o3tables emit: bad value '%s' for --lang\n", argv[i]);
        return std::nullopt;
      }
    } else if (!have_file && !a.starts_with("--")) {
      o.file = a;
      have_file = true;
    } else {
      std::fprintf(stderr, "o3tables emit: unexpected argument '%s'\n", argv[i]);
      return std::nullopt;
    }
  }
  return o;
}

bool write(const emit_options& o, const char* name, const std::string& text) {
  const std::string path = o.out + "/" + name;
  if (!emit::write_file(path, text)) {
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
  emit::table_facts facts;
  try {
    facts = emit::facts_of(o->file);
  } catch (const sampler::table_error& e) {
    std::fprintf(stderr, "%s: %s\n", o->file.c_str(), e.what());
    return 1;
  }
  std::error_code made;
  std::filesystem::create_directories(o->out, made);
  if (made) {
    std::fprintf(stderr, "o3tables emit: cannot create %s: %s\n", o->out.c_str(),
                 made.message().c_str());
    return 1;
  }
  bool ok = true;
  if (o->c) {
    const emit::c_sampler_files c = emit::c_sampler(facts);
    ok = write(*o, "o3_sampler.h", c.header) && write(*o, "o3_sampler.c", c.source);
  }
  if (ok && o->fortran) ok = write(*o, "o3_sampler.f90", emit::fortran_sampler(facts));
  return ok ? 0 : 1;
}

}  // namespace o3
