#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include "engine/compositing.hpp"
#include "entry/module.hpp"
#include "kernel_fixture.hpp"
#include "support/report.hpp"

namespace tileron {
namespace {

using testing_support::alphaAt;
using testing_support::makeImage;
using testing_support::px;

class Compositing : public testing_support::HostImageTest {};

// Y, U, V of one pixel, each blended as (s*a + d*(255-a)) / 255.
uint32_t blendByHand(uint32_t s, uint32_t d) {
  const uint32_t a = s & 0xFF;
  uint32_t out = std::min<uint32_t>((d & 0xFF) + a, 255);
  for (int shift = 8; shift < 32; shift += 8)
    out |= ((((s >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * (255 - a)) / 255) << shift;
  return out;
}

TEST_F(Compositing, CopyImageRectClampsToBothImagesAndKeepsRowsApart) {
  auto source = makeImage(5, 3, OP_KIND_YUVA, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) px(source.get(), x, y) = 0x01000000u * (10 * y + x + 1);
  auto destination = makeImage(3, 4, OP_KIND_YUVA, 0xAAAAAAAA);
  copyImageRect(source.get(), destination.get(), 100, 100);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x)
      EXPECT_EQ(px(destination.get(), x, y), y < 3 ? 0x01000000u * (10 * y + x + 1) : 0xAAAAAAAAu)
          << x << "," << y;

  // 8-bit images copy bytes; a kind mismatch copies nothing.
  auto mask = makeImage(4, 2, OP_KIND_8, 7);
  auto maskCopy = makeImage(2, 2, OP_KIND_8, 0);
  copyImageRect(mask.get(), maskCopy.get(), 2, 1);
  EXPECT_EQ(std::vector<uint8_t>(maskCopy->pixels, maskCopy->pixels + 4),
            (std::vector<uint8_t>{7, 7, 0, 0}));
  copyImageRect(mask.get(), destination.get(), 2, 2);
  EXPECT_EQ(px(destination.get(), 0, 0), 0x01000000u);
}

TEST_F(Compositing, OverlayImageBlendsByAlpha) {
  struct Case {
    uint32_t source, destination, expected;
  };
  const Case cases[] = {
      // alpha 128 over opaque: (s*128 + d*127) / 255, alpha stays 255
      {0xEB8080'80u, 0x108080FFu, blendByHand(0xEB808080u, 0x108080FFu)},
      {0xC8643280u, 0x1020F0FFu, (((200 * 128 + 16 * 127) / 255) << 24) |
                                     (((100 * 128 + 32 * 127) / 255) << 16) |
                                     (((50 * 128 + 240 * 127) / 255) << 8) | 0xFF},
      {0xEB808000u, 0x12345678u, 0x12345678u}, // alpha 0 keeps the destination
      {0xEB8080FFu, 0x12345678u, 0xEB8080FFu}, // alpha 255 takes all four bytes
      {0x40808080u, 0x108080C8u, blendByHand(0x40808080u, 0x108080C8u)}, // 200 + 128 -> 255
      {0x40808080u, 0x10808000u, blendByHand(0x40808080u, 0x10808000u)}, // 0 + 128 -> 128
  };
  for (const Case &c : cases) {
    auto source = makeImage(1, 1, OP_KIND_YUVA, c.source);
    auto destination = makeImage(1, 1, OP_KIND_YUVA, c.destination);
    overlayImage(source.get(), destination.get(), 1, 1, false, 0);
    EXPECT_EQ(px(destination.get(), 0, 0), c.expected) << std::hex << c.source;
  }
  EXPECT_EQ(blendByHand(0x40808080u, 0x108080C8u) & 0xFF, 255u);
  EXPECT_EQ(blendByHand(0x40808080u, 0x10808000u) & 0xFF, 128u);
}

TEST_F(Compositing, OverlayImageFieldModeReadsEveryOtherSourceLine) {
  // A frame-high source: line r holds Y = r, opaque.
  auto source = makeImage(2, 6, OP_KIND_YUVA, 0);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 2; ++x) px(source.get(), x, y) = (uint32_t(y) << 24) | 0xFF;
  for (int parity : {0, 1}) {
    auto field = makeImage(2, 3, OP_KIND_YUVA, 0);
    overlayImage(source.get(), field.get(), 2, 3, true, parity);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(px(field.get(), 1, y) >> 24, uint32_t(2 * y + parity));
  }
  // A source too short for the field stops at its last line of the parity.
  auto shortSource = makeImage(2, 3, OP_KIND_YUVA, 0x200000FFu);
  auto field = makeImage(2, 3, OP_KIND_YUVA, 0);
  overlayImage(shortSource.get(), field.get(), 2, 3, true, 1);
  EXPECT_EQ(px(field.get(), 0, 0), 0x200000FFu);
  EXPECT_EQ(px(field.get(), 0, 1), 0u);
  // Sizes clamp to both images.
  auto small = makeImage(1, 1, OP_KIND_YUVA, 0x300000FFu);
  auto wide = makeImage(3, 2, OP_KIND_YUVA, 0);
  overlayImage(small.get(), wide.get(), 3, 2, false, 0);
  EXPECT_EQ(px(wide.get(), 0, 0), 0x300000FFu);
  EXPECT_EQ(px(wide.get(), 1, 0), 0u);
  EXPECT_EQ(px(wide.get(), 0, 1), 0u);
}

TEST_F(Compositing, CompositeThroughMaskIsExact) {
  struct Case {
    const char *what;
    uint32_t picture, destination;
    int maskByte, opacity;
    uint32_t expected;
  };
  const Case cases[] = {
      {"picture equal to destination stays (double gives 126)", 0x7F7F7FFFu, 0x7F7F7FFFu, 130,
       255, 0x7F7F7FFFu},
      {"one third (double gives 0x30)", 0x858585FFu, 0x070707FFu, 170, 255, 0x313131FFu},
      {"two thirds (double gives 0x89)", 0xCBCBCBFFu, 0x080808FFu, 85, 255, 0x8A8A8AFFu},
      {"one third through opacity 85", 0x09121BFFu, 0x03060964u, 0, 85, 0x050A0F64u},
      {"picture alpha 51 is a fifth; alpha stays the larger", 0x3C789633u, 0x0A141E64u, 0, 255,
       0x14283664u},
      {"transparent destination takes the picture's colour", 0xEB108080u, 0x10808000u, 0, 255,
       0xEB108080u},
      {"mask 240 lets 15/255 through", 0xEB8080FFu, 0x108080FFu, 240, 255, 0x1C8080FFu},
      {"mask 240 onto transparent: alpha 15", 0xEB8080FFu, 0x10808000u, 240, 255, 0xEB80800Fu},
      {"mask 255 blocks", 0xEB8080FFu, 0x108080FFu, 255, 255, 0x108080FFu},
      {"open mask, full opacity: the picture", 0x51A0C0FFu, 0x20304064u, 0, 255, 0x51A0C0FFu},
      {"transparent picture", 0x51A0C000u, 0x20304064u, 0, 255, 0x20304064u},
      {"opacity 0", 0x51A0C0FFu, 0x20304064u, 0, 0, 0x20304064u},
  };
  for (const Case &c : cases) {
    auto picture = makeImage(1, 1, OP_KIND_YUVA, c.picture);
    auto destination = makeImage(1, 1, OP_KIND_YUVA, c.destination);
    auto mask = makeImage(1, 1, OP_KIND_8, c.maskByte);
    compositeThroughMask(picture.get(), destination.get(), mask.get(), 0, 0, 1, 1, c.opacity,
                         false, 0);
    EXPECT_EQ(px(destination.get(), 0, 0), c.expected) << c.what;
  }
}

// Picture pixel (x, y) has Y = 10 * y + x + 1; the destination is 0; the mask
// opens everything but marks rows by value to show which row was used.
TEST_F(Compositing, CompositeThroughMaskClipsAndAddressesTheMask) {
  auto picture = makeImage(4, 4, OP_KIND_YUVA, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) px(picture.get(), x, y) = (uint32_t(10 * y + x + 1) << 24) | 0xFF;
  struct Case {
    int x, y;
    int firstX, firstY; // picture pixel landing on destination (max(x,0), max(y,0))
  };
  for (const Case &c : {Case{-1, -2, 1, 2}, Case{3, 4, 0, 0}, Case{0, 0, 0, 0}}) {
    auto destination = makeImage(5, 6, OP_KIND_YUVA, 0);
    auto mask = makeImage(5, 6, OP_KIND_8, 0);
    compositeThroughMask(picture.get(), destination.get(), mask.get(), c.x, c.y, 4, 4, 255,
                         false, 0);
    const int left = std::max(c.x, 0), top = std::max(c.y, 0);
    const int right = std::min(c.x + 4, 5), bottom = std::min(c.y + 4, 6);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 5; ++x) {
        const bool inside = x >= left && x < right && y >= top && y < bottom;
        const uint32_t expected =
            inside ? (uint32_t(10 * (c.firstY + y - top) + c.firstX + x - left + 1) << 24) | 0xFF
                   : 0u;
        EXPECT_EQ(px(destination.get(), x, y), expected) << c.x << "," << c.y << " at " << x
                                                         << "," << y;
      }
  }
  // Field mode: destination row y uses mask row 2y + parity; a mask that blocks
  // odd rows lets parity 0 through and blocks parity 1.
  auto mask = makeImage(4, 8, OP_KIND_8, 0);
  for (int y = 1; y < 8; y += 2)
    for (int x = 0; x < 4; ++x) mask->pixels[y * 4 + x] = 255;
  for (int parity : {0, 1}) {
    auto field = makeImage(4, 4, OP_KIND_YUVA, 0x10808080u);
    compositeThroughMask(picture.get(), field.get(), mask.get(), 0, 0, 4, 4, 255, true, parity);
    EXPECT_EQ(px(field.get(), 2, 3), parity ? 0x10808080u : px(picture.get(), 2, 3));
  }
  // A mask smaller than the destination limits the rectangle instead of
  // being read past its end.
  auto smallMask = makeImage(2, 3, OP_KIND_8, 0);
  auto destination = makeImage(4, 4, OP_KIND_YUVA, 0);
  compositeThroughMask(picture.get(), destination.get(), smallMask.get(), 0, 0, 4, 4, 255, true,
                       1);
  EXPECT_NE(px(destination.get(), 1, 0), 0u);
  EXPECT_EQ(px(destination.get(), 2, 0), 0u);
  EXPECT_EQ(px(destination.get(), 0, 1), 0u);
}

TEST_F(Compositing, OverlayGuiImageClipsAtEveryEdge) {
  CImagePtr source(cgAllocImage(CG_KIND_YUVA, 3, 2));
  CImagePtr destination(cgAllocImage(CG_KIND_YUVA, 4, 4));
  ASSERT_TRUE(source && destination);
  for (int i = 0; i < 6; ++i) pixels32(source.get())[i] = (uint32_t(i + 1) << 24) | 0xFF;
  struct Case {
    int x, y;
    std::vector<uint32_t> ys; // Y of the destination rows, 0 where untouched
  };
  const Case cases[] = {
      {0, 0, {1, 2, 3, 0, 4, 5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {-1, -1, {5, 6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {2, 3, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2}},
      {4, 0, std::vector<uint32_t>(16, 0)},
      {0, -2, std::vector<uint32_t>(16, 0)},
  };
  for (const Case &c : cases) {
    std::fill_n(pixels32(destination.get()), 16, 0u);
    overlayGuiImage(source.get(), destination.get(), c.x, c.y);
    std::vector<uint32_t> ys(16);
    for (int i = 0; i < 16; ++i) ys[i] = pixels32(destination.get())[i] >> 24;
    EXPECT_EQ(ys, c.ys) << c.x << "," << c.y;
  }
}

// Alpha of column `x`, rows 0..height-1.
std::vector<int> alphaColumn(const OpImage *image, int x) {
  std::vector<int> out;
  for (int y = 0; y < image->height; ++y) out.push_back(alphaAt(image, x, y));
  return out;
}

TEST_F(Compositing, DrawBarLineHorizontalFillsRows18To21) {
  auto image = makeImage(40, 40, OP_KIND_YUVA, 0x10808000u);
  drawBarLine(image.get(), 10, 20, 30, 20, 4);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 40; ++x) {
      const bool inside = x >= 10 && x <= 30 && y >= 18 && y <= 21;
      EXPECT_EQ(px(image.get(), x, y), inside ? 0x108080FFu : 0x10808000u) << x << "," << y;
    }
}

TEST_F(Compositing, DrawBarLineCoverageInEachDirection) {
  struct Case {
    const char *what;
    double x1, y1, x2, y2, t;
    int column; // one column checked, all its rows
    std::vector<int> alpha;
  };
  const Case cases[] = {
      // steep down: rows 2..5, columns from x - 1.5: 0.5 coverage each side
      {"vertical", 3, 2, 3, 5, 3, 1, {0, 0, 127, 127, 127, 127, 0, 0}},
      {"vertical centre", 3, 2, 3, 5, 3, 2, {0, 0, 255, 255, 255, 255, 0, 0}},
      {"vertical right edge", 3, 2, 3, 5, 3, 4, {0, 0, 128, 128, 128, 128, 0, 0}},
      // the same line given right to left is the same line
      {"swapped ends", 6, 3, 1, 3, 2, 3, {0, 0, 255, 255, 0, 0, 0, 0}},
      // shallow rising: the span walks up from y + t/2
      {"rising", 0, 5, 7, 4, 2, 0, {0, 0, 0, 0, 255, 255, 0, 0}},
      // steep rising: rows 5 down to 1, the span moving right by 1/4 a row
      {"steep rising", 2, 5, 3, 1, 2, 1, {0, 0, 63, 127, 191, 255, 0, 0}},
      // forward, -1 < w < 0: only pixel 0, trunc((1 + w) * 255)
      {"top edge", 0, 0.5, 7, 0.5, 2, 4, {254, 128, 0, 0, 0, 0, 0, 0}},
      // backward, -1 < w < 0: only pixel 0, as forward
      {"rising top edge", 0, -0.25, 0.5, -0.26, 1.5, 0, {254, 0, 0, 0, 0, 0, 0, 0}},
      // w a hair below 1: the second pixel is trunc(w) + 1, no hole
      {"hair below a whole", 0, 1.0, 7, 1.0, std::ldexp(1.0, -52), 3,
       {0, 255, 0, 0, 0, 0, 0, 0}},
      {"a point", 4, 4, 4, 4, 2, 4, {0, 0, 0, 255, 255, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    auto image = makeImage(8, 8, OP_KIND_YUVA, 0x40404000u);
    drawBarLine(image.get(), c.x1, c.y1, c.x2, c.y2, c.t);
    EXPECT_EQ(alphaColumn(image.get(), c.column), c.alpha) << c.what;
    for (int i = 0; i < 64; ++i) EXPECT_EQ(pixels32(image.get())[i] >> 8, 0x404040u) << c.what;
  }
}

TEST_F(Compositing, DrawBarLineSaturatesSkipsOutsideAndRefusesNonsense) {
  auto image = makeImage(8, 8, OP_KIND_YUVA, 0x000000F0u);
  drawBarLine(image.get(), -20, 4, 40, 4, 2); // reaches past both sides
  EXPECT_EQ(alphaColumn(image.get(), 0), (std::vector<int>{240, 240, 240, 255, 255, 240, 240, 240}));
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (auto args : std::vector<std::array<double, 5>>{
           {0, 0, 7, 7, -1}, {0, 0, inf, 7, 2}, {nan, 0, 7, 7, 2}, {0, 0, 7, 7, nan},
           {0, 0, 1e12, 7, 2}, {0, 0, 7, 7, 1e9}}) {
    auto blank = makeImage(8, 8, OP_KIND_YUVA, 0);
    drawBarLine(blank.get(), args[0], args[1], args[2], args[3], args[4]);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(pixels32(blank.get())[i], 0u);
  }
}

class ShowImageRect : public Compositing {
protected:
  void SetUp() override {
    Compositing::SetUp();
    vxhost::Screen screen;
    screen.width = 64;
    screen.height = 48;
    vxhost::setScreen(screen);
    moduleState().panels = {};
  }
  void TearDown() override {
    moduleState().panels = {};
    Compositing::TearDown();
  }
  // An image whose pixel (x, y) holds a unique opaque word.
  static OpImagePtr numbered(int width, int height) {
    auto image = makeImage(width, height, OP_KIND_YUVA, 0);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) px(image.get(), x, y) = (uint32_t(y * 256 + x + 1) << 8) | 0xFF;
    return image;
  }
  // Checks the plane: image pixel (x, y) at (sx + x, sy + y) where shown(x, y), else 0.
  template <typename Shown>
  static void expectPlane(const OpImage *image, int sx, int sy, Shown shown) {
    const auto &plane = vxhost::overlayPlane();
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        const int ix = x - sx, iy = y - sy;
        const bool in = ix >= 0 && iy >= 0 && ix < image->width && iy < image->height && shown(ix, iy);
        ASSERT_EQ(plane[size_t(y) * 64 + x], in ? px(image, ix, iy) : 0u) << x << "," << y;
      }
  }
};

// Each case: panels (index, x, y, width, height), the image, the rectangle
// shown and the screen position, and which image pixels must be on the plane.
TEST_F(ShowImageRect, PanelsAndOddRectangles) {
  struct Case {
    const char *what;
    std::vector<std::array<int16_t, 5>> panels;
    int imageWidth, imageHeight, x, y, width, height, screenX, screenY;
    bool (*shown)(int x, int y);
  };
  const Case cases[] = {
      {"an empty panel table shows the whole image", {}, 20, 12, 0, 0, 20, 12, 6, 4,
       [](int, int) { return true; }},
      {"a panel over the lower third leaves it out", {{0, 6, 4 + 8, 20, 4}}, 20, 12, 0, 0, 20, 12, 6, 4,
       [](int, int y) { return y < 8; }},
      {"a hole in the middle and the two left columns",
       {{0, 6 + 4, 4 + 2, 6, 4}, {2, 0, 0, 8, 48}}, 20, 12, 0, 0, 20, 12, 6, 4,
       [](int x, int y) { return x >= 2 && !(x >= 4 && x < 10 && y >= 2 && y < 6); }},
      {"odd x and y: one more to the left and top", {}, 20, 12, 3, 5, 4, 2, 0, 0,
       [](int x, int y) { return x >= 2 && x < 8 && y >= 4 && y < 8; }},
      {"the odd last column and row are left out, never read past", {}, 7, 5, 0, 0, 7, 5, 0, 0,
       [](int x, int y) { return x < 6 && y < 4; }},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    moduleState().panels = {};
    for (const auto &[index, x, y, width, height] : c.panels) setPanelArea(index, x, y, width, height);
    vxhost::overlayPlane().assign(64 * 48, 0);
    auto image = numbered(c.imageWidth, c.imageHeight);
    showImageRect(image.get(), c.x, c.y, c.width, c.height, c.screenX, c.screenY, moduleState().panels, 0);
    expectPlane(image.get(), c.screenX, c.screenY, c.shown);
  }
}

TEST_F(Compositing, ToGuiImageCopiesAndReleases) {
  auto image = makeImage(3, 2, OP_KIND_YUVA, 0);
  for (int i = 0; i < 6; ++i) pixels32(image.get())[i] = 0x11223300u + i;

  CImagePtr copy = toGuiImage(image.get(), kSrcSplitMask);
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->kind, CG_KIND_YUVA);
  EXPECT_EQ(copy->width, 3);
  EXPECT_EQ(copy->height, 2);
  EXPECT_EQ(std::vector<uint32_t>(pixels32(copy.get()), pixels32(copy.get()) + 6),
            std::vector<uint32_t>(pixels32(image.get()), pixels32(image.get()) + 6));

  // The image stays with the caller: releasing it leaves the copy whole.
  const int live = vxhost::liveImageCount();
  image.reset();
  EXPECT_EQ(vxhost::liveImageCount(), live - 1);
  EXPECT_EQ(pixels32(copy.get())[5], 0x11223305u);
  EXPECT_TRUE(reports().empty());
}

TEST_F(Compositing, ToGuiImageFailureKeepsTheImageAndReports) {
  auto mask = makeImage(2, 2, OP_KIND_8, 0); // no 32-bit pixels to convert
  EXPECT_EQ(toGuiImage(mask.get(), kSrcSplitMask), nullptr);
  EXPECT_EQ(toGuiImage(nullptr, kSrcSplitMask), nullptr);
  EXPECT_EQ(mask->pixels[0], 0); // still ours, still valid
  const auto logged = reports();
  ASSERT_EQ(logged.size(), 2u);
  for (const auto &[level, source] : logged) {
    EXPECT_EQ(level, 3);
    EXPECT_EQ(source, "src\\splitmask");
  }
}

} // namespace
} // namespace tileron
