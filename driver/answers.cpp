// Token reading and number parsing for the dialogue, and where answers come from.
#include "driver/answers.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/escape.h"
#include "common/exit_status.h"
#include "driver/files.h"

namespace o3 {
namespace {

// The end-of-input message names the question.
const char* const question_names[question_count] = {"H0", "H_max", "the % of losses",
                                                    "the continue prompt"};

}  // namespace

bool parse_integer(std::string_view token, long long* value) {
  std::size_t i = 0;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) ++i;
  if (i == token.size()) return false;
  for (std::size_t k = i; k < token.size(); ++k) {
    if (!std::isdigit(static_cast<unsigned char>(token[k]))) return false;
  }
  const std::string text(token);
  *value = std::strtoll(text.c_str(), nullptr, 10);  // clamps on overflow
  return true;
}

bool answer_reader::next_token(std::string* token) {
  token->clear();
  while (!ended_) {
    if (!have_line_) {
      switch (lines_.next(&line_)) {
        case line_reader::line:
          have_line_ = true;
          pos_ = 0;
          break;
        case line_reader::end:
          ended_ = true;
          break;
        case line_reader::too_long:
          failure_ = "standard input line " + std::to_string(lines_.number()) + " is longer than " +
                     std::to_string(answer_line_cap) + " bytes";
          ended_ = true;
          break;
        case line_reader::nul_byte:
          failure_ = "standard input line " + std::to_string(lines_.number()) + " holds a NUL byte";
          ended_ = true;
          break;
        case line_reader::read_error:
          failure_ = std::string("cannot read standard input: ") + std::strerror(lines_.error());
          ended_ = true;
          break;
      }
      continue;
    }
    const auto blank = [&](std::size_t i) {
      return std::isspace(static_cast<unsigned char>(line_[i])) != 0;
    };
    while (pos_ < line_.size() && blank(pos_)) ++pos_;
    const std::size_t start = pos_;
    while (pos_ < line_.size() && !blank(pos_)) ++pos_;
    // What follows the token stays: it may be the rest a refusal drops.
    if (pos_ > start) {
      token->assign(line_, start, pos_ - start);
      return true;
    }
    have_line_ = false;
  }
  return false;
}

template <typename T>
answer answer_reader::read(bool (*parse)(std::string_view, T*), T* value) {
  std::string token;
  if (!next_token(&token)) {
    return failure_.empty() ? answer::end_of_input : answer::unreadable;
  }
  if (parse(token, value)) return answer::ok;
  have_line_ = false;  // the rest of a refused answer's line goes with it
  return answer::refused;
}

answer answer_reader::read_real(double* value) { return read(parse_real, value); }

answer answer_reader::read_integer(long long* value) { return read(parse_integer, value); }

void answer_source::preset(question q, std::string option, std::string token) {
  presets_[static_cast<int>(q)] = preset_answer{std::move(option), std::move(token)};
}

std::optional<std::string> answer_source::take_preset(question q) {
  // The prompt has no line end: it must be out before the read waits. A
  // log that cannot be written ends the run here, before any work.
  check_standard_output();
  last_preset_.reset();
  last_preset_.swap(presets_[static_cast<int>(q)]);
  if (!last_preset_) return std::nullopt;
  return last_preset_->token;
}

bool answer_source::answered_or_exit(question q, answer a) const {
  const char* name = question_names[static_cast<int>(q)];
  if (a == answer::end_of_input) {
    std::fprintf(stderr, "!!! end of input: no answer for %s\n", name);
    std::exit(exit_failed);
  }
  if (a == answer::unreadable) {
    std::fprintf(stderr, "!!! %s: no answer for %s\n", reader_.failure().c_str(), name);
    std::exit(exit_failed);
  }
  return a == answer::ok;
}

bool answer_source::read_real_or_exit(question q, double* value) {
  if (const auto token = take_preset(q)) return parse_real(*token, value);
  return answered_or_exit(q, reader_.read_real(value));
}

bool answer_source::read_integer_or_exit(question q, long long* value) {
  if (const auto token = take_preset(q)) return parse_integer(*token, value);
  return answered_or_exit(q, reader_.read_integer(value));
}

void answer_source::refuse_or_exit(const char* text) const {
  std::fputs(text, stdout);
  if (!last_preset_) return;
  // Asking again would wait on standard input, which a batch job may not
  // have; stderr names the option for a job whose standard output is a log.
  std::string_view reason = text;
  if (reason.starts_with("!!! ")) reason.remove_prefix(4);
  if (reason.ends_with('\n')) reason.remove_suffix(1);
  std::fprintf(stderr, "o3tables: %s '%s' refused: %.*s\n", last_preset_->option.c_str(),
               escape_bytes(last_preset_->token).c_str(), static_cast<int>(reason.size()),
               reason.data());
  std::exit(exit_usage);
}

answer_source& console() {
  static answer_source source(stdin);
  return source;
}

}  // namespace o3
