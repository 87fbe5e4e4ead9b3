// libFuzzer target: temp2.tmp's reader and the check of temp1.tmp's map.
// An input is the text of temp2.tmp, a NUL byte, then the text of
// temp1.tmp.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "driver/grid_file_reader.h"
#include "driver/grid_search.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t nul = input.find('\0');
  const std::string_view temp2 = input.substr(0, nul);
  const std::string_view temp1 =
      nul == input.npos ? std::string_view() : input.substr(nul + 1);

  o3::grid_file grid;
  std::string message;
  const o3::grid_file_status status = o3::parse_grid_file(temp2, &grid, &message);
  if (status == o3::grid_file_status::malformed && message.empty()) std::abort();
  if (status == o3::grid_file_status::ok) {
    // What stage 2 relies on.
    const bool sane = grid.count >= 1 && grid.count <= o3::N_histogram_MAX &&
                      grid.H.size() == static_cast<std::size_t>(grid.count) &&
                      grid.f > 1.0 && std::isfinite(grid.f) && grid.n >= 0 &&
                      grid.n <= o3::map_capacity;
    if (!sane) std::abort();
    for (const double h : grid.H) {
      if (!(h >= 0.0) || !std::isfinite(h)) std::abort();
    }
  }
  const int n = status == o3::grid_file_status::ok ? grid.n : 3;
  message.clear();
  if (!o3::check_snippet_map(temp1, n, &message) && message.empty()) std::abort();
  return 0;
}
