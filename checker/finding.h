// What a check found: a failure or a note, tied to a line of the file.
#pragma once

#include <string>
#include <vector>

namespace o3::checker {

struct finding {
  bool failure;  // a note otherwise: worth saying, not a fault
  int line;      // of the file; 0 when no single line is at fault
  std::string what;
};

inline bool any_failure(const std::vector<finding>& found) {
  for (const finding& f : found) {
    if (f.failure) return true;
  }
  return false;
}

}  // namespace o3::checker
