// A line-by-line reader of temp2.tmp with messages that name the line.
#include "driver/grid_file_reader.h"

#include <cctype>
#include <climits>
#include <cstddef>

#include "driver/answers.h"
#include "driver/grid_search.h"
#include "driver/temp_files.h"

namespace o3 {
namespace {

// The lines of a text and the whitespace-separated fields of one line.
class line_reader {
 public:
  // Lines are numbered from first_number + 1.
  explicit line_reader(std::string_view text, int first_number = 0)
      : text_(text), number_(first_number) {}

  // The fields of the next line; false when the text has no more lines.
  bool next(std::vector<std::string_view>* fields) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    const std::string_view line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++number_;
    fields->clear();
    std::size_t i = 0;
    while (i < line.size()) {
      while (i < line.size() && is_blank(line[i])) ++i;
      const std::size_t start = i;
      while (i < line.size() && !is_blank(line[i])) ++i;
      if (i > start) fields->push_back(line.substr(start, i - start));
    }
    return true;
  }

  // Number of the line last returned by next().
  int number() const { return number_; }

  // True when only blank lines follow.
  bool only_blank_lines_left() const {
    for (std::size_t i = pos_; i < text_.size(); ++i) {
      if (!is_blank(text_[i]) && text_[i] != '\n') return false;
    }
    return true;
  }

 private:
  static bool is_blank(char c) {
    return c != '\n' && std::isspace(static_cast<unsigned char>(c));
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int number_;
};

bool to_int(std::string_view field, int* value) {
  long long v = 0;
  if (!parse_integer(field, &v) || v < INT_MIN || v > INT_MAX) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

grid_file_status parse_grid_file(std::string_view text, grid_file* out,
                                 std::string* message) {
  line_reader lines(text);
  std::vector<std::string_view> fields;
  // Reads the next line, which must hold exactly `expected` fields.
  const auto fail = [&](const char* what) {
    *message = "temp2.tmp line " + std::to_string(lines.number()) + ": " + what;
    return grid_file_status::malformed;
  };
  const auto next_line = [&](std::size_t expected, const char* what) {
    if (!lines.next(&fields)) {
      *message = "temp2.tmp ends early: line " +
                 std::to_string(lines.number() + 1) + " should hold " + what;
      return false;
    }
    if (fields.size() != expected) {
      fail((std::string("expected ") + what).c_str());
      return false;
    }
    return true;
  };

  const char* range = "H0 and H_max, two numbers";
  if (!next_line(2, range)) return grid_file_status::malformed;
  if (!parse_real(fields[0], &out->H0) || !parse_real(fields[1], &out->H_max)) {
    return fail((std::string("expected ") + range).c_str());
  }

  const char* head = "the number of histograms and the factor";
  if (!next_line(2, head)) return grid_file_status::malformed;
  if (!to_int(fields[0], &out->count) || !parse_real(fields[1], &out->f)) {
    return fail((std::string("expected ") + head).c_str());
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
      return fail((std::string("expected ") + coupling).c_str());
    }
    if (h < 0.0) return fail("a coupling must be >= 0");
  }

  const char* entries = "the number of map entries";
  if (!next_line(1, entries)) return grid_file_status::malformed;
  if (!to_int(fields[0], &out->n)) {
    return fail((std::string("expected ") + entries).c_str());
  }
  if (out->n < 0) return fail("the number of map entries must be >= 0");
  if (out->n > map_capacity) {  // stage 1 stops before it writes more
    return fail("the number of map entries must be <= 100000");
  }
  if (!lines.only_blank_lines_left()) {
    lines.next(&fields);
    return fail("unexpected line after the number of map entries (the number "
                "of histograms on line 2 does not match the lines after it)");
  }
  return grid_file_status::ok;
}

bool check_snippet_map(std::string_view snippet, int n, std::string* message) {
  const std::size_t marker = snippet.find(end_copy_line);
  if (marker == std::string_view::npos) {
    *message = "temp1.tmp has no end-copy line: it is not stage 1's file";
    return false;
  }
  const std::string_view map = snippet.substr(marker);
  int before = 0;  // lines before the end-copy line
  for (std::size_t i = 0; i < marker; ++i) before += snippet[i] == '\n';
  line_reader lines(map, before);
  std::vector<std::string_view> fields;
  lines.next(&fields);  // the end-copy line
  const auto fail = [&](const std::string& what) {
    *message = "temp1.tmp line " + std::to_string(lines.number()) + ": " + what;
    return false;
  };
  const std::string count = std::to_string(n);
  int value = 0;
  if (!lines.next(&fields)) {
    *message = "temp1.tmp ends early: the map's count line is missing";
    return false;
  }
  if (fields.size() != 1 || !to_int(fields[0], &value) || value != n) {
    return fail("expected the number of map entries, " + count +
                " as on temp2.tmp's last line");
  }
  for (int e = 0; e < n; ++e) {
    if (!lines.next(&fields)) {
      *message = "temp1.tmp ends early: the map has " + std::to_string(e) +
                 " of its " + count + " entries";
      return false;
    }
    int g = 0;
    if (fields.size() != 2 || !to_int(fields[0], &value) ||
        !to_int(fields[1], &g)) {
      return fail("expected a map entry, two integers");
    }
  }
  if (!lines.only_blank_lines_left()) {
    lines.next(&fields);
    return fail("unexpected line after the map's " + count + " entries");
  }
  return true;
}

}  // namespace o3
