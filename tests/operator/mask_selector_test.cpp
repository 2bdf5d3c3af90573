// The mask selector: its layout arithmetic, the grid it opens on the
// catalogue (the current mask selected) and the cells it paints.
#include <gtest/gtest.h>

#include "masks/mask_selector.hpp"

namespace tileron {
namespace {

TEST(MaskSelectorLayout, Screens) {
  const struct {
    int width, height, rowUnit;
    MaskSelectorLayout expected;
  } cases[] = {
      // 1920 x 1080: 11 columns; 920 / 136 = 6 rows, even, so 5.
      {1920, 1080, 20, {136, 11, 5, 1784, 798, 1800, 814}},
      // 1024 x 768: 924 / 154 = 6 columns; 608 / 136 = 4 rows, so 3.
      {1024, 768, 20, {136, 6, 3, 994, 482, 1010, 498}},
      // An odd count stays: (840 - 160) / 136 = 5 rows.
      {1024, 840, 20, {136, 6, 5, 994, 798, 1010, 814}},
      // A larger row unit makes taller cells: 2 x (30 + 48) = 156; 920 / 156 = 5.
      {1920, 1080, 30, {156, 11, 5, 1784, 798, 1800, 814}},
      // Too small for one row or one column: still one of each.
      {640, 200, 20, {136, 3, 1, 520, 166, 536, 182}},
      {200, 100, 20, {136, 1, 1, 204, 166, 220, 182}},
      // Exactly two rows' room is reduced to one.
      {1920, 160 + 2 * 136, 20, {136, 11, 1, 1784, 166, 1800, 182}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " R " +
                 std::to_string(c.rowUnit));
    const MaskSelectorLayout l = maskSelectorLayout(c.width, c.height, c.rowUnit);
    EXPECT_EQ(l.cellHeight, c.expected.cellHeight);
    EXPECT_EQ(l.columns, c.expected.columns);
    EXPECT_EQ(l.rows, c.expected.rows);
    EXPECT_EQ(l.gridWidth, c.expected.gridWidth);
    EXPECT_EQ(l.gridHeight, c.expected.gridHeight);
    EXPECT_EQ(l.requestWidth, c.expected.requestWidth);
    EXPECT_EQ(l.requestHeight, c.expected.requestHeight);
  }
}

} // namespace
} // namespace tileron
