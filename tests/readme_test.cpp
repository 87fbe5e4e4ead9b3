// The README's code blocks, taken from its text and run as written, in
// order, in a scratch directory that stands for a clone whose release build
// is the one tested (build/release holds links to it) and whose HOME is its
// own, so that a snippet that stops compiling or a session whose output
// changes fails here. The fence's info string says what a block is:
//   sh           commands, run with sh -e; they must succeed
//   sh setup     the set-up commands, which CI runs: each workflow preset
//                they name must exist
//   console      "$ command" lines (continued after a trailing backslash),
//                each run and followed by its output, "..." for any lines
//   c, cpp, fortran, cmake FILE   a file, written as FILE for the commands
//   python FILE  a file, written and run with python3 when NumPy is there
//   text         a diagram or a list, not code
// A block of any other kind, one without its FILE, an indented code block
// or another fence fails the test, so that no block escapes it.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/made_tables.h"
#include "tests/tool_runner.h"

namespace o3test {
namespace {

namespace fs = std::filesystem;

struct block {
  int line = 0;                   // of the opening fence
  std::vector<std::string> info;  // the words of the info string
  std::string text;
};

struct readme {
  std::vector<block> blocks;
  std::vector<std::string> faults;  // "line N: what"
};

const std::set<std::string> file_kinds = {"c", "cpp", "fortran", "cmake", "python"};

std::vector<std::string> words_of(const std::string& text) {
  std::istringstream in(text);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

readme parse(const std::string& text) {
  readme r;
  const std::vector<std::string> lines = lines_of(text);
  const auto fault = [&](std::size_t i, const std::string& what) {
    r.faults.push_back("line " + std::to_string(i + 1) + ": " + what);
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string& l = lines[i];
    if (l.starts_with("~~~") || l.starts_with(" ```")) {
      fault(i, "a fence other than ``` at the start of the line");
    } else if ((l.starts_with("    ") || l.starts_with("\t")) && (i == 0 || lines[i - 1].empty())) {
      fault(i, "an indented code block: fence it with its kind");
    }
    if (!l.starts_with("```")) continue;
    block b;
    b.line = static_cast<int>(i + 1);
    b.info = words_of(l.substr(3));
    const std::string kind = b.info.empty() ? "" : b.info[0];
    const bool file = file_kinds.contains(kind);
    const bool setup = kind == "sh" && b.info.size() == 2 && b.info[1] == "setup";
    if (kind != "sh" && kind != "console" && kind != "text" && !file) {
      fault(i, "a block of unknown kind '" + kind + "': the README test cannot check it");
    } else if (file && b.info.size() != 2) {
      fault(i, "a " + kind + " block names no file (```" + kind + " FILE)");
    } else if (!file && !setup && b.info.size() != 1) {
      fault(i, "an info string the README test does not know: '" + l.substr(3) + "'");
    }
    for (++i; i < lines.size() && lines[i] != "```"; ++i) b.text += lines[i] + "\n";
    if (i == lines.size()) fault(static_cast<std::size_t>(b.line - 1), "a block never closed");
    r.blocks.push_back(b);
  }
  return r;
}

// Whether `actual` is `shown`, a line "..." of which stands for any lines.
bool shown_as(const std::vector<std::string>& shown, const std::vector<std::string>& actual) {
  std::size_t s = 0, a = 0;
  std::size_t star = std::string::npos, resume = 0;  // the last "..." and where it took over
  while (a < actual.size()) {
    if (s < shown.size() && shown[s] == "...") {
      star = s++;
      resume = a;
    } else if (s < shown.size() && shown[s] == actual[a]) {
      ++s;
      ++a;
    } else if (star != std::string::npos) {
      s = star + 1;
      a = ++resume;
    } else {
      return false;
    }
  }
  while (s < shown.size() && shown[s] == "...") ++s;
  return s == shown.size();
}

struct command {
  std::string line;                 // as sh takes it
  std::vector<std::string> output;  // as shown
};

std::vector<command> commands_of(const std::string& console) {
  std::vector<command> commands;
  bool continued = false;
  for (const std::string& l : lines_of(console)) {
    if (continued) {
      commands.back().line += "\n" + l;
    } else if (l.starts_with("$ ")) {
      commands.push_back({l.substr(2), {}});
    } else if (!commands.empty()) {
      commands.back().output.push_back(l);
    }
    continued = !commands.empty() && commands.back().output.empty() && l.ends_with("\\");
  }
  return commands;
}

std::string read_file(const fs::path& path) { return read_text(path.string()); }

TEST(Readme, TheParserFindsEveryBlockAndRefusesWhatItCannotRun) {
  const struct {
    const char* what;
    std::string text;
    std::size_t blocks, faults;
  } rows[] = {{"known kinds", "```sh\na\n```\n\n```c main.c\nint x;\n```\n```text\n|\n```\n", 3, 0},
              {"an unknown kind", "```rust\nfn main() {}\n```\n", 1, 1},
              {"no kind", "```\nls\n```\n", 1, 1},
              {"a file kind without its file", "```fortran\nend\n```\n", 1, 1},
              {"a setup kind misspelt", "```sh set-up\nls\n```\n", 1, 1},
              {"an indented block", "text\n\n    cc main.c\n", 0, 1},
              {"a list's continuation", "- item\n  more\n", 0, 0},
              {"a tilde fence", "~~~\nls\n~~~\n", 0, 2},
              {"never closed", "```sh\nls\n", 1, 1}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    const readme parsed = parse(r.text);
    EXPECT_EQ(parsed.blocks.size(), r.blocks);
    EXPECT_EQ(parsed.faults.size(), r.faults);
  }
  const std::vector<std::string> shown = {"a", "...", "c", "..."};
  const struct {
    std::vector<std::string> actual;
    bool matches;
  } outputs[] = {{{"a", "c"}, true},      {{"a", "b", "b", "c", "d"}, true},
                 {{"a", "c", "c"}, true}, {{"a"}, false},
                 {{"b", "c"}, false},     {{"a", "b"}, false}};
  for (const auto& o : outputs) {
    EXPECT_EQ(shown_as(shown, o.actual), o.matches) << o.actual.size();
  }
  EXPECT_FALSE(shown_as({"a", "b"}, {"a", "b", "c"}));  // no "..." at the end: all of it
  const std::vector<command> c = commands_of("$ a \\\n  b\nout\n$ c\n");
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].line, "a \\\n  b");
  EXPECT_EQ(c[0].output, std::vector<std::string>{"out"});
}

class ReadmeRun : public testing::Test {
 protected:
  void SetUp() override {
    work_ = fs::path(scratch_path("readme"));
    fs::create_directories(work_ / "home");
    const fs::path release = work_ / "build" / "release";
    fs::create_directories(release);
    const fs::path build = O3_BUILD_DIR;
    fs::create_symlink(O3TABLES_PATH, release / "o3tables");
    fs::create_symlink(build / "cmake_install.cmake", release / "cmake_install.cmake");
    fs::create_symlink(build / "examples", release / "examples");
    // The commands find what the README installs, and nothing of the
    // caller's own ~/.local.
    setenv("HOME", (work_ / "home").c_str(), 1);
    const char* path = getenv("PATH");
    setenv("PATH",
           ((work_ / "home/.local/bin").string() + ":" + (path ? path : "/usr/bin:/bin")).c_str(),
           1);
    unsetenv("PKG_CONFIG_PATH");
    unsetenv("CMAKE_PREFIX_PATH");
    // Open MPI's mpirun, which refuses to start as root without them.
    setenv("OMPI_ALLOW_RUN_AS_ROOT", "1", 1);
    setenv("OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1", 1);
  }

