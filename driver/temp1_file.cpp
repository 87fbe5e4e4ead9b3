// temp1.tmp's lines, written by stage 1 and copied into O3.res by stage 2.
#include "driver/temp1_file.h"

#include <cstring>
#include <string_view>
#include <vector>

#include "driver/files.h"
#include "driver/mapping.h"
#include "driver/temp_lines.h"
#include "numeric/fatal.h"
#include "parameters/run_parameters.h"
#include "sampler/o3_format.h"

namespace o3 {

void write_temp1(std::FILE* out, const int* cst, const map_entry* map, int n) {
  std::fputs(O3_COPY_SNIPPET, out);
  std::fputs(O3_SNIPPET_IN_C, out);
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (k >= 2) std::fputs(O3_C_ELSE, out);
    std::fprintf(out, O3_C_LOOKUP, shown_upper_end(k), cst[k], o3::D_Hn[k]);
  }
  std::fprintf(out, O3_C_CLOSE, o3::H_max);
  std::fputs(O3_DASH, out);
  std::fputs(O3_SNIPPET_IN_FORTRAN, out);
  for (int k = 1; k <= o3::N_DH; ++k) {
    if (k >= 2) std::fputs(O3_FORTRAN_ELSE, out);
    std::fprintf(out, O3_FORTRAN_LOOKUP, shown_upper_end(k), cst[k], o3::D_Hn[k]);
  }
  std::fprintf(out, O3_FORTRAN_CLOSE, o3::H_max);
  std::fputs(O3_END_COPY, out);
  std::fprintf(out, O3_COUNT, n);
  for (int e = 0; e < n; ++e) std::fprintf(out, O3_MAP_ENTRY, map[e].j, map[e].g);
}

bool copy_temp1(line_reader& reader, std::FILE* out, int n, std::string* message) {
  temp_lines lines(reader, temp1_name, out);
  std::vector<std::string_view> fields;
  message->clear();
  // The marker without its line end, as the reader gives the line.
  const std::string_view marker(O3_END_COPY, std::strlen(O3_END_COPY) - 1);
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
  // Stage 2 sizes the map in O3.res from temp2.tmp's count: the two must agree.
  if (fields.size() != 1 || !field_to_int(fields[0], &value) || value != n) {
    return fail("expected the number of map entries, " + count + " as on temp2.tmp's last line");
  }
  for (int e = 0; e < n; ++e) {
    if (!lines.next(&fields, message)) {
      if (message->empty()) {
        *message = "temp1.tmp ends early: the map has " + std::to_string(e) + " of its " + count +
                   " entries";
      }
      return false;
    }
    int g = 0;
    if (fields.size() != 2 || !field_to_int(fields[0], &value) || !field_to_int(fields[1], &g)) {
      return fail("expected a map entry, two integers");
    }
  }
  if (!lines.only_blank_lines_left(message)) {
    if (!message->empty()) return false;
    return fail("unexpected line after the map's " + count + " entries");
  }
  return true;
}

void copy_temp1_file(std::FILE* out, int n) {
  std::FILE* file = open_input(temp1_name);
  line_reader lines(file, temp_line_cap);
  std::string message;
  const bool ok = copy_temp1(lines, out, n, &message);
  std::fclose(file);
  if (!ok) nrerror(message.c_str());
}

}  // namespace o3
