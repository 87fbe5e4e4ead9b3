// Offset-base vectors and the fatal exit.
#include <sys/resource.h>

#include <climits>
#include <string>

#include <gtest/gtest.h>

#include "numeric/fatal.h"
#include "numeric/vectors.h"

namespace {

const std::string closing = "\n\\.\\.\\.now exiting to system\\.\\.\\.\n$";

TEST(Vectors, BlockHoldsSpareDoubleAndIndicesNlToNh) {
  struct row {
    const char* what;
    int nl, nh;
    std::size_t bytes;
  };
  // Hand calculation: nh - nl + 2 doubles of 8 bytes.
  const row rows[] = {{"1..5", 1, 5, 48}, {"1..1", 1, 1, 16}, {"-2..2", -2, 2, 48}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.what);
    EXPECT_EQ(o3::vector_bytes(r.nl, r.nh), r.bytes);
    o3::dvector v = o3::vector(r.nl, r.nh);
    // Slot nl - 1 too: the address sanitizer flags a block one double short.
    for (int i = r.nl - 1; i <= r.nh; ++i) v[i] = 10.0 * i;
    for (int i = r.nl - 1; i <= r.nh; ++i) EXPECT_EQ(v[i], 10.0 * i);
    o3::free_vector(v, r.nl, r.nh);
  }
}

TEST(VectorsDeathTest, RefusedBlockIsFatal) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the address and thread sanitizers reserve more than the limit allows";
#else
  // In the child only: 1 GiB of address space, then a 16 GiB block.
  const auto starve = [] {
    const rlimit limit{1UL << 30, 1UL << 30};
    setrlimit(RLIMIT_AS, &limit);
    o3::vector(1, INT_MAX);
  };
  EXPECT_EXIT(starve(), ::testing::ExitedWithCode(1),
              "^allocation failure in vector\\(\\)" + closing);
#endif
}

TEST(VectorsDeathTest, NrerrorWritesTwoLinesAndExitsWithOne) {
  EXPECT_EXIT(o3::nrerror("Too many steps in routine qromb"), ::testing::ExitedWithCode(1),
              "^Too many steps in routine qromb" + closing);
}

}  // namespace
