// Filling the templates of the generated files.
#include "emit/template.h"

#include <cstdio>

#include "checker/text.h"

namespace o3::emit {

std::string fill(std::string_view text, const std::vector<substitution>& values) {
  std::string out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t open = text.find('@', at);
    const std::size_t close =
        open == std::string_view::npos ? open : text.find('@', open + 1);
    if (close == std::string_view::npos) break;
    const std::string_view name = text.substr(open + 1, close - open - 1);
    const substitution* found = nullptr;
    for (const substitution& s : values) {
      if (s.first == name) found = &s;
    }
    if (found == nullptr) {
      // Not a marker: keep the '@' and look again from the next one.
      out.append(text.substr(at, close - at));
      at = close;
      continue;
    }
    out.append(text.substr(at, open - at));
    out.append(found->second);
    at = close + 1;
  }
  out.append(text.substr(at));
  return out;
}

std::vector<substitution> layout_substitutions(const table_facts& f) {
  return {{"ND", checker::text("%d", f.Nd_poi)},
          {"HISTOGRAMS", checker::text("%d", f.histograms)},
          {"MAP_LINE", checker::text("%d", f.map_line)},
          {"MAP_ENTRIES", checker::text("%d", f.map_entries)},
          {"FIRST_CELL", checker::text("%ld", static_cast<long>(f.first_cell))},
          {"CELLS", checker::text("%zu", f.cells)},
          {"ROUTES", checker::text("%zu", f.routes.size())}};
}

bool write_file(const std::string& path, const std::string& text) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  return std::fclose(out) == 0 && written;
}

}  // namespace o3::emit
