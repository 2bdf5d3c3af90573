#include "support/rounding.hpp"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace tileron {
namespace {

TEST(Rounding, HalvesAwayFromZeroAndSaturation) {
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double value;
    int expected;
  } cases[] = {
      {-2.5, -3}, {2.5, 3}, {-0.4, 0}, {0.4, 0}, {0.5, 1}, {-0.5, -1}, {1.49, 1},
      {-1.51, -2}, {0.0, 0}, {-0.0, 0}, {99.5, 100},
      {2147483646.5, INT_MAX}, {2147483647.4, INT_MAX}, {-2147483648.4, INT_MIN},
      {1e300, INT_MAX}, {-1e300, INT_MIN}, {inf, INT_MAX}, {-inf, INT_MIN},
      {std::nan(""), 0}, {-std::nan(""), 0},
  };
  for (const auto &c : cases) EXPECT_EQ(roundNearest(c.value), c.expected) << c.value;
}

} // namespace
} // namespace tileron
