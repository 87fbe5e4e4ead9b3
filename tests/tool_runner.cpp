#include "tests/tool_runner.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/escape.h"

namespace o3test {

tool_run::tool_run() {
  char name[] = "/tmp/o3e2e.XXXXXX";
  EXPECT_NE(mkdtemp(name), nullptr);
  dir_ = name;
}

tool_run::tool_run(const std::string& dir) : dir_(dir), owns_dir_(false) {}

tool_run::~tool_run() {
  if (pid_ > 0) kill(pid_, SIGKILL), waitpid(pid_, nullptr, 0);
  for (int fd : fds_)
    if (fd >= 0) close(fd);
  std::error_code e;
  if (owns_dir_) std::filesystem::remove_all(dir_, e);
}

void tool_run::put(const std::string& name, const std::string& text) const {
  std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
}

std::string tool_run::file(const std::string& name) const {
  // Never a device or a FIFO, even through a link: /dev/full reads as zeros
  // without end, and a FIFO waits for a writer.
  std::error_code e;
  if (!std::filesystem::is_regular_file(dir_ + "/" + name, e)) return "";
  std::ifstream in(dir_ + "/" + name, std::ios::binary);
  std::ostringstream text;
  if (in) text << in.rdbuf();
  return text.str();
}

bool tool_run::exists(const std::string& name) const {
  return std::filesystem::exists(dir_ + "/" + name);
}

std::vector<std::string> tool_run::files() const {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir_)) {
    names.push_back(e.path().filename());
  }
  std::sort(names.begin(), names.end());
  return names;
}

void tool_run::run(const std::string& input, const std::vector<std::string>& args, int seconds) {
  start(args);
  finish(input, seconds);
}

void tool_run::start(const std::vector<std::string>& args) {
  int in[2], to_out[2], to_err[2];
  ASSERT_TRUE(pipe(in) == 0 && pipe(to_out) == 0 && pipe(to_err) == 0);
  std::vector<char*> argv = {const_cast<char*>(O3TABLES_PATH)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_ = fork();
  ASSERT_GE(pid_, 0);
  if (pid_ == 0) {
    dup2(in[0], 0), dup2(to_out[1], 1), dup2(to_err[1], 2);
    for (int fd : {in[0], in[1], to_out[0], to_out[1], to_err[0], to_err[1]}) close(fd);
    if (!stdin_path.empty()) dup2(open(stdin_path.c_str(), O_RDONLY), 0);
    if (!stdout_path.empty()) dup2(open(stdout_path.c_str(), O_WRONLY), 1);
    if (close_stdout) close(1);
    const rlimit cap = {memory_cap, memory_cap}, size = {file_size_cap, file_size_cap};
    if (memory_cap != 0) setrlimit(RLIMIT_AS, &cap);
    if (file_size_cap != 0) setrlimit(RLIMIT_FSIZE, &size), signal(SIGXFSZ, SIG_IGN);
    for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) signal(s, SIG_DFL);  // as a shell starts it
    if (uid != 0 && (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)) {
      _exit(127);
    }
    if (chdir(dir_.c_str()) == 0) execv(O3TABLES_PATH, argv.data());
    _exit(127);
  }
  close(in[0]), close(to_out[1]), close(to_err[1]);
  signal(SIGPIPE, SIG_IGN);  // the tool may end before reading everything
  // Standard input is written as the tool reads it, so that neither side
  // blocks on a full pipe.
  fcntl(in[1], F_SETFL, O_NONBLOCK);
  fds_[0] = to_out[0], fds_[1] = to_err[0], fds_[2] = in[1];
  written_ = 0;
  out.clear(), err.clear();
}

template <typename Done>
bool tool_run::pump(const std::string* input, int seconds, Done done) {
  std::string* sinks[2] = {&out, &err};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          end - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0) return false;
    pollfd fds[3] = {
        {fds_[0], POLLIN, 0}, {fds_[1], POLLIN, 0}, {input != nullptr ? fds_[2] : -1, POLLOUT, 0}};
    if (poll(fds, 3, static_cast<int>(left)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) sinks[i]->append(buffer, static_cast<std::size_t>(got));
      else close(fds_[i]), fds_[i] = -1;
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      const ssize_t put = write(fds_[2], input->data() + written_, input->size() - written_);
      if (put > 0) written_ += static_cast<std::size_t>(put);
      // Done, or the tool closed its end (EPIPE): it reads no more.
      if ((put < 0 && errno != EAGAIN) || written_ == input->size()) {
        close(fds_[2]), fds_[2] = -1;
      }
    }
  }
  return true;
}

bool tool_run::wait_for(const std::string& text, int seconds) {
  // Standard input stays open and unwritten: the tool may wait on it.
  pump(nullptr, seconds,
       [&] { return out.find(text) != std::string::npos || (fds_[0] < 0 && fds_[1] < 0); });
  return out.find(text) != std::string::npos;
}

void tool_run::finish(const std::string& input, int seconds) {
  if (input.empty() && fds_[2] >= 0) close(fds_[2]), fds_[2] = -1;
  written_ = 0;
  if (!pump(&input, seconds, [&] { return fds_[0] < 0 && fds_[1] < 0; })) {
    kill(pid_, SIGKILL);
    ADD_FAILURE() << "o3tables did not end within " << seconds << " s";
  }
  for (int& fd : fds_)
    if (fd >= 0) close(fd), fd = -1;
  int wstatus = 0;
  waitpid(pid_, &wstatus, 0);
  pid_ = -1;
  status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

void tool_run::send_signal(int signal) const { kill(pid_, signal); }

bool can_run_as(uid_t uid, gid_t gid) {
  if (geteuid() != 0) return false;
  const pid_t child = fork();
  if (child == 0) {
    const bool became = setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0;
    _exit(became && access(O3TABLES_PATH, X_OK) == 0 ? 0 : 1);
  }
  int wstatus = 0;
  return child > 0 && waitpid(child, &wstatus, 0) == child && WIFEXITED(wstatus) &&
         WEXITSTATUS(wstatus) == 0;
}

command_result run_command(const std::string& line) {
  command_result r{-1, ""};
  std::FILE* pipe = popen((line + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return r;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
    r.out.append(buffer, got);
  }
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

namespace {

// The line of `text` that starts at `at`, with its line end if it has one.
std::string line_from(const std::string& text, std::size_t at) {
  const std::size_t end = text.find('\n', at);
  return text.substr(at, end == std::string::npos ? std::string::npos : end + 1 - at);
}

std::string shown(const std::string& line) {
  return line.empty() ? "the end" : o3::in_quotes(line);
}

}  // namespace

std::string first_difference(const std::string& expected, const std::string& got) {
  std::size_t e = 0, g = 0;
  for (int n = 1; e < expected.size() || g < got.size(); ++n) {
    const std::string want = line_from(expected, e), have = line_from(got, g);
    if (want != have) {
      return "line " + std::to_string(n) + ": expected " + shown(want) + ", got " + shown(have);
    }
    e += want.size();
    g += have.size();
  }
  return "";
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

}  // namespace o3test
