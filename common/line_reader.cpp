#include "common/line_reader.h"

#include <cerrno>

namespace o3 {

int line_reader::get() {
  if (in_ == nullptr) {
    return pos_ < text_.size() ? static_cast<unsigned char>(text_[pos_++]) : EOF;
  }
  return std::getc(in_);
}

line_reader::status line_reader::next(std::string* text) {
  text->clear();
  ended_ = false;
  errno = 0;
  int ch = get();
  if (ch == EOF) {
    if (in_ != nullptr && std::ferror(in_) != 0) {
      error_ = errno != 0 ? errno : EIO;
      return read_error;
    }
    return end;
  }
  ++number_;
  for (; ch != EOF && ch != '\n'; ch = get()) {
    if (ch == '\0') return nul_byte;
    if (text->size() == cap_) return too_long;
    text->push_back(static_cast<char>(ch));
  }
  if (ch == EOF && in_ != nullptr && std::ferror(in_) != 0) {
    error_ = errno != 0 ? errno : EIO;
    return read_error;
  }
  ended_ = ch == '\n';
  return line;
}

}  // namespace o3
