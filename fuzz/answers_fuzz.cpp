// libFuzzer target: the answer reader and the token parsers on any input.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "driver/answers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  double real = 0.0;
  if (o3::parse_real(text, &real) && !std::isfinite(real)) std::abort();
  long long integer = 0;
  if (o3::parse_integer(text, &integer) && text.find_first_of(".eE") != text.npos) {
    std::abort();  // an integer has digits and a sign only
  }

  // fmemopen refuses an empty buffer; the reader then sees the end at once.
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\n');
  std::FILE* in = fmemopen(buffer.data(), buffer.size(), "r");
  if (in == nullptr) return 0;
  o3::answer_reader reader(in);
  // Three reals, then an integer, as a dialogue and its continue prompt ask
  // them; every read takes at least one character, so the loop ends. Input
  // that cannot be read on (a NUL byte, an overlong line) ends it too, and
  // must say why.
  for (int turn = 0;; ++turn) {
    o3::answer a = o3::answer::ok;
    if (turn % 4 == 3) {
      a = reader.read_integer(&integer);
    } else {
      a = reader.read_real(&real);
      if (a == o3::answer::ok && !std::isfinite(real)) std::abort();
    }
    if (a == o3::answer::unreadable && reader.failure().empty()) std::abort();
    if (a == o3::answer::end_of_input || a == o3::answer::unreadable) break;
  }
  std::fclose(in);
  return 0;
}
