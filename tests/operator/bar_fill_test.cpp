#include <gtest/gtest.h>

#include <spng.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "bar/bar_fill.hpp"
#include "engine/compositing.hpp"
#include "engine/kernels.hpp"
#include "host/textures/txlib.hpp"
#include "kernel_fixture.hpp"
#include "support/report.hpp"

namespace tileron {
namespace {

using testing_support::makeImage;
using testing_support::px;

class BarFill : public testing_support::HostImageTest {
protected:
  void expectOneReport() {
    const auto logged = reports();
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].first, 3);
    EXPECT_EQ(logged[0].second, "src\\palettereq");
  }
};

std::vector<uint32_t> pixelsOf(const OpImage *image) {
  return {pixels32(image), pixels32(image) + image->width * image->height};
}

// Colour byte k (1..3) of the gradient for ramp value v, by hand.
uint32_t gradientWord(uint32_t v, uint32_t a, uint32_t b) {
  uint32_t out = 0xFF;
  for (int shift = 8; shift < 32; shift += 8)
    out |= ((v * ((b >> shift) & 0xFF) + (255 - v) * ((a >> shift) & 0xFF)) / 255) << shift;
  return out;
}

TEST_F(BarFill, DefaultStyle) {
  const BarStyle style = defaultBarStyle();
  EXPECT_EQ(style.mode, kBarColour);
  EXPECT_EQ(style.angle, 0);
  EXPECT_EQ(style.colourA, 0x108080FFu);
  EXPECT_EQ(style.colourB, 0xEB8080FFu);
  EXPECT_EQ(style.tile, 0);
  EXPECT_EQ(style.paletteIndex, 0);
  EXPECT_EQ(style.textureChosen, 0u);
  const uint32_t palette[] = {0xEB8080FF, 0x108080FF, 0x36A066FF,
                              0x6080A5FF, 0x795A65FF, 0x895A85FF};
  EXPECT_EQ(std::memcmp(style.palette, palette, sizeof palette), 0);
  // Reserved words and the texture settings are all zero bytes.
  const auto *bytes = reinterpret_cast<const uint8_t *>(&style);
  for (size_t i : {12, 13, 18, 19, 24, 25, 26, 27, 164, 165, 166, 167, 168, 169, 170, 171})
    EXPECT_EQ(bytes[i], 0) << i;
  for (size_t i = 28; i < 140; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

TEST_F(BarFill, ColourFillIsTheSelectedPaletteColour) {
  struct Case {
    int16_t index;
    int width, height;
    uint32_t expected;
  };
  for (const Case &c : {Case{0, 1, 1, 0xEB8080FF}, Case{3, 3, 2, 0x6080A5FF},
                        Case{5, 2, 5, 0x895A85FF}, Case{9, 2, 1, 0xEB8080FF},
                        Case{-1, 1, 2, 0xEB8080FF}}) {
    BarStyle style = defaultBarStyle();
    style.paletteIndex = c.index;
    const BarStyle before = style;
    OpImagePtr fill = makeBarFill(style, c.width, c.height);
    ASSERT_TRUE(fill) << c.index;
    EXPECT_EQ(fill->kind, OP_KIND_YUVA);
    EXPECT_EQ(pixelsOf(fill.get()), std::vector<uint32_t>(c.width * c.height, c.expected));
    EXPECT_EQ(std::memcmp(&style, &before, sizeof style), 0);
  }
  EXPECT_TRUE(reports().empty());
}

TEST_F(BarFill, FillsThatYieldNothing) {
  BarStyle style = defaultBarStyle();
  style.mode = 7; // unknown mode: none, without a report
  EXPECT_FALSE(makeBarFill(style, 4, 4));
  EXPECT_TRUE(reports().empty());

  style.mode = kBarTexture; // no texture chosen
  EXPECT_FALSE(makeBarFill(style, 4, 4));
  expectOneReport();
  EXPECT_FALSE(makeTextureImage(style)); // no report of its own
  EXPECT_TRUE(reports().empty());

  style.mode = kBarColour; // sizes the host would read as its probes
  for (int side : {0, -1}) {
    EXPECT_FALSE(makeBarFill(style, side, side));
    expectOneReport();
  }

  style.mode = kBarColour; // a gradient of a style that is not one
  EXPECT_FALSE(makeGradient(style, 4, 3));
  expectOneReport();
}

TEST_F(BarFill, RampAndRotationOfAFourByThreeGradient) {
  // The ramp of a 4 x 3 gradient is 6 x 6: 255 / 6 = 42.5 per row, truncated.
  std::vector<uint8_t> ramp(36);
  kernels::fillRamp(ramp.data(), 6, 6);
  const uint8_t rows[] = {0, 42, 85, 127, 170, 212};
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) ASSERT_EQ(ramp[y * 6 + x], rows[y]) << x << "," << y;

  // The rows follow a running sum of 255 / side: with side 42 row 14 sums to
  // a hair below 85 and holds 84.
  std::vector<uint8_t> ramp42(42 * 42);
  kernels::fillRamp(ramp42.data(), 42, 42);
  EXPECT_EQ(ramp42[13 * 42 + 5], 78);
  EXPECT_EQ(ramp42[14 * 42 + 41], 84);
  EXPECT_EQ(ramp42[15 * 42], 91);
  EXPECT_EQ(ramp42[41 * 42], 248);

  // Turned by 0 into 8 x 8: the ramp one pixel in from every side.
  auto rampImage = makeImage(6, 6, OP_KIND_8, 0);
  std::memcpy(rampImage->pixels, ramp.data(), 36);
  OpImagePtr turned = rotateRamp(rampImage.get(), 0);
  ASSERT_TRUE(turned);
  ASSERT_EQ(turned->width, 8);
  ASSERT_EQ(turned->height, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const bool inside = x >= 1 && x <= 6 && y >= 1 && y <= 6;
      EXPECT_EQ(turned->pixels[y * 8 + x], inside ? rows[y - 1] : 0) << x << "," << y;
    }

  // The gradient reads the window from row (8-3)/2 = 2, column (8-4)/2 = 2.
  BarStyle style = defaultBarStyle();
  style.mode = kBarGradient;
  style.colourA = 0x108040FF;
  style.colourB = 0xEBC0A000;
  OpImagePtr gradient = makeGradient(style, 4, 3);
  ASSERT_TRUE(gradient);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(px(gradient.get(), x, y), gradientWord(rows[y + 1], style.colourA, style.colourB))
          << x << "," << y;
}

TEST_F(BarFill, GradientRunsAlongTheAngle) {
  BarStyle style = defaultBarStyle();
  style.mode = kBarGradient; // black (A) to white (B)
  struct Case {
    int16_t angle;
    int fromX, fromY, toX, toY; // Y rises from the first pixel to the second
  };
  for (const Case &c : {Case{0, 10, 0, 10, 19}, Case{90, 39, 10, 0, 10}, Case{180, 10, 19, 10, 0},
                        Case{270, 0, 10, 39, 10}}) {
    style.angle = c.angle;
    OpImagePtr gradient = makeGradient(style, 40, 20);
    ASSERT_TRUE(gradient);
    EXPECT_LT(px(gradient.get(), c.fromX, c.fromY) >> 24, px(gradient.get(), c.toX, c.toY) >> 24)
        << c.angle;
    EXPECT_EQ(px(gradient.get(), c.toX, c.toY) & 0xFF, 0xFFu);
  }
}

TEST_F(BarFill, GradientOfOneColourIsUniform) {
  BarStyle style = defaultBarStyle();
  style.mode = kBarGradient;
  style.colourA = style.colourB = 0x60A0B010;
  for (int16_t angle : {0, 33, 90, 135, 359})
    for (auto [w, h] : {std::pair{37, 23}, std::pair{1, 1}, std::pair{50, 36}}) {
      style.angle = angle;
      OpImagePtr gradient = makeBarFill(style, w, h);
      ASSERT_TRUE(gradient);
      EXPECT_EQ(pixelsOf(gradient.get()), std::vector<uint32_t>(w * h, 0x60A0B0FF))
          << angle << " " << w << "x" << h;
    }
}

TEST_F(BarFill, CompositeOver) {
  struct Case {
    uint32_t source, destination, expected;
  };
  const Case cases[] = {
      {0xEB808080u, 0x108080C8u,
       (((235 * 128 + 16 * 127) / 255) << 24) | (128u << 16) | (128u << 8) | 255}, // 200+128
      {0xEB808080u, 0x10808000u,
       (((235 * 128 + 16 * 127) / 255) << 24) | (128u << 16) | (128u << 8) | 128}, // 0+128
      {0xEB808000u, 0x12345678u, 0x12345678u},
      {0xEB8080FFu, 0x12345678u, 0xEB8080FFu},
  };
  for (const Case &c : cases) {
    auto source = makeImage(1, 1, OP_KIND_YUVA, c.source);
    auto destination = makeImage(1, 1, OP_KIND_YUVA, c.destination);
    compositeOver(source.get(), destination.get(), 1, 1);
    EXPECT_EQ(px(destination.get(), 0, 0), c.expected) << std::hex << c.source;
  }
  // Clipped to both images.
  auto source = makeImage(3, 1, OP_KIND_YUVA, 0x200000FFu);
  auto destination = makeImage(2, 2, OP_KIND_YUVA, 0);
  compositeOver(source.get(), destination.get(), 5, 5);
  EXPECT_EQ(pixelsOf(destination.get()), (std::vector<uint32_t>{0x200000FF, 0x200000FF, 0, 0}));
}

TEST_F(BarFill, ConversionsCopyAndConsume) {
  auto fill = makeImage(3, 2, OP_KIND_YUVA, 0);
  for (int i = 0; i < 6; ++i) pixels32(fill.get())[i] = 0x01020300u + i;
  const std::vector<uint32_t> original = pixelsOf(fill.get());

  CImagePtr gui = toGuiImage(fill.get(), kSrcPaletteReq);
  ASSERT_TRUE(gui);
  fill.reset();
  EXPECT_EQ(gui->kind, CG_KIND_YUVA);
  OpImagePtr back = toOpImage(gui);
  ASSERT_TRUE(back);
  EXPECT_FALSE(gui);
  EXPECT_EQ(back->kind, OP_KIND_YUVA);
  EXPECT_EQ(pixelsOf(back.get()), original);
  EXPECT_TRUE(reports().empty());

  auto mask = makeImage(2, 2, OP_KIND_8, 5); // not a 32-bit image: stays, reported
  EXPECT_FALSE(toGuiImage(mask.get(), kSrcPaletteReq));
  EXPECT_TRUE(mask);
  expectOneReport();
  CImagePtr none;
  EXPECT_FALSE(toOpImage(none));
  expectOneReport();
}

// Textures from a folder of the test's own: a 3 x 2 RGBA texture whose alpha
// runs through 0, 255 and values between, so it is laid over the palette
// colour by its alpha.
class TextureFill : public BarFill {
protected:
  void SetUp() override {
    BarFill::SetUp();
    dir_ = std::filesystem::temp_directory_path() / ("tileron-tex-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir_);
    writeRgbaPng(dir_ / "patch.png", 3, 2,
                 {200, 30, 30, 255, 30, 200, 30, 0, 30, 30, 200, 128,
                  250, 250, 250, 64, 10, 10, 10, 200, 120, 90, 60, 1});
    vxhost::setTextureDir(dir_);
    auto settings = vxhost::makeTxSettings("patch.png", 100, 0xC8);
    if (!settings) throw std::runtime_error("no texture settings");
    style_ = defaultBarStyle();
    style_.mode = kBarTexture;
    style_.textureChosen = 1;
    style_.paletteIndex = 2;
    style_.texture = *settings;
    reports();
  }
  void TearDown() override {
    vxhost::setTextureDir({});
    std::filesystem::remove_all(dir_);
    BarFill::TearDown();
  }
  static void writeRgbaPng(const std::filesystem::path &file, int width, int height,
                           const std::vector<uint8_t> &rgba) {
    spng_ctx *ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_ihdr ihdr{};
    ihdr.width = uint32_t(width);
    ihdr.height = uint32_t(height);
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    spng_set_ihdr(ctx, &ihdr);
    int error = spng_encode_image(ctx, rgba.data(), rgba.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE);
    size_t size = 0;
    void *png = error ? nullptr : spng_get_png_buffer(ctx, &size, &error);
    spng_ctx_free(ctx);
    if (!png) throw std::runtime_error("PNG encoding failed");
    std::ofstream(file, std::ios::binary).write(static_cast<const char *>(png), std::streamsize(size));
    std::free(png);
  }
  // The texture over the palette colour, by hand, every alpha 0xC8.
  std::vector<uint32_t> expectedTextureImage() const {
    OpImagePtr texture(txGetOpImage(&style_.texture, 1, 0));
    if (!texture) throw std::runtime_error("no texture");
    std::vector<uint32_t> out;
    const uint32_t under = selectedColour(style_);
    for (uint32_t s : pixelsOf(texture.get())) {
      const uint32_t a = s & 0xFF;
      uint32_t word = 0xC8;
      for (int shift = 8; shift < 32; shift += 8)
        word |= ((((under >> shift) & 0xFF) * (255 - a) + ((s >> shift) & 0xFF) * a) / 255) << shift;
      out.push_back(word);
    }
    return out;
  }
  std::filesystem::path dir_;
  BarStyle style_{};
};

TEST_F(TextureFill, TextureImageIsLaidOverThePaletteColour) {
  OpImagePtr texture(txGetOpImage(&style_.texture, 1, 0));
  ASSERT_TRUE(texture);
  EXPECT_EQ(px(texture.get(), 1, 0) & 0xFF, 0u); // the host keeps the file's alpha
  EXPECT_EQ(px(texture.get(), 2, 0) & 0xFF, 128u);
  OpImagePtr image = makeTextureImage(style_);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(pixelsOf(image.get()), expectedTextureImage());
  EXPECT_TRUE(reports().empty());
}

TEST_F(TextureFill, TiledAndScaledFills) {
  const std::vector<uint32_t> texture = expectedTextureImage();
  style_.tile = 1;
  OpImagePtr tiled = makeBarFill(style_, 7, 5);
  ASSERT_TRUE(tiled);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) EXPECT_EQ(px(tiled.get(), x, y), texture[(y % 2) * 3 + x % 3]);

  style_.tile = 0; // scaled: the host's scaling of the texture image
  OpImagePtr scaled = makeBarFill(style_, 6, 4);
  ASSERT_TRUE(scaled);
  OpImagePtr textureImage = makeTextureImage(style_);
  OpImagePtr expected = makeImage(6, 4, OP_KIND_YUVA, 0);
  ASSERT_EQ(opScaleImage(textureImage.get(), expected.get(), 0), 1);
  EXPECT_EQ(pixelsOf(scaled.get()), pixelsOf(expected.get()));
  EXPECT_TRUE(reports().empty());
}

TEST_F(TextureFill, MissingTextureGivesTheImageAsAllocated) {
  std::filesystem::remove(dir_ / "patch.png");
  OpImagePtr fill = makeBarFill(style_, 5, 3);
  ASSERT_TRUE(fill);
  EXPECT_EQ(fill->width, 5);
  EXPECT_EQ(fill->height, 3);
  EXPECT_EQ(pixelsOf(fill.get()), std::vector<uint32_t>(15, 0));
  EXPECT_FALSE(makeTextureImage(style_));
  for (const auto &[level, source] : reports()) EXPECT_NE(source, "src\\palettereq");
}

} // namespace
} // namespace tileron
