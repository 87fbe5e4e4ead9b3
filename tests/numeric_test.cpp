#include <gtest/gtest.h>
#include "numeric/romberg.h"
TEST(Smoke, Build) { EXPECT_EQ(o3::qromb([](double) { return 3.0; }, 0.0, 2.0), 6.0); }
