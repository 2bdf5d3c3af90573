// The fast kernels against the plain ones on random buffers with odd widths,
// offsets and strides, and the multiply-shift divisions over their ranges.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "bar/bar_fill.hpp"
#include "engine/kernels.hpp"
#include "kernel_fixture.hpp"

namespace tileron::kernels {
namespace {

using testing_support::Random;

TEST(KernelDivision, By255OverSixteenBits) {
  for (uint32_t x = 0; x <= 65535; ++x) ASSERT_EQ(div255(x), x / 255) << x;
}

TEST(KernelDivision, By65025OverEveryMaskProduct) {
  for (uint32_t n = 0; n <= 255u * 255u * 255u; ++n) ASSERT_EQ(div65025(n), n / 65025) << n;
}

// x * M / 2^52 exceeds x / 255^3 by an error growing with x, so the floor can
// only go wrong just below a multiple of 255^3; checking every such point up
// to 255^4 covers the whole range.
TEST(KernelDivision, By255CubedAtEveryQuotientStep) {
  constexpr uint64_t cube = 255ull * 255 * 255, top = cube * 255;
  for (uint64_t q = 0; q <= 255; ++q)
    for (uint64_t x : {q * cube + cube - 1, q * cube, q * cube + 1, q * cube + cube / 2}) {
      if (x > top) continue;
      ASSERT_EQ(div255cubed(uint32_t(x)), x / cube) << x;
    }
  Random random(7);
  for (int i = 0; i < 1000000; ++i) {
    const uint32_t x = random.next() % uint32_t(top + 1);
    ASSERT_EQ(div255cubed(x), x / cube) << x;
  }
}

// Pixels whose alpha runs mix 0, 255 and everything between, so the fast
// kernels' all-transparent and all-opaque shortcuts are taken and missed.
// Each run of 16 takes its kind at random (runs of mask bytes too), so that
// every kind of pixel run meets every kind of mask run, whole blocks of
// eight inside one run as well as blocks across two.
std::vector<uint32_t> randomPixels(size_t count, Random &random) {
  std::vector<uint32_t> out(count);
  uint32_t kind = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i % 16 == 0) kind = random.next() % 3;
    uint32_t word = random.next();
    switch (kind) {
    case 0: word &= 0xFFFFFF00u; break;
    case 1: word |= 0xFFu; break;
    default: break;
    }
    out[i] = word;
  }
  return out;
}

std::vector<uint8_t> randomBytes(size_t count, Random &random) {
  std::vector<uint8_t> out(count);
  uint32_t kind = 0;
  for (size_t i = 0; i < count; ++i) {
    if (i % 16 == 0) kind = random.next() % 4;
    const uint32_t word = random.next();
    switch (kind) {
    case 0: out[i] = 0; break;
    case 1: out[i] = 255; break;
    default: out[i] = uint8_t(word); break;
    }
  }
  return out;
}

struct Shape {
  int width, height, offset, extra; // offset: first pixel; extra: stride - width
};
const Shape kShapes[] = {{1, 1, 0, 0},  {7, 3, 1, 0},  {8, 2, 3, 5},   {9, 5, 0, 1},
                         {15, 4, 7, 2}, {16, 3, 5, 0}, {33, 7, 1, 13}, {121, 9, 3, 7}};

TEST(KernelEquivalence, Overlay) {
  const KernelSet &plain = plainKernels(), &fast = fastKernels();
  Random random(11);
  for (const Shape &s : kShapes)
    for (int round = 0; round < 20; ++round) {
      const ptrdiff_t stride = s.width + s.extra;
      const size_t count = size_t(s.offset + stride * s.height);
      const auto source = randomPixels(count, random);
      auto expected = randomPixels(count, random), actual = expected;
      plain.overlay(source.data() + s.offset, stride, expected.data() + s.offset, stride, s.width,
                    s.height);
      fast.overlay(source.data() + s.offset, stride, actual.data() + s.offset, stride, s.width,
                   s.height);
      ASSERT_EQ(actual, expected) << fast.name << " " << s.width << "x" << s.height;
    }
}

TEST(KernelEquivalence, MaskComposite) {
  const KernelSet &plain = plainKernels(), &fast = fastKernels();
  Random random(13);
  for (const Shape &s : kShapes)
    for (int opacity : {0, 1, 77, 128, 254, 255})
      for (int round = 0; round < 10; ++round) {
        const ptrdiff_t stride = s.width + s.extra;
        const size_t count = size_t(s.offset + stride * s.height);
        const auto picture = randomPixels(count, random);
        const auto mask = randomBytes(count, random);
        auto expected = randomPixels(count, random), actual = expected;
        plain.maskComposite(picture.data() + s.offset, stride, expected.data() + s.offset, stride,
                            mask.data() + s.offset, stride, s.width, s.height, opacity);
        fast.maskComposite(picture.data() + s.offset, stride, actual.data() + s.offset, stride,
                           mask.data() + s.offset, stride, s.width, s.height, opacity);
        ASSERT_EQ(actual, expected)
            << fast.name << " " << s.width << "x" << s.height << " opacity " << opacity;
      }
}

