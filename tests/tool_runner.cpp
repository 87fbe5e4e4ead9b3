#include "tests/tool_runner.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace o3test {

tool_run::tool_run() {
  char name[] = "/tmp/o3e2e.XXXXXX";
  EXPECT_NE(mkdtemp(name), nullptr);
  dir_ = name;
}

tool_run::~tool_run() { std::error_code e; std::filesystem::remove_all(dir_, e); }

void tool_run::put(const std::string& name, const std::string& text) const {
  std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
}

std::string tool_run::file(const std::string& name) const {
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

void tool_run::run(const std::string& input, const std::vector<std::string>& args,
                   int seconds) {
  int in[2], to_out[2], to_err[2];
  ASSERT_TRUE(pipe(in) == 0 && pipe(to_out) == 0 && pipe(to_err) == 0);
  std::vector<char*> argv = {const_cast<char*>(O3TABLES_PATH)};
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(in[0], 0), dup2(to_out[1], 1), dup2(to_err[1], 2);
    for (int fd : {in[0], in[1], to_out[0], to_out[1], to_err[0], to_err[1]}) close(fd);
    if (chdir(dir_.c_str()) == 0) execv(O3TABLES_PATH, argv.data());
    _exit(127);
  }
  close(in[0]), close(to_out[1]), close(to_err[1]);
  signal(SIGPIPE, SIG_IGN);  // the tool may end before reading everything
  // Standard input is written as the tool reads it, so that neither side
  // blocks on a full pipe.
  fcntl(in[1], F_SETFL, O_NONBLOCK);
  std::size_t written = 0;
  pollfd fds[3] = {{to_out[0], POLLIN, 0}, {to_err[0], POLLIN, 0}, {in[1], POLLOUT, 0}};
  if (input.empty()) close(in[1]), fds[2].fd = -1;
  std::string* sinks[2] = {&out, &err};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      ADD_FAILURE() << "o3tables did not end within " << seconds << " s";
      break;
    }
    if (poll(fds, 3, static_cast<int>(left)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) sinks[i]->append(buffer, static_cast<std::size_t>(got));
      else close(fds[i].fd), fds[i].fd = -1;
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      const ssize_t put = write(fds[2].fd, input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      // Done, or the tool closed its end (EPIPE): it reads no more.
      if ((put < 0 && errno != EAGAIN) || written == input.size()) {
        close(fds[2].fd), fds[2].fd = -1;
      }
    }
  }
  for (const pollfd& p : fds) if (p.fd >= 0) close(p.fd);
  int wstatus = 0;
  waitpid(pid, &wstatus, 0);
  status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

int count_of(const std::string& text, const std::string& what) {
  int n = 0;
  for (auto p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
  return n;
}

}  // namespace o3test
