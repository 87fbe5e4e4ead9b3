// The nearest known name to a mistyped one, for "did you mean ...?".
#pragma once

#include <span>
#include <string_view>

namespace o3 {

// The first of `known` at the least edit distance (insertions, deletions,
// substitutions of bytes) from `typed`, if that distance is at most a third
// of the name's length and at most 3: near enough to be a slip of the
// keyboard. Empty otherwise.
std::string_view nearest_name(std::string_view typed, std::span<const std::string_view> known);

}  // namespace o3
