// printf-style formatting into a std::string, for the picture and the numbers shown.
#pragma once

#include <string>

namespace o3::checker {

std::string text(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The shortest "%.*g" form of v that reads back as v: couplings such as the
// largest double below H_max must be shown in full, round ones stay short.
std::string exact(double v);

}  // namespace o3::checker
