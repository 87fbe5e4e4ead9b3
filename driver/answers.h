// The dialogue's answers: the command line's, then whitespace-separated tokens.
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "common/line_reader.h"
#include "common/real_number.h"  // parse_real, for the answers and the temp files

namespace o3 {

// A token that is a decimal integer; one outside the range of long long is
// still an integer and is reported as the nearest end of that range.
bool parse_integer(std::string_view token, long long* value);

// The questions of a run; each can be answered once from the command line.
enum class question { h0, h_max, losses, go_on };
inline constexpr int question_count = 4;

// unreadable: the input holds what no answer can (see answer_reader).
enum class answer { ok, refused, end_of_input, unreadable };

// Longest line of answers: far beyond any number typed, small enough that
// memory stays bounded whatever is piped in.
inline constexpr std::size_t answer_line_cap = std::size_t{1} << 20;

// Reads answers token by token from one stream, a line at a time; it never
// ends the run itself, so that a fuzzer can drive it to the end of any input.
class answer_reader {
 public:
  explicit answer_reader(std::FILE* in) : lines_(in, answer_line_cap) {}

  // The next token as a finite real (or an integer): refused, with the rest
  // of its line dropped, when it is not one.
  answer read_real(double* value);
  answer read_integer(long long* value);

  // Why the input cannot be read on ("standard input line 3 holds a NUL
  // byte"); empty while it can, and at its plain end.
  const std::string& failure() const { return failure_; }

 private:
  // The next token, leading white space skipped; false at end of input, and
  // from a line longer than answer_line_cap, a NUL byte or a read error on.
  bool next_token(std::string* token);
  template <typename T>
  answer read(bool (*parse)(std::string_view, T*), T* value);

  line_reader lines_;
  std::string line_;
  std::size_t pos_ = 0;
  bool have_line_ = false;
  bool ended_ = false;
  std::string failure_;
};

// The answers of a run: the command line's first, each used the first time
// its question is asked, then the tokens of one stream.
class answer_source {
 public:
  explicit answer_source(std::FILE* in) : reader_(in) {}

  // The answer the command line gives to q with `option`.
  void preset(question q, std::string option, std::string token);

  // The answer to q after its prompt is flushed: false when it is refused.
  // End of input, or input that cannot be read on, exits with exit_failed.
  bool read_real_or_exit(question q, double* value);
  bool read_integer_or_exit(question q, long long* value);

  // Prints the refusal `text` ("!!! reason\n") of the last answer; one from
  // the command line exits with exit_usage, saying on stderr which and why.
  void refuse_or_exit(const char* text) const;

 private:
  struct preset_answer {
    std::string option;
    std::string token;
  };
  std::optional<std::string> take_preset(question q);
  bool answered_or_exit(question q, answer a) const;

  answer_reader reader_;
  std::optional<preset_answer> presets_[question_count];
  std::optional<preset_answer> last_preset_;
};

// The answers that the dialogue and stage 1 share, read from standard input.
answer_source& console();

}  // namespace o3
