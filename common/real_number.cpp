#include "common/real_number.h"

#include <locale.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string>

namespace o3 {
namespace {

// The "C" locale, made once; the thread's own locale is switched to it only
// around strtod, so that a locale set by whoever links this code (a ','
// decimal point, or one of more than one byte) cannot change a number.
locale_t c_locale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

double c_strtod(const char* text, char** end) {
  const locale_t c = c_locale();
  if (c == static_cast<locale_t>(0)) return std::strtod(text, end);  // no memory: as it is
  const locale_t before = uselocale(c);
  const double v = std::strtod(text, end);
  uselocale(before);
  return v;
}

}  // namespace

bool parse_real(std::string_view token, double* value) {
  if (token.empty()) return false;
  const std::string text(token);  // strtod needs a terminated string
  char* end = nullptr;
  const double v = c_strtod(text.c_str(), &end);
  // A leading blank is not part of a token, and an overflow gives an
  // infinity, which is refused with the other values that are not finite.
  if (end != text.c_str() + text.size() || std::isspace(static_cast<unsigned char>(text.front())) ||
      !std::isfinite(v)) {
    return false;
  }
  *value = v;
  return true;
}

}  // namespace o3
