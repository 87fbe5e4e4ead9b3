// Reading real numbers in the "C" notation, whatever locale the process has.
// The sampler's C twin: sampler/o3_decimal.c.
#pragma once

#include <string_view>

namespace o3 {

// A token that is a finite real number in strtod's syntax of the "C" locale
// (a '.' as the decimal point), nothing left over and no leading blank; an
// underflow gives 0. *value is set only when it is one.
bool parse_real(std::string_view token, double* value);

}  // namespace o3
