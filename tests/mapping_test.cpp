// The H-mapping: its pieces and the table the dialogue prints.
#include <string>

#include <gtest/gtest.h>

#include "driver/mapping.h"
#include "run_parameters_guard.h"

namespace {

std::string row(const char* lo, const char* hi, const char* step) {
  return std::string("\tif(") + lo + "<H<" + hi + " ) j=cst+(int)(H/" + step + ");\n";
}

TEST(Mapping, PiecesAndTableRows) {
  o3::testing::run_parameters_guard guard;
  // Piece 1 ends at 100 with step 0.004 p; piece k >= 2 at 1000 * 10^(k-2)
  // with step 10^(k-2) p / 2; the last row shows H_max as its upper end.
  const std::string r1 = row("0.000000", "100.000000", "0.040000");
  const std::string r2 = row("100.000000", "1000.000000", "5.000000");
  struct case_row {
    const char* what;
    double H0, H_max, p;
    int N_DH;
    double last_Hn;
    std::string table;
  };
  // Rows run in order on the same globals: a row after a longer mapping
  // checks that the mapping is rebuilt from scratch.
  const case_row rows[] = {
      {"worked example", 0, 5000, 10, 3, 10000,
       r1 + r2 + row("1000.000000", "5000.000000", "50.000000")},
      {"below 100, losses exactly 1", 0, 50, 1, 1, 100, row("0.000000", "50.000000", "0.004000")},
      {"on bound 100", 0, 100, 10, 1, 100, r1},
      {"on bound 1000", 0, 1000, 10, 2, 1000, r1 + r2},
      {"just above 100", 0, 100.5, 10, 2, 1000, r1 + row("100.000000", "100.500000", "5.000000")},
      {"H0 above 100: piece 1 reversed", 150, 300, 10, 2, 1000,
       row("150.000000", "100.000000", "0.040000") + row("100.000000", "300.000000", "5.000000")},
      {"H0 not below H_max: no row", 80, 50, 10, 1, 100, ""}};
  for (const case_row& r : rows) {
    SCOPED_TRACE(r.what);
    o3::H0 = r.H0;
    o3::H_max = r.H_max;
    o3::build_mapping(r.p);
    ::testing::internal::CaptureStdout();
    o3::print_mapping_table();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), r.table);
    EXPECT_EQ(o3::N_DH, r.N_DH);
    EXPECT_EQ(o3::Hn[0], r.H0);
    EXPECT_EQ(o3::Hn[o3::N_DH], r.last_Hn);  // the table shows H_max instead
  }
}

TEST(Mapping, LargestHmaxFillsExactlyTheNinetyNinePieces) {
  o3::testing::run_parameters_guard guard;
  o3::H0 = 0;
  o3::H_max = 1e100;  // 1000 * 10^97
  o3::build_mapping(10);
  EXPECT_EQ(o3::N_DH, 99);
  EXPECT_EQ(o3::Hn[99], o3::H_max);  // anything above would need a piece 100
}

}  // namespace
