// Lines of text read with bounded memory, whatever the input holds.
// The sampler's C twin: next_line in sampler/o3_read.c.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace o3 {

class line_reader {
 public:
  enum status { line, end, too_long, nul_byte, read_error };

  // From a stream (not closed here) or from text in memory (kept by the
  // caller); a line has at most `cap` bytes before its '\n'.
  line_reader(std::FILE* in, std::size_t cap) : in_(in), cap_(cap) {}
  line_reader(std::string_view text, std::size_t cap) : text_(text), cap_(cap) {}

  // The next line, without its '\n' (the last one may have none). A line
  // longer than cap, or holding a NUL byte, is refused as soon as that is
  // seen, the rest of it unread, and *line holds what came before; the
  // reader should not be used after that, nor after end or read_error.
  status next(std::string* line);

  // Number of the line last returned or refused, from 1.
  long number() const { return number_; }

  // Whether the line last returned ended with '\n' (only the last line of
  // a text may not), so that a copy can keep the bytes as they were.
  bool line_ended() const { return ended_; }

  // The errno value of a read_error.
  int error() const { return error_; }

 private:
  int get();

  std::FILE* in_ = nullptr;
  std::string_view text_;
  std::size_t pos_ = 0;
  std::size_t cap_;
  long number_ = 0;
  int error_ = 0;
  bool ended_ = false;
};

}  // namespace o3
