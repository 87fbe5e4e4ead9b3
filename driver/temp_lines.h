// Reading stage 1's files back as lines of fields, with messages naming the line.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "common/line_reader.h"

namespace o3 {

// Longest line of temp2.tmp or temp1.tmp; stage 1's lines are far shorter,
// so a longer one is damage, and the reader's memory stays bounded.
inline constexpr std::size_t temp_line_cap = 4096;

// The lines of one temp file, split at blanks, each copied to `copy` (if
// given) as it was read.
class temp_lines {
 public:
  temp_lines(line_reader& lines, const char* name, std::FILE* copy = nullptr)
      : lines_(lines), name_(name), copy_(copy) {}

  // The fields of the next line; false at the end of the file, or with
  // *message set when the line cannot be read.
  bool next(std::vector<std::string_view>* fields, std::string* message);

  // True when only blank lines follow; otherwise false with the next line
  // read, or with *message set when it cannot be.
  bool only_blank_lines_left(std::string* message);

  const std::string& line() const { return line_; }
  long number() const { return lines_.number(); }
  // "NAME line N: ", the start of a message about the line last read.
  std::string at_line() const;

 private:
  std::string unreadable(line_reader::status s) const;

  line_reader& lines_;
  const char* name_;
  std::FILE* copy_;
  std::string line_;
};

// A field that is a decimal integer an int can hold.
bool field_to_int(std::string_view field, int* value);

}  // namespace o3
