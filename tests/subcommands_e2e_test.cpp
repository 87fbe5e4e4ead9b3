// check and emit on the command line as a user or a job script meets them:
// help, refused values, unknown options and names with control bytes, and
// outputs that must never replace the table or write through a link.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/tool_runner.h"

namespace o3test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> short_run = {"--h0", "0", "--hmax", "5", "--losses", "10", "--yes"};

TEST(SubcommandsE2e, TakeHelpAndSayWhatIsWrongWithAnArgument) {
  const struct {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string out, err;  // the start of stdout, a line of stderr
  } rows[] = {
      {"check -h", {"check", "-h"}, 0, "usage: o3tables check [-C DIR] [FILE]", ""},
      {"emit --help", {"emit", "--help"}, 0, "usage: o3tables emit [-C DIR] [--lang", ""},
      {"a value after =",
       {"check", "--draws=999"},
       2,
       "",
       "o3tables check: --draws '999' refused: the draws per coupling are a whole number "
       "from 1000 to 100000000\n"},
      {"more draws than the most",
       {"check", "--draws", "100000001"},
       2,
       "",
       "o3tables check: --draws '100000001' refused: the draws per coupling are a whole "
       "number from 1000 to 100000000\n"},
      {"the fewest draws",
       {"check", "--draws", "1000", "none.res"},
       1,
       "",
       "o3tables check: none.res: No such file or directory\n"},
      {"a slip of the keyboard",
       {"check", "--sed", "5"},
       2,
       "",
       "o3tables check: unknown option '--sed' (did you mean --seed?)\n"},
      {"a language",
       {"emit", "--lang=pascal"},
       2,
       "",
       "o3tables emit: --lang 'pascal' refused: the languages are c, fortran or all\n"},
      {"control bytes",
       {"check", "--\x1b[2J"},
       2,
       "",
       "o3tables check: unknown option '--\\x1b[2J'\n"},
      {"two files",
       {"emit", "a.res", "b.res"},
       2,
       "",
       "o3tables emit: a second file 'b.res' after 'a.res'\n"},
      {"a directory", {"check", "."}, 1, "", "o3tables check: .: is a directory, not a table\n"},
      {"no such file",
       {"emit", "none.res"},
       1,
       "",
       "o3tables emit: none.res: No such file or directory\n"},
      {"help with a value",
       {"check", "--help=1"},
       2,
       "",
       "o3tables check: option '--help' takes no value\n"},
      // An unset shell variable: not the option left out.
      {"an empty value after =",
       {"check", "--svg="},
       2,
       "",
       "o3tables check: option '--svg' needs a value\n"},
      {"an empty value",
       {"emit", "--out", ""},
       2,
       "",
       "o3tables emit: option '--out' needs a value\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    tool_run t;
    t.run("", r.args);
    EXPECT_EQ(t.status, r.status);
    EXPECT_EQ(t.out.rfind(r.out, 0), 0u) << t.out;
    if (r.err.empty()) {
      EXPECT_EQ(t.err, "");
    } else {
      EXPECT_EQ(t.err.find(r.err), 0u) << t.err;
    }
  }
}

// A report that never reaches standard output is a failure; a table's name
// is data, never code: emit writes the same files whatever it is called.
TEST(SubcommandsE2e, AFullDeviceFailsAndANameStaysOutOfTheCode) {
  tool_run t;
  t.run("", short_run);
  ASSERT_EQ(t.status, 0);
  const std::string odd = "x\nend module o3_sampler\nmodule evil.res";
  t.put(odd, t.file("O3.res"));
  t.run("", {"emit", "--out", "named", odd});
  ASSERT_EQ(t.status, 0) << t.err;
  t.run("", {"emit", "--out", "plain"});
  for (const char* name : {"o3_sampler.h", "o3_sampler.c", "o3_sampler.f90"}) {
    EXPECT_EQ(t.file(std::string("named/") + name), t.file(std::string("plain/") + name)) << name;
  }
  EXPECT_EQ(t.file("named/o3_sampler.f90").find("evil"), std::string::npos);
  for (const std::vector<std::string>& args : {std::vector<std::string>{"check", "--draws", "1000"},
                                               std::vector<std::string>{"emit", "--out", "full"}}) {
    SCOPED_TRACE(args[0]);
    t.stdout_path = "/dev/full";
    t.run("", args);
    EXPECT_EQ(t.status, 1);
    EXPECT_EQ(t.err,
              "o3tables " + args[0] + ": cannot write standard output: No space left on device\n");
  }
}

TEST(SubcommandsE2e, OutputsNeverReplaceTheTableNorWriteThroughALink) {
  tool_run t;
  t.run("", short_run);
  ASSERT_EQ(t.status, 0);
  const std::string table = t.file("O3.res");
  const std::string d = t.dir() + "/";
  t.put("victim", "not to be touched\n");
  t.put("o3_sampler.c", table);
  ASSERT_EQ(symlink("victim", (d + "p.svg").c_str()), 0);
  ASSERT_EQ(symlink("victim", (d + "o3_sampler.h").c_str()), 0);
  // Links to a device and to a FIFO without a reader: replaced as well.
  ASSERT_EQ(mkfifo((d + "fifo").c_str(), 0666), 0);
  ASSERT_EQ(symlink("/dev/full", (d + "full.svg").c_str()), 0);
  ASSERT_EQ(symlink("fifo", (d + "fifo.dat").c_str()), 0);
  ASSERT_TRUE(fs::create_directory(d + "out"));
  ASSERT_EQ(symlink("/dev/full", (d + "out/o3_sampler.c").c_str()), 0);
  // Names of 255 and 248 bytes, the most a file system allows and the
  // shortest whose ".NAME.XXXXXX" does not fit.
  const std::string longest = std::string(251, 'p') + ".svg", long_data = std::string(248, 'd');
  const struct {
    const char* what;
    std::vector<std::string> args;
    int status;
    std::string err;  // a line of stderr
    std::string out;  // a line of stdout
  } rows[] = {
      {"the picture over the table",
       {"check", "--draws", "1000", "--svg", "O3.res"},
       2,
       "o3tables check: --svg 'O3.res' refused: would replace the table checked\n",
       ""},
      {"the data over the table through a path",
       {"check", "--draws", "1000", "--data", "./O3.res"},
       2,
       "o3tables check: --data './O3.res' refused: would replace the table checked\n",
       ""},
      {"emit over the table it checks",
       {"emit", "--out", ".", "o3_sampler.c"},
       2,
       "o3tables emit: --out '.' refused: './o3_sampler.c' would replace the table "
       "'o3_sampler.c'\n",
       ""},
      // The table passes: status 3 is the picture's alone.
      {"a picture that cannot be written",
       {"check", "--draws", "1000", "--svg", "no/p.svg"},
       3,
       "o3tables check: cannot write the picture 'no/p.svg': No such file or directory\n",
       "O3.res: passes every check\n"},
      {"a picture on a link",
       {"check", "--draws", "1000", "--svg", "p.svg"},
       0,
       "",
       "picture: p.svg at h = 2.5"},
      {"emit on a link", {"emit", "--lang", "c"}, 0, "", "wrote ./o3_sampler.h\n"},
      {"a picture on a link to a device",
       {"check", "--draws", "1000", "--svg", "full.svg"},
       0,
       "",
       "picture: full.svg at h = 2.5"},
      {"data on a link to a FIFO",
       {"check", "--draws", "1000", "--data", "fifo.dat"},
       0,
       "",
       "data: fifo.dat, "},
      {"emit on a link to a device",
       {"emit", "--lang", "c", "--out", "out"},
       0,
       "",
       "wrote out/o3_sampler.c\n"},
      {"a picture named with 255 bytes",
       {"check", "--draws", "1000", "--svg", longest},
       0,
       "",
       "picture: " + longest + " at h = 2.5"},
      {"data named with 248 bytes",
       {"check", "--draws", "1000", "--data", long_data},
       0,
       "",
       "data: " + long_data + ", "},
      // The process's own descriptors are written, not replaced: a link
      // in /dev, which only root could replace.
      {"the picture on standard output",
       {"check", "--draws", "1000", "--svg", "/dev/stdout"},
       0,
       "",
       "<?xml"},
      // A device is written, not replaced.
      {"a picture thrown away",
       {"check", "--draws", "1000", "--svg", "/dev/null"},
       0,
       "",
       "picture: /dev/null at h = 2.5"},
      {"the picture and the data thrown away",
       {"check", "--draws", "1000", "--svg", "/dev/null", "--data", "/dev/null"},
       0,
       "",
       "picture: /dev/null at h = 2.5"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    t.run("", r.args);
    EXPECT_EQ(t.status, r.status) << t.out << t.err;
    EXPECT_NE(t.err.find(r.err), std::string::npos) << t.err;
    EXPECT_NE(t.out.find(r.out), std::string::npos) << t.out;
    EXPECT_EQ(t.file("O3.res"), table);
    EXPECT_EQ(t.file("victim"), "not to be touched\n");
  }
  // The links were replaced by the files, never followed.
  for (const std::string name : {"p.svg", "o3_sampler.h", "full.svg", "fifo.dat",
                                 "out/o3_sampler.c", longest.c_str(), long_data.c_str()}) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(d + name)));
  }
  EXPECT_EQ(t.file("p.svg").rfind("<?xml", 0), 0u);
  EXPECT_EQ(t.file("full.svg").rfind("<?xml", 0), 0u);
  EXPECT_EQ(t.file(longest).rfind("<?xml", 0), 0u);
  EXPECT_TRUE(fs::is_fifo(d + "fifo"));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_TRUE(fs::is_symlink("/dev/stdout"));
  // Nothing left under a temporary name.
  for (const auto& e : fs::directory_iterator(t.dir())) {
    EXPECT_NE(e.path().filename().string().rfind(".", 0), 0u) << e.path();
  }
}

