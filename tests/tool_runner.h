// Runs of the built o3tables in temporary directories, its texts, and other commands.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace o3test {

// One run in its own directory under /tmp, removed with its files at the end.
class tool_run {
 public:
  tool_run();
  // A run in the existing directory `dir`, which is kept.
  explicit tool_run(const std::string& dir);
  ~tool_run();
  tool_run(const tool_run&) = delete;
  tool_run& operator=(const tool_run&) = delete;
  void put(const std::string& name, const std::string& text) const;  // before run
  // Runs the tool with `args`, pipes `input` (of any size) on standard input
  // and closes it; kills the tool and fails the test after `seconds`.
  void run(const std::string& input, const std::vector<std::string>& args = {}, int seconds = 60);
  // run() in steps: start the tool, read its output until `text` shows on
  // standard output (false after `seconds`), then pipe the rest and wait.
  void start(const std::vector<std::string>& args = {});
  bool wait_for(const std::string& text, int seconds = 60);
  void finish(const std::string& input = "", int seconds = 60);
  void send_signal(int signal) const;
  std::string file(const std::string& name) const;  // "" when missing or no regular file
  bool exists(const std::string& name) const;
  std::vector<std::string> files() const;  // names in the directory, sorted
  const std::string& dir() const { return dir_; }
  // Set before start: files in place of the pipes (e.g. /dev/zero as
  // standard input, /dev/full as standard output); caps in bytes on the
  // address space and on the size of a file written (0: none; a write
  // beyond the latter fails with EFBIG, as on a full disk).
  std::string stdin_path, stdout_path;
  bool close_stdout = false;  // as `>&-` leaves it
  // The user and group the tool runs as, from a test run by root; 0: the
  // test's own.
  uid_t uid = 0;
  gid_t gid = 0;
  unsigned long memory_cap = 0, file_size_cap = 0;
  std::string out, err;
  int status = -1;  // exit status; 128 + signal number when killed
 private:
  // Moves output and input until `done` or the deadline; false at the
  // deadline. Standard input is written only when `input` is given.
  template <typename Done>
  bool pump(const std::string* input, int seconds, Done done);
  std::string dir_;
  bool owns_dir_ = true;
  pid_t pid_ = -1;
  int fds_[3] = {-1, -1, -1};  // the tool's stdout, stderr, stdin
  std::size_t written_ = 0;
};

// Whether tool_run can run the tool as `uid`: the test runs as root and
// that user may execute the built tool. The tests of directories shared by
// several users need it, and are skipped without it.
bool can_run_as(uid_t uid, gid_t gid);

// A shell line for the programs the tests compile or build, never the tool:
// its exit status (-1 when it did not exit) and its output and errors together.
struct command_result {
  int status;
  std::string out;
};
command_result run_command(const std::string& line);

std::vector<std::string> lines_of(const std::string& text);      // without "\n"
int count_of(const std::string& text, const std::string& what);  // overlaps counted

// Empty when the texts are equal, else where `got` first departs from
// `expected`: "line N: expected 'E', got 'G'", each line escaped as the
// tool's messages show an argument (its line end as \n), or "the end" where
// a text has no line left.
std::string first_difference(const std::string& expected, const std::string& got);

// An empty line, 3 blanks and 59 dashes, two framed lines, the dashes again,
// 34 blanks before "x,y -> [-1,1[ " and an empty line.
inline const std::string banner =
    "\n   " + std::string(59, '-') +
    "\n   | O(3)  random number: P= sin(Pi.x) .exp(H.cos(PI.x)-H).dx|"
    "\n   |                       =            exp(H.y-H).dy        |\n   " +
    std::string(59, '-') + "\n" + std::string(34, ' ') + "x,y -> [-1,1[ \n\n";
inline const std::string ask_H0 = "give Hinitial (H0);    example: 0.(normal)           -> H0=";
inline const std::string ask_H_max =
    "give Hmaximum (H_max); example: 100.                 -> H_max=";
inline const std::string ask_losses =
    "give the % of losses to accept (>=1%); example: 10 for 10%  -> %losses=";
inline const std::string ask_continue = "Do you want to continue (0=No, 1=yes)? (1) ->  ";
inline const std::string dash_line = "     " + std::string(35, '-') + "\n\n";

// Each question: its prompt, its name in the end-of-input message, and its
// refusal of an answer that is no number.
struct question_texts {
  std::string prompt, name, not_a_number;
};
inline const question_texts questions[] = {
    {ask_H0, "H0", "!!! H0 must be a finite number\n"},
    {ask_H_max, "H_max", "!!! H_max must be a finite number\n"},
    {ask_losses, "the % of losses", "!!! The loss must be a finite number\n"},
    {ask_continue, "the continue prompt", "!!! The answer must be an integer (0=No, 1=yes)\n"}};

}  // namespace o3test
