// Token reading and number parsing for the dialogue.
#include "driver/answers.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace o3 {

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

std::string answer_reader::next_answer(const char* what) {
  // The prompt has no line end: it must be out before the read waits.
  std::fflush(stdout);
  std::string token;
  if (!next_token(&token)) end_of_input(what);
  return token;
}

bool answer_reader::read_real(const char* what, double* value) {
  if (parse_real(next_answer(what), value)) return true;
  discard_line();
  return false;
}

bool answer_reader::read_integer(const char* what, long long* value) {
  if (parse_integer(next_answer(what), value)) return true;
  discard_line();
  return false;
}

void answer_reader::end_of_input(const char* what) {
  std::fprintf(stderr, "!!! end of input: no answer for %s\n", what);
  std::exit(1);
}

answer_reader& console() {
  static answer_reader reader(stdin);
  return reader;
}

}  // namespace o3
