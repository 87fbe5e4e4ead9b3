// libFuzzer target: temp2.tmp's reader and the check of temp1.tmp's map.
// An input is the text of temp2.tmp, a NUL byte, then the text of
// temp1.tmp.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/histogram_map.h"
#include "driver/temp1_file.h"
#include "driver/temp2_file.h"
#include "driver/temp_lines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view temp2 = input.substr(0, nul);
  const std::string_view temp1 = nul == input.npos ? std::string_view() : input.substr(nul + 1);

  o3::temp2_contents grid;
  std::string message;
  o3::line_reader temp2_lines(temp2, o3::temp_line_cap);
  const o3::temp2_status status = o3::parse_temp2(temp2_lines, &grid, &message);
  if (status == o3::temp2_status::malformed && message.empty()) std::abort();
  if (status == o3::temp2_status::ok) {
    // What stage 2 relies on.
    const bool sane = grid.count >= 1 && grid.count <= o3::N_histogram_MAX &&
                      grid.H.size() == static_cast<std::size_t>(grid.count) && grid.f > 1.0 &&
                      std::isfinite(grid.f) && grid.n >= 0 && grid.n <= o3::map_capacity;
    if (!sane) std::abort();
    for (const double h : grid.H) {
      if (!(h >= 0.0) || !std::isfinite(h)) std::abort();
    }
  }
  const int n = status == o3::temp2_status::ok ? grid.n : 3;
  message.clear();
  o3::line_reader temp1_lines(temp1, o3::temp_line_cap);
  if (!o3::copy_temp1(temp1_lines, nullptr, n, &message) && message.empty()) std::abort();
  return 0;
}
