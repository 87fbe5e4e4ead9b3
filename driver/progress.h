// A one-line report of stage 2's progress, drawn in place on a terminal.
#pragma once

#include <chrono>
#include <string>

namespace o3 {

// "stage 2: histogram 12 of 49, 0:03 elapsed, about 0:09 left": times as m:ss
// or h:mm:ss, the time left from the mean time per histogram so far (none
// while done is 0).
std::string progress_text(int done, int total, double elapsed);

// The line on standard error, drawn only when that is a terminal, and erased
// by a fatal error before its message; standard output is never touched.
class progress_line {
 public:
  explicit progress_line(int total);
  progress_line(const progress_line&) = delete;
  progress_line& operator=(const progress_line&) = delete;

  // Before stage 2 writes to standard output: erases the line when standard
  // output is a terminal too, where those lines would land inside it.
  void before_output();

  // `done` histograms finished: redraws the line, after every histogram when
  // standard output is a terminal (before_output erased it), else at most
  // ten times a second.
  void update(int done);

  // Erases the line for good.
  void finish();

 private:
  using clock = std::chrono::steady_clock;
  bool active_;
  bool every_histogram_;
  int total_;
  clock::time_point start_;
  clock::time_point last_;
};

}  // namespace o3
