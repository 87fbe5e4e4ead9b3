#include "common/escape.h"

namespace o3 {

std::string escape_bytes(std::string_view bytes) {
  static constexpr char hex[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size());
  for (const char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    switch (b) {
      case '\\':
        text += "\\\\";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\r':
        text += "\\r";
        break;
      case '\t':
        text += "\\t";
        break;
      default:
        if (b >= 0x20 && b < 0x7f) {
          text += c;
        } else {
          text += "\\x";
          text += hex[b >> 4];
          text += hex[b & 0xf];
        }
    }
  }
  return text;
}

std::string in_quotes(std::string_view bytes) {
  std::string out(1, '\'');
  out += escape_bytes(bytes);
  out += '\'';
  return out;
}

}  // namespace o3
