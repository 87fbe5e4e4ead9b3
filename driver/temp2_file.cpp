// temp2.tmp's lines, written by stage 1 and read back by stage 2.
#include "driver/temp2_file.h"

#include <cstddef>
#include <string_view>

#include "driver/answers.h"
#include "driver/files.h"
#include "driver/histogram_map.h"
#include "driver/temp_lines.h"
#include "numeric/fatal.h"
#include "parameters/run_parameters.h"

namespace o3 {
namespace {

// The lines of temp2.tmp in file order, the coupling line once per
// histogram; the reader expects each line to hold one field per conversion.
constexpr char range_line[] = "%f %f\n";     // H0 H_max
constexpr char head_line[] = "%d %f\n";      // histograms, 1 + p/200
constexpr char coupling_line[] = "%d %f\n";  // i, coupling of histogram i
constexpr char map_count_line[] = "%d\n";    // entries of temp1.tmp's map

constexpr std::size_t fields_of(std::string_view format) {
  std::size_t n = 0;
  for (const char c : format) n += c == '%' ? 1 : 0;
  return n;
}

}  // namespace

void write_temp2(std::FILE* out, const double* grid, int N, int n) {
  std::fprintf(out, range_line, o3::H0, o3::H_max);
  std::fprintf(out, head_line, N + 1, o3::factor);
  for (int i = 0; i <= N; ++i) std::fprintf(out, coupling_line, i, grid[i]);
  std::fprintf(out, map_count_line, n);
}

temp2_status parse_temp2(line_reader& reader, temp2_contents* out, std::string* message) {
  temp_lines lines(reader, temp2_name);
  std::vector<std::string_view> fields;
  message->clear();
  const auto fail = [&](const std::string& what) {
    *message = lines.at_line() + what;
    return temp2_status::malformed;
  };
  // Reads the next line, which must hold the fields of `format`.
  const auto next_line = [&](const char* format, const char* what) {
    if (!lines.next(&fields, message)) {
      if (message->empty()) {
        *message = "temp2.tmp ends early: line " + std::to_string(lines.number() + 1) +
                   " should hold " + what;
      }
      return false;
    }
    if (fields.size() != fields_of(format)) {
      fail(std::string("expected ") + what);
      return false;
    }
    return true;
  };

  const char* range = "H0 and H_max, two numbers";
  if (!next_line(range_line, range)) return temp2_status::malformed;
  if (!parse_real(fields[0], &out->H0) || !parse_real(fields[1], &out->H_max)) {
    return fail(std::string("expected ") + range);
  }

  const char* head = "the number of histograms and the factor";
  if (!next_line(head_line, head)) return temp2_status::malformed;
  const long head_at = lines.number();
  if (!field_to_int(fields[0], &out->count) || !parse_real(fields[1], &out->f)) {
    return fail(std::string("expected ") + head);
  }
  if (out->count > N_histogram_MAX) {  // N_histogram >= N_histogram_MAX
    return temp2_status::too_many_histograms;
  }
  if (out->count < 1) return fail("the number of histograms must be >= 1");
  if (!(out->f > 1.0)) return fail("the factor must be > 1");

  const char* coupling = "a histogram index and its coupling H";
  out->H.assign(static_cast<std::size_t>(out->count), 0.0);
  for (double& h : out->H) {
    if (!next_line(coupling_line, coupling)) return temp2_status::malformed;
    // Lines are taken in order: the index is checked, never used.
    int index = 0;
    if (!field_to_int(fields[0], &index) || !parse_real(fields[1], &h)) {
      return fail(std::string("expected ") + coupling);
    }
    if (h < 0.0) return fail("a coupling must be >= 0");
  }

  const char* entries = "the number of map entries";
  if (!next_line(map_count_line, entries)) return temp2_status::malformed;
  if (!field_to_int(fields[0], &out->n)) {
    return fail(std::string("expected ") + entries);
  }
  if (out->n < 0) return fail("the number of map entries must be >= 0");
  if (out->n > map_capacity) {  // stage 1 stops before it writes more
    static_assert(map_capacity == 100000, "the message states it");
    return fail("the number of map entries must be <= 100000");
  }
  if (!lines.only_blank_lines_left(message)) {
    if (!message->empty()) return temp2_status::malformed;
    return fail(
        "unexpected line after the number of map entries (the number "
        "of histograms on line " +
        std::to_string(head_at) + " does not match the lines after it)");
  }
  return temp2_status::ok;
}

temp2_contents read_temp2() {
  std::FILE* file = open_input(temp2_name);
  line_reader lines(file, temp_line_cap);
  temp2_contents grid;
  std::string message;
  const temp2_status status = parse_temp2(lines, &grid, &message);
  std::fclose(file);
  switch (status) {
    case temp2_status::ok:
      return grid;
    case temp2_status::too_many_histograms:
      std::printf("N_histogram=%d >= N_histogram_MAX=%d\n", grid.count - 1, N_histogram_MAX);
      nrerror("N_histogram must be < N_histogram_MAX\n");
    case temp2_status::malformed:
      break;
  }
  nrerror(message.c_str());
}

}  // namespace o3
