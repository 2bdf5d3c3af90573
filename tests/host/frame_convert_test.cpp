// Packing Y, U and V lines into host words: the fast kernel against the plain one.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "host/media/yuv.hpp"
#include "host/media/frame_convert.hpp"

using namespace vxhost;

TEST(PackRow, FastAndPlainGiveTheSameWords) {
  std::mt19937 rng(5);
  // Widths around the 32-pixel step; the offsets leave the rows unaligned.
  for (const int width : {0, 1, 31, 32, 33, 64, 95, 1927})
    for (const int offset : {0, 3}) {
      std::vector<uint8_t> planes(3 * size_t(width + offset));
      for (uint8_t &b : planes)
        b = static_cast<uint8_t>(rng());
      const uint8_t *y = planes.data() + offset, *u = y + width + offset, *v = u + width + offset;
      std::vector<uint32_t> plain(size_t(width) + 1, 7), fast = plain;
      packRowPlain(y, u, v, plain.data(), width);
      packRow(y, u, v, fast.data(), width);
      ASSERT_EQ(plain, fast) << "width " << width << ", offset " << offset;
      if (width > 0) {
        EXPECT_EQ(plain[0], packYuva(y[0], u[0], v[0]));
      }
      EXPECT_EQ(plain[size_t(width)], 7u) << "nothing written past the row";
    }
}
