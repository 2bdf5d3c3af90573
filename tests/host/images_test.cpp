#include <cstring>
#include <random>
#include <vector>

#include "host/images/scale.hpp"
#include "host/media/yuv.hpp"
#include "host_fixture.hpp"
#include "vxhost/orvexagui.h"

namespace {

using OpImagePtr = vxhost::OpImageHandle;

uint32_t *words(const OpImage *image) { return reinterpret_cast<uint32_t *>(image->pixels); }

using ImagesTest = HostTest;

OpImagePtr image8(int width, int height, std::vector<uint8_t> values) {
  OpImagePtr image(opAllocImage(width, height, OP_KIND_8, 0));
  std::memcpy(image->pixels, values.data(), values.size());
  return image;
}

std::vector<uint8_t> bytes(const OpImage *image) {
  const size_t n = size_t(image->width) * size_t(image->height) * (image->kind == OP_KIND_YUVA ? 4 : 1);
  return std::vector<uint8_t>(image->pixels, image->pixels + n);
}

std::vector<uint8_t> randomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (uint8_t &b : v)
    b = static_cast<uint8_t>(rng());
  return v;
}

TEST_F(ImagesTest, ProbesGiveAFieldOfTheFormatWithItsPixelAspect) {
  vxhost::setFormat({720, 576, 1094});
  for (int size : {0, -1}) {
    for (int kind : {OP_KIND_YUVA, OP_KIND_8}) {
      OpImagePtr probe(opAllocImage(size, size, kind, 0));
      ASSERT_NE(probe, nullptr);
      EXPECT_EQ(probe->width, 720);
      EXPECT_EQ(probe->height, 288);
      EXPECT_EQ(probe->kind, kind);
      EXPECT_EQ(probe->pixelAspect, 1094);
    }
  }
  OpImagePtr plain(opAllocImage(4, 2, OP_KIND_YUVA, 0));
  EXPECT_EQ(plain->pixelAspect, 1000);
}

TEST_F(ImagesTest, NewImagesAreClearedAndBadRequestsGiveNull) {
  OpImagePtr image(opAllocImage(33, 7, OP_KIND_YUVA, 0));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(bytes(image.get()), std::vector<uint8_t>(33 * 7 * 4, 0));
  OpImagePtr wide(opAllocImage(3, 2, OP_KIND_16, 0));
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(wide->kind, OP_KIND_16);

  struct Bad { int width, height, kind; };
  for (const Bad &bad : {Bad{0, 4, 1}, Bad{4, 0, 1}, Bad{-2, -2, 1}, Bad{0, -1, 1}, Bad{32768, 1, 1},
                         Bad{4, 4, 0}, Bad{4, 4, 4}})
    EXPECT_EQ(opAllocImage(bad.width, bad.height, bad.kind, 0), nullptr)
        << bad.width << "x" << bad.height << " kind " << bad.kind;
  EXPECT_EQ(cgAllocImage(1, 4, 4), nullptr);
  EXPECT_EQ(cgAllocImage(CG_KIND_YUVA, 0, 4), nullptr);
}

TEST_F(ImagesTest, LiveCountFollowsBothImageKinds) {
  const int before = vxhost::liveImageCount();
  OpImage *op = opAllocImage(8, 8, OP_KIND_8, 0);
  CImage *gui = cgAllocImage(CG_KIND_YUVA, 5, 3);
  ASSERT_NE(gui, nullptr);
  EXPECT_EQ(gui->kind, CG_KIND_YUVA);
  EXPECT_EQ(gui->width, 5);
  EXPECT_EQ(gui->height, 3);
  EXPECT_EQ(vxhost::liveImageCount(), before + 2);
  opFreeImage(op);
  cgFreeImage(gui);
  opFreeImage(nullptr);
  cgFreeImage(nullptr);
  EXPECT_EQ(vxhost::liveImageCount(), before);
}

TEST_F(ImagesTest, EqualSizesCopyEveryByte) {
  for (int kind : {OP_KIND_YUVA, OP_KIND_8}) {
    OpImagePtr src(opAllocImage(37, 11, kind, 0)), dst(opAllocImage(37, 11, kind, 0));
    const std::vector<uint8_t> data = randomBytes(bytes(src.get()).size(), 7);
    std::memcpy(src->pixels, data.data(), data.size());
    EXPECT_EQ(opScaleImage(src.get(), dst.get(), 0), 1);
    EXPECT_EQ(bytes(dst.get()), data);
  }
}

