// Token reading and number parsing for the dialogue.
#include "driver/answers.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace o3 {
namespace {

// The end-of-input message names the question.
const char* const question_names[question_count] = {
    "H0", "H_max", "the % of losses", "the continue prompt"};

}  // namespace

bool parse_real(std::string_view token, double* value) {
  if (token.empty()) return false;
  const std::string text(token);  // strtod needs a terminated string
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  // A leading blank is not part of a token, and an overflow gives an
  // infinity, which is refused with the other values that are not finite.
  if (end != text.c_str() + text.size() || std::isspace(
          static_cast<unsigned char>(text.front())) || !std::isfinite(v)) {
    return false;
  }
  *value = v;
  return true;
}

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
  int ch = std::getc(in_);
  while (ch != EOF && std::isspace(ch)) ch = std::getc(in_);
  while (ch != EOF && !std::isspace(ch)) {
    token->push_back(static_cast<char>(ch));
    ch = std::getc(in_);
  }
  // The delimiter stays unread: it may be the line end a refusal drops.
  if (ch != EOF) std::ungetc(ch, in_);
  return !token->empty();
}

void answer_reader::discard_line() {
  int ch = std::getc(in_);
  while (ch != EOF && ch != '\n') ch = std::getc(in_);
}

template <typename T>
answer answer_reader::read(bool (*parse)(std::string_view, T*), T* value) {
  std::string token;
  if (!next_token(&token)) return answer::end_of_input;
  if (parse(token, value)) return answer::ok;
  discard_line();
  return answer::refused;
}

answer answer_reader::read_real(double* value) {
  return read(parse_real, value);
}

answer answer_reader::read_integer(long long* value) {
  return read(parse_integer, value);
}

void answer_source::preset(question q, std::string token) {
  presets_[static_cast<int>(q)] = std::move(token);
}

std::optional<std::string> answer_source::take_preset(question q) {
  // The prompt has no line end: it must be out before the read waits.
  std::fflush(stdout);
  std::optional<std::string> token;
  token.swap(presets_[static_cast<int>(q)]);
  last_was_preset_ = token.has_value();
  return token;
}

bool answer_source::settle(question q, answer a) {
  if (a == answer::end_of_input) {
    std::fprintf(stderr, "!!! end of input: no answer for %s\n",
                 question_names[static_cast<int>(q)]);
    std::exit(1);
  }
  return a == answer::ok;
}

bool answer_source::read_real(question q, double* value) {
  if (const auto token = take_preset(q)) return parse_real(*token, value);
  return settle(q, reader_.read_real(value));
}

bool answer_source::read_integer(question q, long long* value) {
  if (const auto token = take_preset(q)) return parse_integer(*token, value);
  return settle(q, reader_.read_integer(value));
}

void answer_source::refuse(const char* text) const {
  std::fputs(text, stdout);
  if (last_was_preset_) std::exit(2);
}

answer_source& console() {
  static answer_source source(stdin);
  return source;
}

}  // namespace o3
