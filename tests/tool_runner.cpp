#include "tests/tool_runner.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

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

void tool_run::run(const std::string& input) {
  ASSERT_LT(input.size(), 4096u);  // fits the pipe: writing it cannot block
  int in[2], to_out[2], to_err[2];
  ASSERT_TRUE(pipe(in) == 0 && pipe(to_out) == 0 && pipe(to_err) == 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    dup2(in[0], 0), dup2(to_out[1], 1), dup2(to_err[1], 2);
    for (int fd : {in[0], in[1], to_out[0], to_out[1], to_err[0], to_err[1]}) close(fd);
    char* argv[] = {const_cast<char*>(O3TABLES_PATH), nullptr};
    if (chdir(dir_.c_str()) == 0) execv(O3TABLES_PATH, argv);
    _exit(127);
  }
  close(in[0]), close(to_out[1]), close(to_err[1]);
  signal(SIGPIPE, SIG_IGN);  // the tool may end before reading everything
  EXPECT_EQ(write(in[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(in[1]);
  pollfd fds[2] = {{to_out[0], POLLIN, 0}, {to_err[0], POLLIN, 0}};
  std::string* sinks[2] = {&out, &err};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (fds[0].fd >= 0 || fds[1].fd >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      ADD_FAILURE() << "o3tables did not end within 60 s";
      break;
    }
    if (poll(fds, 2, static_cast<int>(left)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) sinks[i]->append(buffer, static_cast<std::size_t>(got));
      else close(fds[i].fd), fds[i].fd = -1;
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

}  // namespace o3test