TEST_F(ImagesTest, ShrinkingAveragesAreasRoundingHalvesUp) {
  // 4x4 -> 2x2: each destination pixel is the rounded mean of a 2x2 block.
  OpImagePtr src = image8(4, 4, {0, 100, 1, 1, 200, 40, 0, 0, 7, 7, 255, 255, 7, 8, 255, 254});
  OpImagePtr dst(opAllocImage(2, 2, OP_KIND_8, 0));
  EXPECT_EQ(opScaleImage(src.get(), dst.get(), 0), 1);
  // 340/4 = 85; 2/4 = 0.5 -> 1; 29/4 = 7.25 -> 7; 1019/4 = 254.75 -> 255
  EXPECT_EQ(bytes(dst.get()), (std::vector<uint8_t>{85, 1, 7, 255}));

  // 10, 20, 30 -> 2 pixels: the middle pixel counts half for each side.
  OpImagePtr row = image8(3, 1, {10, 20, 30});
  OpImagePtr two(opAllocImage(2, 1, OP_KIND_8, 0));
  opScaleImage(row.get(), two.get(), 0);
  EXPECT_EQ(bytes(two.get()), (std::vector<uint8_t>{13, 27})); // 13.33, 26.67
}

TEST_F(ImagesTest, EnlargingIsBilinearBetweenPixelCentres) {
  OpImagePtr row = image8(2, 1, {0, 200});
  OpImagePtr wide(opAllocImage(4, 1, OP_KIND_8, 0));
  opScaleImage(row.get(), wide.get(), 0);
  // Sampled at -0.25 (clamped), 0.25, 0.75, 1.25 (clamped).
  EXPECT_EQ(bytes(wide.get()), (std::vector<uint8_t>{0, 50, 150, 200}));

  OpImagePtr column = image8(1, 2, {0, 200});
  OpImagePtr tall(opAllocImage(1, 4, OP_KIND_8, 0));
  opScaleImage(column.get(), tall.get(), 0);
  EXPECT_EQ(bytes(tall.get()), (std::vector<uint8_t>{0, 50, 150, 200}));
}

TEST_F(ImagesTest, YuvaChannelsScaleEachOnTheirOwn) {
  OpImagePtr src(opAllocImage(2, 1, OP_KIND_YUVA, 0)), dst(opAllocImage(4, 1, OP_KIND_YUVA, 0));
  words(src.get())[0] = 0x00C8FF10u;
  words(src.get())[1] = 0xC8000010u;
  opScaleImage(src.get(), dst.get(), 0);
  const uint32_t *d = words(dst.get());
  EXPECT_EQ(d[0], 0x00C8FF10u);
  EXPECT_EQ(d[1], 0x3296BF10u); // Y 0->50, U 200->150, V 255->191.25, A stays 16
  EXPECT_EQ(d[2], 0x96324010u); // Y 150, U 50, V 63.75 -> 64
  EXPECT_EQ(d[3], 0xC8000010u);
}

TEST_F(ImagesTest, AFlatPictureStaysFlatAtAnySize) {
  struct Size { int w, h; };
  for (const auto &[from, to] : {std::pair{Size{7, 5}, Size{3, 2}}, {Size{3, 2}, Size{11, 9}},
                                {Size{5, 9}, Size{13, 4}}, {Size{1, 1}, Size{6, 3}},
                                {Size{9, 1}, Size{1, 1}}}) {
    OpImagePtr src(opAllocImage(from.w, from.h, OP_KIND_YUVA, 0));
    OpImagePtr dst(opAllocImage(to.w, to.h, OP_KIND_YUVA, 0));
    std::fill_n(words(src.get()), from.w * from.h, 0xEB1080FFu);
    opScaleImage(src.get(), dst.get(), 0);
    for (int i = 0; i < to.w * to.h; ++i)
      ASSERT_EQ(words(dst.get())[i], 0xEB1080FFu) << to.w << "x" << to.h << " at " << i;
  }
}

TEST_F(ImagesTest, ScaleRefusesNullAndMismatchedImages) {
  OpImagePtr yuva(opAllocImage(2, 2, OP_KIND_YUVA, 0)), mask(opAllocImage(2, 2, OP_KIND_8, 0));
  OpImagePtr wide(opAllocImage(2, 2, OP_KIND_16, 0)), wide2(opAllocImage(2, 2, OP_KIND_16, 0));
  std::memset(mask->pixels, 9, 4);
  EXPECT_EQ(opScaleImage(yuva.get(), mask.get(), 0), 0);
  EXPECT_EQ(bytes(mask.get()), std::vector<uint8_t>(4, 9));
  EXPECT_EQ(opScaleImage(nullptr, mask.get(), 0), 0);
  EXPECT_EQ(opScaleImage(mask.get(), nullptr, 0), 0);
  EXPECT_EQ(opScaleImage(wide.get(), wide2.get(), 0), 0);
}

