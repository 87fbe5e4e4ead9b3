// Reading the dialogue's answers: whitespace-separated tokens, as scanf does,
// after the answers given on the command line.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace o3 {

// A token that is a finite real number (strtod syntax, nothing left over).
bool parse_real(std::string_view token, double* value);

// A token that is a decimal integer; one outside the range of long long is
// still an integer and is reported as the nearest end of that range.
bool parse_integer(std::string_view token, long long* value);

// The questions of a run; each can be answered once from the command line.
enum class question { h0, h_max, losses, go_on };
inline constexpr int question_count = 4;

enum class answer { ok, refused, end_of_input };

// Reads answers token by token from one stream. It never ends the run
// itself, so that a fuzzer can drive it to the end of any input.
class answer_reader {
 public:
  explicit answer_reader(std::FILE* in) : in_(in) {}

  // The next token, leading white space skipped; false at end of input.
  bool next_token(std::string* token);

  // Drops what is left of the current line, its line end included.
  void discard_line();

  // The next token as a finite real (or an integer): refused, with the rest
  // of its line dropped, when it is not one.
  answer read_real(double* value);
  answer read_integer(long long* value);

 private:
  template <typename T>
  answer read(bool (*parse)(std::string_view, T*), T* value);

  std::FILE* in_;
};

// The answers of a run: the command line's first, each used the first time
// its question is asked, then the tokens of one stream.
class answer_source {
 public:
  explicit answer_source(std::FILE* in) : reader_(in) {}

  // The answer the command line gives to q.
  void preset(question q, std::string token);

  // The answer to q, standard output flushed first so that its prompt shows:
  // false when it is refused. At end of input the run ends with status 1 and
  // one line on stderr naming the question.
  bool read_real(question q, double* value);
  bool read_integer(question q, long long* value);

  // Prints the refusal `text` of the last answer. One from the command line
  // ends the run with status 2: asking again would wait on standard input,
  // which a batch job may not have.
  void refuse(const char* text) const;

 private:
  std::optional<std::string> take_preset(question q);
  static bool settle(question q, answer a);

  answer_reader reader_;
  std::optional<std::string> presets_[question_count];
  bool last_was_preset_ = false;
};

// The answers that the dialogue and stage 1 share, read from standard input.
answer_source& console();

}  // namespace o3
