#include "checker/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace o3::checker {
namespace {

bool whole_integer(const char* s, std::uint64_t* v) {
  if (*s < '0' || *s > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long n = std::strtoull(s, &end, 10);
  *v = n;
  return *end == '\0' && errno == 0;
}

bool real(const char* s, double* v) {
  char* end = nullptr;
  *v = std::strtod(s, &end);
  return end != s && *end == '\0' && std::isfinite(*v);
}

}  // namespace

std::optional<options> parse_options(int argc, char** argv) {
  options o;
  bool have_file = false;
  for (int i = 0; i < argc; ++i) {
    const std::string_view a = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    bool ok = true;
    if (a == "--seed" || a == "--draws" || a == "--svg" || a == "--data" || a == "--at") {
      if (value == nullptr) {
        std::fprintf(stderr, "o3tables check: %s needs a value\n", argv[i]);
        return std::nullopt;
      }
      ++i;
      double at = 0.0;
      if (a == "--seed") ok = whole_integer(value, &o.seed);
      if (a == "--draws") ok = whole_integer(value, &o.draws) && o.draws > 0;
      if (a == "--svg") o.svg = value;
      if (a == "--data") o.data = value;
      if (a == "--at") {
        ok = real(value, &at);
        o.at = at;
      }
    } else if (!have_file && !a.starts_with("--")) {
      o.file = argv[i];
      have_file = true;
    } else {
      std::fprintf(stderr, "o3tables check: unexpected argument '%s'\n", argv[i]);
      return std::nullopt;
    }
    if (!ok) {
      std::fprintf(stderr, "o3tables check: bad value '%s' for %s\n", value, argv[i - 1]);
      return std::nullopt;
    }
  }
  return o;
}

}  // namespace o3::checker