TEST(ScaleKernels, FastAndPlainGiveTheSameBytes) {
  struct Case { int sw, sh, dw, dh; };
  for (const Case &c : {Case{37, 23, 91, 57}, Case{91, 57, 37, 23}, Case{33, 17, 33, 41},
                        Case{45, 29, 13, 29}, Case{17, 31, 53, 7}, Case{1, 3, 9, 2}, Case{128, 72, 192, 108},
                        Case{72, 57, 36, 28}, Case{5, 5, 2, 13}, Case{74, 46, 37, 23}, Case{32, 6, 16, 3},
                        Case{2, 2, 1, 1}, Case{74, 45, 37, 22}}) {
    for (int channels : {1, 4}) {
      const ptrdiff_t srcStride = c.sw * channels + 3, dstStride = c.dw * channels + 5;
      const std::vector<uint8_t> src = randomBytes(size_t(srcStride) * size_t(c.sh), unsigned(c.sw * 31 + channels));
      std::vector<uint8_t> plain(size_t(dstStride) * size_t(c.dh), 0xAB), fast = plain;
      vxhost::scalePicturePlain(src.data(), srcStride, c.sw, c.sh, plain.data(), dstStride, c.dw, c.dh, channels);
      vxhost::scalePicture(src.data(), srcStride, c.sw, c.sh, fast.data(), dstStride, c.dw, c.dh, channels);
      EXPECT_EQ(plain, fast) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh << ", " << channels;
    }
  }
}

TEST(ScaleKernels, AxisWeightsSumToOneAndStayInside) {
  for (const auto &[from, to] : {std::pair{720, 360}, {1280, 1920}, {7, 3}, {3, 7}, {5, 5}, {1, 4}, {4, 1}}) {
    const vxhost::ScaleAxis axis = vxhost::makeScaleAxis(from, to);
    ASSERT_EQ(axis.first.size(), size_t(to));
    for (int i = 0; i < to; ++i) {
      int sum = 0;
      for (int k = 0; k < axis.taps; ++k)
        sum += axis.weights[size_t(i * axis.taps + k)];
      EXPECT_EQ(sum, 4096) << from << "->" << to << " at " << i;
      EXPECT_GE(axis.first[size_t(i)], 0);
      EXPECT_LE(axis.first[size_t(i)] + axis.taps, from);
    }
  }
}

TEST(CalcDims, FitsTheBoxKeepingTheDisplayAspect) {
  struct Case { uint16_t w, h; int sa, maxW, maxH, ta; uint16_t outW, outH; };
  for (const Case &c : {
           Case{720, 576, 1094, 1920, 1080, 1000, 1477, 1080}, // PAL frame on a square-pixel screen
           Case{720, 288, 1000, 720, 576, 1000, 720, 288},     // a field into its frame box
           Case{720, 576, 1000, 218, 154, 1000, 193, 154},     // 192.5 rounds up
           Case{16, 9, 1000, 1920, 1920, 1000, 1920, 1080},    // enlarged to the box
           Case{100, 100, 2000, 1000, 1000, 1000, 1000, 500},  // wide pixels become a wide picture
           Case{100, 100, 1000, 300, 300, 500, 300, 150},      // into narrow pixels
           Case{1000, 1, 1000, 10, 10, 1000, 10, 1},           // never below 1
       }) {
    uint16_t w = c.w, h = c.h;
    EXPECT_EQ(opCalcDims(&w, &h, c.sa, c.maxW, c.maxH, c.ta, 0), 1);
    EXPECT_EQ(w, c.outW) << c.w << "x" << c.h << " into " << c.maxW << "x" << c.maxH;
    EXPECT_EQ(h, c.outH) << c.w << "x" << c.h << " into " << c.maxW << "x" << c.maxH;
  }
}

TEST(CalcDims, RefusesArgumentsThatAreNotPositive) {
  uint16_t w = 0, h = 10;
  EXPECT_EQ(opCalcDims(&w, &h, 1000, 100, 100, 1000, 0), 0);
  EXPECT_EQ(w, 0);
  EXPECT_EQ(h, 10);
  w = 10;
  EXPECT_EQ(opCalcDims(&w, &h, 0, 100, 100, 1000, 0), 0);
  EXPECT_EQ(opCalcDims(&w, &h, 1000, 100, 0, 1000, 0), 0);
  EXPECT_EQ(opCalcDims(nullptr, &h, 1000, 100, 100, 1000, 0), 0);
  EXPECT_EQ(w, 10);
}

TEST(Yuv, StudioRangeBt601) {
  EXPECT_EQ(vxhost::rgbaToYuva(255, 255, 255, 255), 0xEB8080FFu);
  EXPECT_EQ(vxhost::rgbaToYuva(0, 0, 0, 7), 0x10808007u);
  EXPECT_EQ(vxhost::rgbaToYuva(255, 0, 0, 255), 0x525AF0FFu);
  for (int grey = 0; grey < 256; ++grey) {
    const vxhost::Rgba back = vxhost::yuvaToRgba(vxhost::rgbaToYuva(grey, grey, grey, 200));
    EXPECT_NEAR(back.r, grey, 1);
    EXPECT_EQ(back.r, back.g);
    EXPECT_EQ(back.g, back.b);
    EXPECT_EQ(back.a, 200);
  }
}

} // namespace
