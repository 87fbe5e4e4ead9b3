// The reader of O3.res: each line matched against the form it must have.
#include "sampler/table.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <string_view>

namespace o3::sampler {
namespace {

// Length of the number at the start of text: an optional sign, digits, and
// for a real an optional fraction and exponent.
std::size_t number_span(std::string_view text, bool is_real) {
  std::size_t i = 0;
  const auto digits = [&] {
    const std::size_t start = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    return i > start;
  };
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool any = digits();
  if (is_real && i < text.size() && text[i] == '.') {
    ++i;
    any = digits() || any;
  }
  if (!any) return 0;
  if (is_real && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    const std::size_t mark = i++;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (!digits()) i = mark;
  }
  return i;
}

// Matches a line against a form in which "%f" stands for a real number, "%d"
// for an integer and every other character for itself; the numbers found
// are stored in order into reals and integers.
bool match(std::string_view line, std::string_view form,
           std::initializer_list<double*> reals,
           std::initializer_list<long long*> integers = {}) {
  auto real = reals.begin();
  auto integer = integers.begin();
  std::size_t at = 0;
  for (std::size_t f = 0; f < form.size(); ++f) {
    if (form[f] == '%' && f + 1 < form.size() &&
        (form[f + 1] == 'f' || form[f + 1] == 'd')) {
      const bool is_real = form[++f] == 'f';
      const std::size_t length = number_span(line.substr(at), is_real);
      if (length == 0) return false;
      const std::string text(line.substr(at, length));
      at += length;
      errno = 0;
      if (is_real) {
        const double v = std::strtod(text.c_str(), nullptr);
        if (!std::isfinite(v) || real == reals.end()) return false;
        **real++ = v;
      } else {
        const long long v = std::strtoll(text.c_str(), nullptr, 10);
        if (errno == ERANGE || integer == integers.end()) return false;
        **integer++ = v;
      }
    } else {
      if (at >= line.size() || line[at] != form[f]) return false;
      ++at;
    }
  }
  return at == line.size();
}

// The file's lines, numbered from 1.
class lines {
 public:
  explicit lines(std::istream& in) : in_(in) {}

  // The next line; throws when the file ends, saying what was expected.
  std::string_view next(const char* expected) {
    if (!std::getline(in_, line_)) {
      throw table_error(number_ + 1,
                        std::string("the file ends; expected ") + expected);
    }
    ++number_;
    return line_;
  }
  int number() const { return number_; }
  bool at_end() { return in_.peek() == std::char_traits<char>::eof(); }

