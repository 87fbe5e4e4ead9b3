// Stage 2's progress line: its text, and drawing and erasing it in place.
#include "driver/progress.h"

#include <unistd.h>

#include <cstdio>

#include "numeric/fatal.h"

namespace o3 {
namespace {

// Width of the line now on the terminal, 0 when none is; a fatal error may
// come at any moment of stage 2, and its hook has no object to ask.
int shown_width = 0;

void erase_shown() {
  if (shown_width == 0) return;
  std::fprintf(stderr, "\r%*s\r", shown_width, "");
  shown_width = 0;
}

std::string clock_text(double seconds) {
  const long long s = static_cast<long long>(seconds);
  char text[48];
  if (s >= 3600) {
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  } else {
    std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
  }
  return text;
}

}  // namespace

std::string progress_text(int done, int total, double elapsed) {
  std::string text = "stage 2: histogram " + std::to_string(done) + " of " + std::to_string(total) +
                     ", " + clock_text(elapsed) + " elapsed";
  if (done > 0) {
    const double left = elapsed / done * (total - done);
    text += ", about " + clock_text(left) + " left";
  }
  return text;
}

progress_line::progress_line(int total)
    : active_(isatty(2) == 1),
      every_histogram_(isatty(1) == 1),
      total_(total),
      start_(clock::now()),
      last_(start_) {
  if (active_) set_before_fatal(erase_shown);
}

void progress_line::before_output() {
  if (every_histogram_) erase_shown();
}

void progress_line::update(int done) {
  if (!active_) return;
  const clock::time_point now = clock::now();
  if (!every_histogram_ && now - last_ < std::chrono::milliseconds(100)) {
    return;
  }
  last_ = now;
  const std::string text =
      progress_text(done, total_, std::chrono::duration<double>(now - start_).count());
  const int width = static_cast<int>(text.size());
  // Blanks over what is left of a longer line before it.
  std::fprintf(stderr, "\r%s%*s", text.c_str(), shown_width > width ? shown_width - width : 0, "");
  if (shown_width < width) shown_width = width;
  std::fflush(stderr);
}

void progress_line::finish() {
  if (!active_) return;
  erase_shown();
  set_before_fatal(nullptr);
}

}  // namespace o3