  // Runs `script` with sh -e in the scratch clone.
  command_result shell(const std::string& script) const {
    const fs::path file = work_ / ".readme-block.sh";
    write_text(file.string(), script);
    return run_command("cd '" + work_.string() + "' && sh -e .readme-block.sh");
  }

  fs::path work_;
};

TEST_F(ReadmeRun, EveryBlockRunsAsWritten) {
  const readme r = parse(read_file(O3_README));
  for (const std::string& f : r.faults) ADD_FAILURE() << "README.md " << f;
  ASSERT_TRUE(r.faults.empty());
  const std::string presets = read_file(O3_PRESETS);
  const std::string workflows = presets.substr(presets.find("\"workflowPresets\""));
  const bool numpy = run_command("python3 -c 'import numpy'").status == 0;
  std::set<std::string> kinds_run;
  for (const block& b : r.blocks) {
    const std::string& kind = b.info[0];
    SCOPED_TRACE("README.md line " + std::to_string(b.line) + ": ```" + kind);
    if (file_kinds.contains(kind)) {
      fs::create_directories((work_ / b.info[1]).parent_path());
      write_text((work_ / b.info[1]).string(), b.text);
      if (kind == "python" && !numpy) {
        std::printf("README.md line %d: python3 with NumPy not found, not run\n", b.line);
        continue;
      }
      if (kind == "python") {
        const command_result c = shell("python3 " + b.info[1] + "\n");
        EXPECT_EQ(c.status, 0) << c.out;
      }
    } else if (kind == "sh" && b.info.size() == 2) {  // setup
      for (std::size_t at = b.text.find("--preset "); at != std::string::npos;
           at = b.text.find("--preset ", at + 1)) {
        const std::string name = words_of(b.text.substr(at + 9))[0];
        EXPECT_NE(workflows.find("\"name\": \"" + name + "\""), std::string::npos)
            << "no workflow preset " << name;
      }
    } else if (kind == "sh") {
      const command_result c = shell(b.text);
      EXPECT_EQ(c.status, 0) << b.text << c.out;
    } else if (kind == "console") {
      const std::vector<command> commands = commands_of(b.text);
      EXPECT_FALSE(commands.empty());
      for (const command& c : commands) {
        const command_result got = shell(c.line + "\n");
        EXPECT_EQ(got.status, 0) << c.line << "\n" << got.out;
        EXPECT_TRUE(shown_as(c.output, lines_of(got.out))) << "$ " << c.line << "\nshows\n"
                                                           << b.text << "but prints\n"
                                                           << got.out;
      }
    }
    kinds_run.insert(kind);
  }
  // The README teaches each of these; a test that ran none of them would
  // prove nothing.
  for (const char* kind : {"sh", "console", "c", "cpp", "fortran", "cmake"}) {
    EXPECT_TRUE(kinds_run.contains(kind)) << kind;
  }
}

}  // namespace
}  // namespace o3test
