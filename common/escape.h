// Untrusted bytes (arguments, file names, answers) made safe to print in a
// message. The sampler's C twin: put_path in sampler/o3_read.c.
#pragma once

#include <string>
#include <string_view>

namespace o3 {

// Printable ASCII as it is, the backslash doubled; \n, \r and \t so
// written; every other byte (controls, DEL, bytes above 0x7f) as \xHH. The
// result never moves a terminal's cursor or starts an escape sequence.
std::string escape_bytes(std::string_view bytes);

// escape_bytes(bytes) between single quotes, as messages show an argument.
std::string in_quotes(std::string_view bytes);

}  // namespace o3
