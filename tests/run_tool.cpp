// A fork/exec runner for the end-to-end tests.
#include "run_tool.h"

#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace o3::testing {
namespace {

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

tool_result run_tool(const std::string& input,
                     const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& before) {
  char dir[] = "/tmp/o3e2e.XXXXXX";
  tool_result result;
  if (mkdtemp(dir) == nullptr) return result;
  for (const auto& [name, content] : before) {
    std::ofstream(std::filesystem::path(dir) / name, std::ios::binary) << content;
  }
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) return result;
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir) != 0) _exit(127);
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    std::vector<char*> argv{const_cast<char*>(O3TABLES_PATH)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(O3TABLES_PATH, argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  signal(SIGPIPE, SIG_IGN);
  std::size_t written = 0;
  if (input.empty()) close(in[1]);
  const std::time_t deadline = std::time(nullptr) + 60;
  pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0},
                   {input.empty() ? -1 : in[1], POLLOUT, 0}};
  int open_outputs = 2;
  while (open_outputs > 0 && std::time(nullptr) < deadline) {
    if (poll(fds, 3, 1000) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[65536];
      const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got <= 0) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open_outputs;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<std::size_t>(got));
      }
    }
    if (fds[2].fd >= 0 && fds[2].revents != 0) {
      const ssize_t put = write(fds[2].fd, input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put <= 0 || written == input.size()) {
        close(fds[2].fd);
        fds[2].fd = -1;
      }
    }
  }
  if (open_outputs > 0) kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  for (int i = 0; i < 3; ++i) {
    if (fds[i].fd >= 0) close(fds[i].fd);
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    result.files[entry.path().filename().string()] = read_file(entry.path());
  }
  std::filesystem::remove_all(dir);
  return result;
}

}  // namespace o3::testing