// The header and the sources belong together: a file that cannot be
// written leaves the old set whole, and no temporary behind.
TEST(SubcommandsE2e, EmitReplacesAllItsFilesOrNone) {
  tool_run t;
  t.put("o3_sampler.h", "old header\n");
  ASSERT_TRUE(fs::create_directory(t.dir() + "/o3_sampler.f90"));
  t.run("", {"emit"});
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(t.err, "o3tables emit: cannot write './o3_sampler.f90': Is a directory\n");
  EXPECT_EQ(t.out, "");
  EXPECT_EQ(t.file("o3_sampler.h"), "old header\n");
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(t.dir())) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"o3_sampler.f90", "o3_sampler.h"}));
  // A full disk, for which a cap on the size of a file stands: the header
  // (10 kB) fits, the C source (60 kB) does not.
  t.file_size_cap = 32768;
  t.run("", {"emit", "--lang", "c"});
  EXPECT_EQ(t.status, 1);
  EXPECT_EQ(t.err, "o3tables emit: cannot write './o3_sampler.c': File too large\n");
  EXPECT_EQ(t.file("o3_sampler.h"), "old header\n");
}

// -C DIR, after the subcommand or before it as git takes it: the table,
// the outputs and --out are taken from DIR.
TEST(SubcommandsE2e, WorkInTheDirectoryNamed) {
  tool_run t;
  fs::create_directory(t.dir() + "/sub");
  std::vector<std::string> make = {"-C", "sub"};
  make.insert(make.end(), short_run.begin(), short_run.end());
  t.run("", make);
  ASSERT_EQ(t.status, 0) << t.err;
  const struct {
    std::vector<std::string> args;
    int status;
    std::string out, err;           // a line of each
    std::vector<std::string> made;  // files then in sub/
  } rows[] = {
      {{"check", "-C", "sub", "--draws", "1000", "--svg", "p.svg"},
       0,
       "O3.res: passes every check\n",
       "",
       {"p.svg"}},
      {{"-C", "sub", "check", "--draws=1000", "--data", "d.dat"},
       0,
       "data: d.dat, ",
       "",
       {"d.dat"}},
      {{"--directory=sub", "emit", "--lang", "c", "O3.res"},
       0,
       "wrote ./o3_sampler.c\n",
       "",
       {"o3_sampler.c", "o3_sampler.h"}},
      {{"emit", "--out", "src", "--directory", "sub"},
       0,
       "wrote src/o3_sampler.f90\n",
       "",
       {"src"}},
      {{"check", "-C", "none"},
       2,
       "",
       "o3tables check: cannot work in 'none': No such file or directory\n",
       {}},
      {{"-C", "sub", "emit", "-C", "sub"}, 2, "", "o3tables emit: option '-C' given twice\n", {}},
      {{"check", "--directroy", "sub"},
       2,
       "",
       "o3tables check: unknown option '--directroy' (did you mean --directory?)\n",
       {}}};
  std::vector<std::string> expected = {"O3.res", "temp1.tmp", "temp2.tmp"};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.args[0] + " " + r.args[1]);
    t.run("", r.args);
    EXPECT_EQ(t.status, r.status) << t.err;
    EXPECT_NE(t.out.find(r.out), std::string::npos) << t.out;
    EXPECT_NE(t.err.find(r.err), std::string::npos) << t.err;
    EXPECT_EQ(t.files(), std::vector<std::string>{"sub"});
    expected.insert(expected.end(), r.made.begin(), r.made.end());
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> in_sub;
    for (const auto& e : fs::directory_iterator(t.dir() + "/sub"))
      in_sub.push_back(e.path().filename());
    std::sort(in_sub.begin(), in_sub.end());
    EXPECT_EQ(in_sub, expected);
  }
}

}  // namespace
}  // namespace o3test