// An opaque picture at full opacity takes a shorter exact form in the fast
// kernel: every mask byte against every picture and destination byte, onto
// transparent, faint and opaque destinations, blocks mixing all of them.
TEST(KernelEquivalence, MaskCompositeOfOpaquePicturesOverEveryByte) {
  const KernelSet &plain = plainKernels(), &fast = fastKernels();
  constexpr int kWidth = 256;
  std::vector<uint32_t> picture(kWidth), expected(kWidth), actual(kWidth);
  std::vector<uint8_t> mask(kWidth);
  for (int maskByte = 0; maskByte < 256; ++maskByte)
    for (int sc = 0; sc < 256; ++sc) {
      for (int x = 0; x < kWidth; ++x) {
        picture[x] = uint32_t(sc) << 24 | uint32_t(255 - sc) << 16 | uint32_t(x) << 8 | 0xFFu;
        // One lane in eight lets nothing through, so blocks mix m = 255 with the rest.
        mask[x] = x % 8 == 5 ? 255 : uint8_t(maskByte);
        const uint32_t alpha = x % 4 == 0 ? 0 : x % 4 == 1 ? 1 : x % 4 == 2 ? 128 : 255;
        expected[x] = uint32_t(x) << 24 | uint32_t(sc) << 16 | uint32_t(255 - x) << 8 | alpha;
      }
      actual = expected;
      plain.maskComposite(picture.data(), kWidth, expected.data(), kWidth, mask.data(), kWidth,
                          kWidth, 1, 255);
      fast.maskComposite(picture.data(), kWidth, actual.data(), kWidth, mask.data(), kWidth,
                         kWidth, 1, 255);
      ASSERT_EQ(actual, expected) << fast.name << " mask " << maskByte << " picture byte " << sc;
    }
}

// The exact blend against the double-precision formula it replaces: equal
// wherever the double result is not within a hair of a whole number, and
// never below it.
TEST(KernelEquivalence, MaskCompositeMatchesTheRealFormula) {
  Random random(17);
  for (int i = 0; i < 200000; ++i) {
    const uint32_t s = random.next(), d = random.next() | 1; // destination not transparent
    const uint8_t maskByte = uint8_t(random.next());
    const int opacity = int(random.next() % 256);
    uint32_t out = d;
    plainKernels().maskComposite(&s, 1, &out, 1, &maskByte, 1, 1, 1, opacity);
    const double m = (s & 0xFF) * opacity / 65025.0 * ((255 - maskByte) / 255.0);
    if (m == 0) {
      ASSERT_EQ(out, d);
      continue;
    }
    for (int shift = 8; shift < 32; shift += 8) {
      const double real = ((d >> shift) & 0xFF) * (1 - m) + ((s >> shift) & 0xFF) * m;
      const uint32_t got = (out >> shift) & 0xFF;
      if (std::fabs(real - std::round(real)) > 1e-9)
        ASSERT_EQ(got, uint32_t(real)) << std::hex << s << " " << d;
      else
        ASSERT_EQ(got, uint32_t(std::round(real))) << std::hex << s << " " << d;
    }
  }
}

TEST(KernelEquivalence, GradientMap) {
  const KernelSet &plain = plainKernels(), &fast = fastKernels();
  Random random(19);
  std::vector<uint8_t> ramp(256 + 3);
  for (int v = 0; v < 256; ++v) ramp[v + 3] = uint8_t(v);
  for (int round = 0; round < 50; ++round) {
    const uint32_t a = random.next(), b = random.next();
    std::vector<uint32_t> expected(300, 7), actual(300, 7);
    plain.gradientMap(ramp.data() + 3, 128, expected.data() + 1, 130, 128, 2, a, b);
    fast.gradientMap(ramp.data() + 3, 128, actual.data() + 1, 130, 128, 2, a, b);
    ASSERT_EQ(actual, expected);
  }
}

class GradientWindow : public testing_support::HostImageTest {};

// makeGradient turns only the window it reads; the whole square turned and
// cut, coloured with the plain kernel, must give the same bytes.
TEST_F(GradientWindow, MatchesTurningTheWholeSquare) {
  struct Case {
    int width, height;
    int16_t angle;
  };
  for (const Case &c : {Case{4, 3, 0}, Case{37, 11, 17}, Case{20, 40, 90}, Case{64, 36, 211},
                        Case{9, 9, 359}}) {
    BarStyle style = defaultBarStyle();
    style.mode = kBarGradient;
    style.angle = c.angle;
    style.colourA = 0x2A7FC3FF;
    style.colourB = 0xD1306A00;
    const int rampSide =
        int(long(std::sqrt(double(c.width * c.width + c.height * c.height)) + 1.5) / 2 * 2);
    OpImagePtr ramp = allocOpImage(rampSide, rampSide, OP_KIND_8);
    ASSERT_TRUE(ramp);
    fillRamp(ramp->pixels, rampSide, rampSide);
    OpImagePtr turned = rotateRamp(ramp.get(), -double(c.angle));
    ASSERT_TRUE(turned);
    const int side = turned->width;
    std::vector<uint32_t> expected(size_t(c.width) * c.height);
    plainKernels().gradientMap(
        turned->pixels + (side - c.height) / 2 * side + (side - c.width) / 2, side,
        expected.data(), c.width, c.width, c.height, style.colourA, style.colourB);

    OpImagePtr gradient = makeGradient(style, c.width, c.height);
    ASSERT_TRUE(gradient);
    EXPECT_EQ(std::vector<uint32_t>(pixels32(gradient.get()),
                                    pixels32(gradient.get()) + c.width * c.height),
              expected)
        << c.width << "x" << c.height << " at " << c.angle;
  }
}

} // namespace
} // namespace tileron::kernels