 private:
  std::istream& in_;
  std::string line_;
  int number_ = 0;
};

// Reads a line that must match `form`; throws naming the form otherwise.
void expect(lines& in, const char* form, std::initializer_list<double*> reals,
            std::initializer_list<long long*> integers = {}) {
  if (!match(in.next(form), form, reals, integers)) {
    throw table_error(in.number(), std::string("expected \"") + form + "\"");
  }
}

void expect_text(lines& in, const char* text) { expect(in, text, {}); }

int to_int(long long v, int line, const char* what) {
  if (v < 0 || v > 100000000) {
    throw table_error(line, std::string(what) + " out of range");
  }
  return static_cast<int>(v);
}

void inconsistent(int line, const std::string& what) {
  throw table_error(line, what);
}

// The lookup lines of the C block, up to its closing printf line; the
// FORTRAN block must repeat them.
void read_lookup(lines& in, table* t) {
  expect_text(in, "----> 2. copy these lines at the beginning of the "
                  "subroutine FA_O3 --");
  expect_text(in, "--> a. In C ");
  for (;;) {
    const std::string_view line = in.next("a lookup line in C");
    mapping_piece p{};
    long long base = 0;
    const char* form = t->pieces.empty() ? "if(h<%f ) j=%d+(int)(h/%f);"
                                         : "else if(h<%f ) j=%d+(int)(h/%f);";
    double bound = 0.0;
    if (match(line, form, {&p.bound, &p.step}, {&base})) {
      if (base < -2147483647 || base > 2147483647) {
        inconsistent(in.number(), "base index out of range");
      }
      p.base = static_cast<int>(base);
      if (!(p.step > 0.0)) inconsistent(in.number(), "the step must be > 0");
      if (!t->pieces.empty() && !(p.bound > t->pieces.back().bound)) {
        inconsistent(in.number(), "the bounds must increase");
      }
      // (int)(h / step) must hold every coupling of the piece in an int.
      const double low = t->pieces.empty() ? t->H0 : t->pieces.back().bound;
      if (!(std::fabs(low / p.step) < 2147483647.0 &&
            std::fabs(p.bound / p.step) < 2147483647.0)) {
        inconsistent(in.number(), "the step is too small for the bound: "
                                  "(int)(h/step) leaves the range of an int");
      }
      t->pieces.push_back(p);
    } else if (!t->pieces.empty() &&
               match(line, "else {printf(\"H must be < %f\\n\"); exit(-1);}",
                     {&bound})) {
      if (bound != t->H_max || t->pieces.back().bound != t->H_max) {
        inconsistent(in.number(), "the last bound must be H_max of line 1");
      }
      break;
    } else {
      throw table_error(in.number(),
                        std::string("expected \"") + form +
                            "\" or the closing \"else {printf(...\" line");
    }
  }
  expect_text(in, "-");
  expect_text(in, "--> b. In FORTRAN ");
  for (std::size_t k = 0; k < t->pieces.size(); ++k) {
    double bound = 0.0;
    double step = 0.0;
    long long base = 0;
    expect(in, k == 0 ? "IF(h.LT.%f ) THEN " : "ELSE IF(h.LT.%f ) THEN ",
           {&bound});
    expect(in, "\t j=%d+int(h/%f)", {&step}, {&base});
    const mapping_piece& p = t->pieces[k];
    if (bound != p.bound || step != p.step || base != p.base) {
      inconsistent(in.number(), "the FORTRAN lookup differs from the C one");
    }
  }
  double bound = 0.0;
  expect_text(in, "ELSE ");
  expect(in, "\tWRITE(6,*) \"H must be < %f\"", {&bound});
  if (bound != t->H_max) {
    inconsistent(in.number(), "the last bound must be H_max of line 1");
  }
  expect_text(in, "\tSTOP");
  expect_text(in, "ENDIF");
  expect_text(in, "$------------------- end copy ------------------------");
}

void read_map(lines& in, table* t) {
  long long n = 0;
  expect(in, "%d", {}, {&n});
  const int count = to_int(n, in.number(), "the number of map entries");
  if (count + 5 != t->N_H_max) {
    inconsistent(in.number(), "the number of map entries must be N_H_max - 5");
  }
  t->map_line = in.number() + 1;
  t->map_j.reserve(static_cast<std::size_t>(count));
  t->map_g.reserve(static_cast<std::size_t>(count));
  for (int e = 0; e < count; ++e) {
    long long j = 0;
    long long g = 0;
    expect(in, "%d %d", {}, {&j, &g});
    if (j < -2147483647 || j > 2147483647) {
      inconsistent(in.number(), "map index out of range");
    }
    t->map_j.push_back(static_cast<std::int32_t>(j));
    t->map_g.push_back(static_cast<std::int32_t>(
        to_int(g, in.number(), "histogram index")));
  }
}

void read_records(lines& in, table* t, int N_histogram) {
  for (std::size_t e = 0; e < t->map_g.size(); ++e) {
    if (t->map_g[e] > N_histogram) {
      inconsistent(t->map_line + static_cast<int>(e),
                   "the map names a histogram the file does not hold");
    }
  }
  long long count = 0;
  expect(in, "%d", {}, {&count});
  if (count != N_histogram) {
    inconsistent(in.number(), "the histogram count must be N_histogram");
  }
  for (int i = 0; i <= N_histogram; ++i) {
    histogram h{};
    long long index = 0;
    long long nd = 0;
    expect(in, "%d %f %d %f %f", {&h.H, &h.loss, &h.area}, {&index, &nd});
    t->record_lines.push_back(in.number());
    if (index != i) inconsistent(in.number(), "histograms must be numbered in order");
    if (nd != t->Nd_poi) inconsistent(in.number(), "the number of points must be Nd_poi");
    h.x.resize(static_cast<std::size_t>(t->Nd_poi) + 1);
    for (double& x : h.x) {
      // Points are right-aligned in a field of 20.
      const std::string_view line = in.next("a partition point");
      std::size_t lead = 0;
      while (lead < line.size() && line[lead] == ' ') ++lead;
      if (!match(line.substr(lead), "%f", {&x})) {
        throw table_error(in.number(), "expected a partition point");
      }
    }
    t->histograms.push_back(std::move(h));
  }
  if (!in.at_end()) {
    in.next("");
    inconsistent(in.number(), "the file goes on after the last histogram");
  }
}

}  // namespace

table_error::table_error(int line, const std::string& what)
    : std::runtime_error(line > 0 ? "line " + std::to_string(line) + ": " + what
                                  : what),
      line_(line) {}

table read_table(std::istream& stream) {
  lines in(stream);
  table t;
  expect(in, "-> O(3) with H0=%f -> H_max=%f and loss=%f%", {&t.H0, &t.H_max, &t.losses});
  if (!(t.H_max > t.H0)) inconsistent(1, "H_max must be above H0");
  expect_text(in, "------------------------------------------------------");
  expect_text(in, "----> 1. copy these lines (do not remove!) -----------------");
  expect_text(in, "--> a. in C: at the beginning of the main program ");
  long long nd = 0;
  long long nh = 0;
  long long nm = 0;
  expect(in, "#define Nd_poi                   %d    // nb of points of each histogram", {}, {&nd});
  expect(in, "#define N_histogram              %d    // nb of histograms", {}, {&nh});
  expect(in, "#define N_H_max                 %d    // real H -> (int) -> value of H of histogram ", {}, {&nm});
  expect_text(in, "-");
  expect_text(in, "--> b. in FORTRAN: replace everywhere  ");
  long long nd2 = 0;
  long long nh2 = 0;
  long long nm2 = 0;
  expect(in, "PARAMETER(Nd_poi=%d,N_hist=%d,N_O_m=%d)", {}, {&nd2, &nh2, &nm2});
  if (nd2 != nd || nh2 != nh || nm2 != nm) {
    inconsistent(10, "PARAMETER differs from the #define lines");
  }
  expect_text(in, "-");
  t.Nd_poi = to_int(nd, 5, "Nd_poi");
  if (t.Nd_poi < 1) inconsistent(5, "Nd_poi must be >= 1");
  const int N_histogram = to_int(nh, 6, "N_histogram");
  t.N_H_max = to_int(nm, 7, "N_H_max");
  read_lookup(in, &t);
  read_map(in, &t);
  read_records(in, &t, N_histogram);
  return t;
}

table load_table(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    throw table_error(0, "cannot open " + path + ": " + std::strerror(errno));
  }
  return read_table(in);
}

}  // namespace o3::sampler
