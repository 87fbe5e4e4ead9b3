// The generated files are written from readable templates in which @NAME@
// marks where a value of the table goes.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "emit/table_facts.h"

namespace o3::emit {

using substitution = std::pair<std::string_view, std::string>;

// The template with every @NAME@ of the substitutions replaced by its text;
// a marker without a substitution is left as it is.
std::string fill(std::string_view text, const std::vector<substitution>& values);

// The table's counts and the dense map's extent, as both languages write
// them: ND, HISTOGRAMS, MAP_LINE, MAP_ENTRIES, FIRST_CELL, CELLS, ROUTES.
std::vector<substitution> layout_substitutions(const table_facts& f);

// Writes text to the file at path; false (errno set) when that fails.
bool write_file(const std::string& path, const std::string& text);

}  // namespace o3::emit
