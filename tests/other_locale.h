// A locale whose decimal point is more than one byte, for the tests of
// reading numbers whatever locale a program has set.
#pragma once

#include <string>

namespace o3test {

// The locale of this name: its decimal point is U+066B, two bytes in UTF-8.
inline const std::string long_point_locale = "ps_AF.UTF-8";

// Sets LC_ALL to long_point_locale, compiled from the system's sources
// (localedef) into a directory of its own when it is not installed; false
// when neither can be done. The destructor of the guard sets "C" again.
class other_locale {
 public:
  other_locale();
  ~other_locale();
  other_locale(const other_locale&) = delete;
  other_locale& operator=(const other_locale&) = delete;
  bool set() const { return set_; }

 private:
  bool set_ = false;
};

}  // namespace o3test
