#include "tests/made_tables.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

namespace fs = std::filesystem;

struct scratch {
  fs::path dir;
  scratch() {
    char name[] = "/tmp/o3tables-test.XXXXXX";
    if (mkdtemp(name) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir = name;
  }
  ~scratch() {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
};

const fs::path& dir() {
  static const scratch s;
  return s.dir;
}

// Where line `line` starts and ends (before its line end).
std::pair<std::size_t, std::size_t> span_of(const std::string& text, int line) {
  std::size_t begin = 0;
  for (int n = 1; n < line; ++n) begin = text.find('\n', begin) + 1;
  const std::size_t end = text.find('\n', begin);
  return {begin, end == std::string::npos ? text.size() : end};
}

}  // namespace

const std::string& made_table(const std::string& answers) {
  static std::map<std::string, std::string> made;
  auto [at, fresh] = made.try_emplace(answers);
  if (fresh) {
    const fs::path run = dir() / ("run" + std::to_string(made.size()));
    fs::create_directory(run);
    std::istringstream in(answers);
    std::string h0, h_max, losses;
    in >> h0 >> h_max >> losses;
    tool_run t(run.string());
    t.run("", {"--h0", h0, "--hmax", h_max, "--losses", losses, "--yes"});
    if (t.status != 0) throw std::runtime_error("no table for " + answers + ": " + t.err);
    at->second = (run / "O3.res").string();
  }
  return at->second;
}

std::string scratch_path(const std::string& name) { return (dir() / name).string(); }

std::string read_text(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void write_text(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string line_at(const std::string& text, int line) {
  const auto [begin, end] = span_of(text, line);
  return text.substr(begin, end - begin);
}

std::string with_line(const std::string& text, int line, const std::string& by) {
  const auto [begin, end] = span_of(text, line);
  return text.substr(0, begin) + by + text.substr(end);
}

}  // namespace o3test
