#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "masks/resampler.hpp"

namespace tileron {
namespace {

struct Image {
  int width, height, bytes;
  std::vector<uint8_t> pixels;
  Image(int w, int h, int n = 1, uint8_t fill = 0)
      : width(w), height(h), bytes(n), pixels(size_t(w) * h * n, fill) {}
  ImagePlane plane() {
    ImagePlane p;
    p.pixels = pixels.data();
    p.rowStride = width * bytes;
    p.width = width;
    p.height = height;
    p.bytesPerPixel = bytes;
    return p;
  }
};

Image resampled(Image &source, int width, int height) {
  Image destination(width, height, source.bytes, 0xAA);
  EXPECT_EQ(resamplePlane(source.plane(), destination.plane()), 1);
  return destination;
}

// Same generator as the independent model that produced the checksums below.
std::vector<uint8_t> lcgImage(size_t count, uint32_t seed) {
  std::vector<uint8_t> out(count);
  uint32_t x = seed;
  for (auto &byte : out) {
    x = (x * 1103515245u + 12345u) & 0x7fffffffu;
    byte = uint8_t((x >> 16) & 0xFF);
  }
  return out;
}

uint32_t fnv1a(const std::vector<uint8_t> &data) {
  uint32_t h = 2166136261u;
  for (uint8_t b : data) h = (h ^ b) * 16777619u;
  return h;
}

struct Example {
  const char *what;
  int sw, sh;
  std::vector<uint8_t> source;
  int dw, dh;
  std::vector<uint8_t> expected;
};

TEST(Resampler, WorkedExamples) {
  const std::vector<Example> examples = {
      {"4x4 halved: top-left (0+100+200+40)/4", 4, 4,
       {0, 100, 7, 7, 200, 40, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}, 2, 2, {85, 7, 7, 7}},
      {"width doubled (mode 2): right end of each segment, edge repeats", 2, 1, {0, 200}, 4, 1,
       {100, 200, 200, 200}},
      {"height doubled (mode 1): last row is its own next row", 1, 2, {0, 200}, 1, 4,
       {100, 200, 200, 200}},
      {"3 to 2: middle pixel counts half each side, truncated", 3, 1, {10, 20, 30}, 2, 1,
       {13, 26}},
      {"7x5 of 255 to 3x2: weights fall short, truncation gives 254", 7, 5,
       std::vector<uint8_t>(35, 255), 3, 2, {254, 255, 254, 254, 254, 254}},
      {"both enlarged (mode 3) from one pixel", 1, 1, {77}, 3, 2, {77, 77, 77, 77, 77, 77}},
      // Where single precision shows: evaluated wholly in double precision
      // these give 166, 83 in place of 165, 82.
      {"single precision across (mode 2)", 3, 2, {0, 249, 0, 0, 137, 0}, 9, 2,
       {83, 166, 249, 165, 82, 0, 0, 0, 0, 45, 91, 137, 91, 45, 0, 0, 0, 0}},
      {"single precision down (mode 1)", 2, 3, {0, 0, 249, 137, 0, 0}, 2, 9,
       {83, 45, 166, 91, 249, 137, 165, 91, 82, 45, 0, 0, 0, 0, 0, 0, 0, 0}},
      // Products with the bytes formed in double (weights still single) would
      // differ here,
      {"single-precision products (mode 2)", 3, 2, {255, 181, 255, 55, 255, 255}, 13, 2,
       {237, 220, 203, 186, 188, 209, 226, 243, 254, 255, 255, 255, 255,
        101, 147, 193, 239, 255, 255, 255, 255, 254, 255, 255, 255, 255}},
      // and double-precision weights (products single) here.
      {"single-precision weights (mode 2)", 5, 4,
       {133, 255, 255, 255, 255, 0, 0, 62, 0, 0, 255, 255, 0, 0, 255, 0, 255, 252, 243, 0}, 12, 3,
       {137, 176, 193, 201, 206, 198, 192, 191, 191, 191, 191, 191, 127, 127, 113, 63, 30, 15,
        2,   33,  95,  127, 127, 127, 143, 223, 245, 210, 188, 185, 182, 150, 93,  63,  63, 63}},
  };
  for (const auto &e : examples) {
    SCOPED_TRACE(e.what);
    Image source(e.sw, e.sh);
    source.pixels = e.source;
    EXPECT_EQ(resampled(source, e.dw, e.dh).pixels, e.expected);
  }
}

TEST(Resampler, SameSizeCopiesExactly) {
  for (int n : {1, 3}) {
    Image source(9, 5, n);
    source.pixels = lcgImage(source.pixels.size(), 42);
    EXPECT_EQ(resampled(source, 9, 5).pixels, source.pixels) << n << " bytes per pixel";
  }
}

// Checksums of whole outputs in every mode, from an independent model of the
// algorithm (double segment table, single-precision weights, truncation).
TEST(Resampler, MatchesIndependentModelInAllModes) {
  struct Case {
    int sw, sh, n, dw, dh;
    uint32_t checksum;
  };
  const Case cases[] = {
      {13, 7, 1, 5, 11, 0xcf4491cbu},  {9, 9, 1, 20, 4, 0xc0dcb0a5u},
      {16, 12, 1, 16, 12, 0x5893a58bu}, {7, 5, 3, 11, 13, 0x19edb3dbu},
      {31, 17, 1, 29, 19, 0x38223588u}, {90, 72, 1, 240, 135, 0x5906d97eu},
      {45, 36, 1, 240, 135, 0xdcfe2d8au}, {5, 1, 2, 3, 7, 0xaba48dcdu},
      {1, 1, 1, 3, 2, 0x32f2433du},    {40, 30, 1, 7, 3, 0xf7fc521cu},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << "x" << c.n << " -> " << c.dw << "x"
                                    << c.dh);
    Image source(c.sw, c.sh, c.n);
    source.pixels = lcgImage(source.pixels.size(), uint32_t(c.sw * 1000 + c.sh));
    EXPECT_EQ(fnv1a(resampled(source, c.dw, c.dh).pixels), c.checksum);
  }
}

// A soft-edged diagonal mask of the editor's frame size, to a field-size
// preview and to a full HD working size.
TEST(Resampler, FrameSizeMaskMatchesIndependentModel) {
  Image source(720, 576);
  for (int y = 0; y < 576; ++y)
    for (int x = 0; x < 720; ++x)
      // floor((4x - 5y) / 2) + 128, clamped
      source.pixels[size_t(y) * 720 + x] =
          uint8_t(std::clamp((x * 4 - y * 5 + 4000) / 2 - 2000 + 128, 0, 255));
  EXPECT_EQ(fnv1a(resampled(source, 360, 288).pixels), 0xed1ce782u);
  EXPECT_EQ(fnv1a(resampled(source, 1920, 1080).pixels), 0x0c1a7fccu);
}

// Components of interleaved pixels never mix, and strides (padded or negative,
// bottom-up) only change where rows are.
TEST(Resampler, InterleavedComponentsAndStrides) {
  const int sw = 11, sh = 6, dw = 7, dh = 9, n = 3;
  Image interleaved(sw, sh, n);
  interleaved.pixels = lcgImage(interleaved.pixels.size(), 7);
  const Image out = resampled(interleaved, dw, dh);
  for (int component = 0; component < n; ++component) {
    Image single(sw, sh);
    for (size_t p = 0; p < single.pixels.size(); ++p)
      single.pixels[p] = interleaved.pixels[p * n + component];
    const Image one = resampled(single, dw, dh);
    for (size_t p = 0; p < one.pixels.size(); ++p)
      ASSERT_EQ(out.pixels[p * n + component], one.pixels[p]) << component << " " << p;
  }

  // Source rows 5 bytes apart beyond their width; destination stored bottom-up.
  const int pad = 5;
  std::vector<uint8_t> padded(size_t(sh) * (sw * n + pad), 0xEE);
  for (int y = 0; y < sh; ++y)
    std::copy_n(&interleaved.pixels[size_t(y) * sw * n], sw * n, &padded[y * (sw * n + pad)]);
  std::vector<uint8_t> bottomUp(size_t(dh) * dw * n);
  ImagePlane source = interleaved.plane();
  source.pixels = padded.data();
  source.rowStride = sw * n + pad;
  ImagePlane destination;
  destination.pixels = bottomUp.data() + size_t(dh - 1) * dw * n;
  destination.rowStride = -dw * n;
  destination.width = dw;
  destination.height = dh;
  destination.bytesPerPixel = n;
  ASSERT_EQ(resamplePlane(source, destination), 1);
  for (int y = 0; y < dh; ++y)
    for (int x = 0; x < dw * n; ++x)
      ASSERT_EQ(bottomUp[size_t(dh - 1 - y) * dw * n + x], out.pixels[size_t(y) * dw * n + x]);
}

TEST(Resampler, FailureLeavesDestinationOutsideEveryPart) {
  Image destination(4, 3, 1, 0x11);
  uint8_t byte = 0;
  ImagePlane source;
  source.pixels = &byte;
  source.rowStride = 1 << 30;
  source.height = 1;
  source.bytesPerPixel = 1;

  struct Bad {
    const char *what;
    int32_t width, height, bytesPerPixel, stride;
  };
  // The first needs gigabytes of row buffers and segment table: it is never
  // requested, exactly as if the allocator had refused.
  const Bad bad[] = {{"working memory too large", 1 << 30, 1, 1, 1 << 30},
                     {"empty source", 0, 1, 1, 0},
                     {"stride shorter than a row", 4, 1, 1, 3},
                     {"bytes per pixel differ", 1, 1, 2, 2}};
  for (const Bad &b : bad) {
    SCOPED_TRACE(b.what);
    std::fill(destination.pixels.begin(), destination.pixels.end(), 0x11);
    source.width = b.width;
    source.height = b.height;
    source.bytesPerPixel = b.bytesPerPixel;
    source.rowStride = b.stride;
    EXPECT_EQ(resamplePlane(source, destination.plane()), 0);
    EXPECT_EQ(destination.pixels, std::vector<uint8_t>(12, 255));
  }

  // A destination that cannot be written is left alone.
  Image fine(2, 2, 1, 9);
  ImagePlane none = destination.plane();
  none.pixels = nullptr;
  EXPECT_EQ(resamplePlane(fine.plane(), none), 0);
}

} // namespace
} // namespace tileron
