#include "common/suggest.h"

#include <algorithm>
#include <vector>

namespace o3 {
namespace {

std::size_t edit_distance(std::string_view a, std::string_view b) {
  // One row of the classic table; an argument may be long, a name is short.
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string_view nearest_name(std::string_view typed, std::span<const std::string_view> known) {
  std::string_view best;
  std::size_t best_distance = 0;
  for (const std::string_view name : known) {
    // Far longer arguments are no slip: not worth the table.
    if (typed.size() > 2 * name.size() + 3) continue;
    const std::size_t d = edit_distance(typed, name);
    const std::size_t allowed = std::min<std::size_t>(3, name.size() / 3);
    if (d <= allowed && (best.empty() || d < best_distance)) {
      best = name;
      best_distance = d;
    }
  }
  return best;
}

}  // namespace o3
