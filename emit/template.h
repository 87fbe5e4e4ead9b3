// The generated files are written from readable templates in which @NAME@
// marks where a value of the table goes.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>

namespace o3::emit {

using substitution = std::pair<std::string_view, std::string>;

// The template with every @NAME@ of the substitutions replaced by its text;
// a marker without a substitution is left as it is.
std::string fill(std::string_view text, std::initializer_list<substitution> values);

// Writes text to the file at path; false (errno set) when that fails.
bool write_file(const std::string& path, const std::string& text);

}  // namespace o3::emit
