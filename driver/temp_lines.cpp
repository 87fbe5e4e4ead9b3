// Stage 1's files as lines of fields, and why a line cannot be read.
#include "driver/temp_lines.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "driver/answers.h"

namespace o3 {
namespace {

// A line end is no blank: it never reaches a field anyway.
bool is_blank(char c) { return c != '\n' && std::isspace(static_cast<unsigned char>(c)); }

}  // namespace

bool temp_lines::next(std::vector<std::string_view>* fields, std::string* message) {
  const line_reader::status s = lines_.next(&line_);
  if (s != line_reader::line) {
    if (s != line_reader::end) *message = unreadable(s);
    return false;
  }
  if (copy_ != nullptr) {
    std::fwrite(line_.data(), 1, line_.size(), copy_);
    if (lines_.line_ended()) std::fputc('\n', copy_);
  }
  fields->clear();
  std::size_t i = 0;
  while (i < line_.size()) {
    while (i < line_.size() && is_blank(line_[i])) ++i;
    const std::size_t start = i;
    while (i < line_.size() && !is_blank(line_[i])) ++i;
    if (i > start) fields->push_back(std::string_view(line_).substr(start, i - start));
  }
  return true;
}

bool temp_lines::only_blank_lines_left(std::string* message) {
  std::vector<std::string_view> fields;
  while (next(&fields, message)) {
    if (!fields.empty()) return false;
  }
  return message->empty();
}

std::string temp_lines::at_line() const {
  return std::string(name_) + " line " + std::to_string(number()) + ": ";
}

std::string temp_lines::unreadable(line_reader::status s) const {
  switch (s) {
    case line_reader::too_long:
      return at_line() + "longer than " + std::to_string(temp_line_cap) +
             " bytes: it is not stage 1's file";
    case line_reader::nul_byte:
      return at_line() + "holds a NUL byte: it is not stage 1's file";
    default:
      return std::string("cannot read ") + name_ + ": " + std::strerror(lines_.error());
  }
}

bool field_to_int(std::string_view field, int* value) {
  long long v = 0;
  if (!parse_integer(field, &v) || v < INT_MIN || v > INT_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace o3
