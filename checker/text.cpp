#include "checker/text.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace o3::checker {

std::string text(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string out(length > 0 ? static_cast<std::size_t>(length) : 0, '\0');
  std::vsnprintf(out.data(), out.size() + 1, format, again);
  va_end(again);
  return out;
}

std::string exact(double v) {
  for (int digits = 6;; ++digits) {
    std::string s = text("%.*g", digits, v);
    if (digits >= 17 || std::strtod(s.c_str(), nullptr) == v) return s;
  }
}

}  // namespace o3::checker
