// Line-by-line readers of temp2.tmp and temp1.tmp with messages that name
// the line.
#include "driver/grid_file_reader.h"

#include <cctype>
#include <climits>
#include <cstddef>
#include <cstring>

#include "driver/answers.h"
#include "driver/grid_search.h"
#include "driver/temp_files.h"

namespace o3 {
namespace {

// The lines of one temp file and the whitespace-separated fields of each,
// with the file's name in every message.
class field_lines {
 public:
  field_lines(line_reader& lines, const char* name, std::FILE* copy = nullptr)
      : lines_(lines), name_(name), copy_(copy) {}

  // The fields of the next line; false at the end of the file, or with
  // *message set when the line cannot be read.
  bool next(std::vector<std::string_view>* fields, std::string* message) {
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

  // True when only blank lines follow; otherwise the next line is read and
  // number() is its number (or *message says why it cannot be read).
  bool only_blank_lines_left(std::string* message) {
    std::vector<std::string_view> fields;
    while (next(&fields, message)) {
      if (!fields.empty()) return false;
    }
    return message->empty();
  }

  const std::string& line() const { return line_; }
  long number() const { return lines_.number(); }
  std::string at_line() const {
    return std::string(name_) + " line " + std::to_string(number()) + ": ";
  }

 private:
  static bool is_blank(char c) {
    return c != '\n' && std::isspace(static_cast<unsigned char>(c));
  }

  std::string unreadable(line_reader::status s) const {
    switch (s) {
      case line_reader::too_long:
        return at_line() + "longer than " + std::to_string(temp_line_cap) +
               " bytes: it is not stage 1's file";
      case line_reader::nul_byte:
        return at_line() + "holds a NUL byte: it is not stage 1's file";
      default:
        return std::string("cannot read ") + name_ + ": " +
               std::strerror(lines_.error());
    }
  }

  line_reader& lines_;
  const char* name_;
  std::FILE* copy_;
  std::string line_;
};

bool to_int(std::string_view field, int* value) {
  long long v = 0;
  if (!parse_integer(field, &v) || v < INT_MIN || v > INT_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

grid_file_status parse_grid_file(line_reader& reader, grid_file* out,
                                 std::string* message) {
  field_lines lines(reader, grid_file_name);
  std::vector<std::string_view> fields;
  message->clear();
  const auto fail = [&](const std::string& what) {
    *message = lines.at_line() + what;
    return grid_file_status::malformed;
  };
  // Reads the next line, which must hold exactly `expected` fields.
  const auto next_line = [&](std::size_t expected, const char* what) {
    if (!lines.next(&fields, message)) {
      if (message->empty()) {
        *message = "temp2.tmp ends early: line " +
                   std::to_string(lines.number() + 1) + " should hold " + what;
      }
      return false;
    }
    if (fields.size() != expected) {
      fail(std::string("expected ") + what);
      return false;
    }
    return true;
  };

  const char* range = "H0 and H_max, two numbers";
  if (!next_line(2, range)) return grid_file_status::malformed;
  if (!parse_real(fields[0], &out->H0) || !parse_real(fields[1], &out->H_max)) {
    return fail(std::string("expected ") + range);
  }

  const char* head = "the number of histograms and the factor";
  if (!next_line(2, head)) return grid_file_status::malformed;
  if (!to_int(fields[0], &out->count) || !parse_real(fields[1], &out->f)) {
    return fail(std::string("expected ") + head);
  }
  if (out->count > N_histogram_MAX) {  // N_histogram >= N_histogram_MAX
    return grid_file_status::too_many_histograms;
  }
  if (out->count < 1) return fail("the number of histograms must be >= 1");
  if (!(out->f > 1.0)) return fail("the factor must be > 1");

  const char* coupling = "a histogram index and its coupling H";
  out->H.assign(static_cast<std::size_t>(out->count), 0.0);
  for (double& h : out->H) {
    if (!next_line(2, coupling)) return grid_file_status::malformed;
    int index = 0;
    if (!to_int(fields[0], &index) || !parse_real(fields[1], &h)) {
      return fail(std::string("expected ") + coupling);
    }
    if (h < 0.0) return fail("a coupling must be >= 0");
  }

  const char* entries = "the number of map entries";
  if (!next_line(1, entries)) return grid_file_status::malformed;
  if (!to_int(fields[0], &out->n)) {
    return fail(std::string("expected ") + entries);
  }
  if (out->n < 0) return fail("the number of map entries must be >= 0");
  if (out->n > map_capacity) {  // stage 1 stops before it writes more
    return fail("the number of map entries must be <= 100000");
  }
  if (!lines.only_blank_lines_left(message)) {
    if (!message->empty()) return grid_file_status::malformed;
    return fail("unexpected line after the number of map entries (the number "
                "of histograms on line 2 does not match the lines after it)");
  }
  return grid_file_status::ok;
}

grid_file_status parse_grid_file(std::string_view text, grid_file* out,
                                 std::string* message) {
  line_reader lines(text, temp_line_cap);
  return parse_grid_file(lines, out, message);
}

bool copy_snippet(line_reader& reader, std::FILE* out, int n,
                  std::string* message) {
  field_lines lines(reader, snippet_file_name, out);
  std::vector<std::string_view> fields;
  message->clear();
  // The marker without its line end, as the reader gives the line.
  const std::string_view marker(end_copy_line, std::strlen(end_copy_line) - 1);
  do {
    if (!lines.next(&fields, message)) {
      if (message->empty()) {
        *message = "temp1.tmp has no end-copy line: it is not stage 1's file";
      }
      return false;
    }
  } while (lines.line() != marker);
  const auto fail = [&](const std::string& what) {
    *message = lines.at_line() + what;
    return false;
  };
  const std::string count = std::to_string(n);
  int value = 0;
  if (!lines.next(&fields, message)) {
    if (message->empty()) {
      *message = "temp1.tmp ends early: the map's count line is missing";
    }
    return false;
  }
  if (fields.size() != 1 || !to_int(fields[0], &value) || value != n) {
    return fail("expected the number of map entries, " + count +
                " as on temp2.tmp's last line");
  }
  for (int e = 0; e < n; ++e) {
    if (!lines.next(&fields, message)) {
      if (message->empty()) {
        *message = "temp1.tmp ends early: the map has " + std::to_string(e) +
                   " of its " + count + " entries";
      }
      return false;
    }
    int g = 0;
    if (fields.size() != 2 || !to_int(fields[0], &value) ||
        !to_int(fields[1], &g)) {
      return fail("expected a map entry, two integers");
    }
  }
  if (!lines.only_blank_lines_left(message)) {
    if (!message->empty()) return false;
    return fail("unexpected line after the map's " + count + " entries");
  }
  return true;
}

bool check_snippet_map(std::string_view snippet, int n, std::string* message) {
  line_reader lines(snippet, temp_line_cap);
  return copy_snippet(lines, nullptr, n, message);
}

}  // namespace o3
