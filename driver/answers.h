// Reading the dialogue's answers: whitespace-separated tokens, as scanf does.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace o3 {

// A token that is a finite real number (strtod syntax, nothing left over).
bool parse_real(std::string_view token, double* value);

// A token that is a decimal integer; one outside the range of long long is
// still an integer and is reported as the nearest end of that range.
bool parse_integer(std::string_view token, long long* value);

// Reads answers token by token from one stream.
class answer_reader {
 public:
  explicit answer_reader(std::FILE* in) : in_(in) {}

  // The next token, leading white space skipped; false at end of input.
  bool next_token(std::string* token);

  // Drops what is left of the current line, its line end included.
  void discard_line();

  // The next answer to the question named `what` as a finite real, standard
  // output flushed first so that its prompt shows: false,
  // with the rest of the line dropped, when the token is not one. At end of
  // input the run ends with status 1 and one line on stderr naming `what`.
  bool read_real(const char* what, double* value);

  // Likewise for an integer answer.
  bool read_integer(const char* what, long long* value);

 private:
  // The next token, standard output flushed first; ends the run at end of
  // input.
  std::string next_answer(const char* what);
  [[noreturn]] static void end_of_input(const char* what);

  std::FILE* in_;
};

// The reader of standard input that the dialogue and stage 1 share.
answer_reader& console();

}  // namespace o3
