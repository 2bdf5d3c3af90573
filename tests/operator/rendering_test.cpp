#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/split_mask.hpp"
#include "entry/entry.hpp"
#include "entry/module.hpp"
#include "host/images/images.hpp"
#include "host/log/logger.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "support/sandbox.hpp"
#include "support/report.hpp"
#include "vxhost/operator.h"

namespace tileron {
namespace {

using namespace testing_support;

constexpr int kWidth = 16, kHeight = 8; // frame size; fields are 16 x 4
constexpr int kInput = 0x10, kSceneA = 0x60, kSceneB = 0xA0;
constexpr uint32_t kWhite = 0xEB8080FFu; // the default bar colour

// Pixel (x, y) of field t of a tagged clip: frame t / 2, line 2y + t % 2.
uint32_t fieldPixel(int tag, int field, int x, int y) {
  return clipPixel(tag, field / 2, x, 2 * y + field % 2);
}

// A bar pixel of colour `colour` and coverage `a` over an opaque pixel `d`.
uint32_t barOver(uint32_t colour, int a, uint32_t d) {
  uint32_t out = 0xFF;
  for (int shift = 8; shift < 32; shift += 8)
    out |= ((((colour >> shift) & 0xFF) * a + ((d >> shift) & 0xFF) * (255 - a)) / 255) << shift;
  return out;
}

bool logged(const std::vector<vxhost::LogRecord> &log, int level, const char *source) {
  for (const vxhost::LogRecord &record : log)
    if (record.level == level && record.source == source)
      return true;
  return false;
}

class Rendering : public testing_support::Sandbox {
protected:
  void SetUp() override {
    Sandbox::SetUp();
    vxhost::Format format;
    format.width = kWidth;
    format.height = kHeight;
    vxhost::setFormat(format);
    vxhost::setFieldSink([this](OpImage *image) {
      output_.assign(pixels32(image), pixels32(image) + image->width * image->height);
      opFreeImage(image);
    });
    vxhost::setInput(vxhost::memorySource(taggedClip(kInput, 4, kWidth, kHeight)));
    vxhost::setScene(1, vxhost::memorySource(taggedClip(kSceneA, 4, kWidth, kHeight)));
    vxhost::setScene(2, vxhost::memorySource(taggedClip(kSceneB, 1, kWidth, kHeight)));
    mask_ = twoPartMask(kWidth, kHeight);
    settings_.barWidth = 250; // 4 pixels of the 16-pixel bar layer: columns 6 to 9
    settings_.parts[0].scene = 1;
    settings_.parts[1].scene = 2;
  }
  void TearDown() override {
    EXPECT_EQ(send(OP_MSG_TEARDOWN), 0);
    vxhost::setFieldSink(nullptr);
    Sandbox::TearDown();
  }

  int32_t send(uint16_t type, int32_t field = 0, uint32_t flags = 0) {
    OperatorMessage message{};
    message.type = type;
    message.flags = flags;
    message.field = field;
    return operatorEntry(&message);
  }
  int32_t setUpRender() {
    settings_.maskPath = writeMask(home_.path(), mask_);
    writeSettings(home_.path(), settings_);
    return send(OP_MSG_SETUP);
  }
  // Renders field t (odd fields with the parity flag); true when a field came out.
  bool render(int field) {
    output_.clear();
    return send(OP_MSG_RENDER, field, field % 2 != 0 ? OP_FLAG_ODD_FIELD : 0) == 0 &&
           output_.size() == size_t(kWidth) * (kHeight / 2);
  }
  uint32_t at(int x, int y) const { return output_.at(size_t(y) * kWidth + size_t(x)); }

  MaskDesc mask_;
  SettingsDesc settings_;
  std::vector<uint32_t> output_;
};

TEST_F(Rendering, SetUpWithoutSettingsFileFailsWithReportAndRendersNothing) {
  writeMask(home_.path(), mask_);
  EXPECT_EQ(send(OP_MSG_SETUP), -1);
  EXPECT_TRUE(logged(vxhost::takeLog(), kLevelError, kSrcTileron));
  EXPECT_FALSE(render(0));
  EXPECT_EQ(vxhost::inputFetchCount(), 0);
}

TEST_F(Rendering, ComposesTwoScenesWithTheBarOnTop) {
  ASSERT_EQ(setUpRender(), 0);
  // Field 0: each 16 x 4 picture is centred on its 8 x 4 box, so part 0's
  // picture starts at x = -4 and part 1's at x = 4.
  ASSERT_TRUE(render(0));
  EXPECT_EQ(at(1, 1), fieldPixel(kSceneA, 0, 5, 1));
  EXPECT_EQ(at(5, 3), fieldPixel(kSceneA, 0, 9, 3));
  EXPECT_EQ(at(10, 0), fieldPixel(kSceneB, 0, 6, 0));
  EXPECT_EQ(at(13, 2), fieldPixel(kSceneB, 0, 9, 2));
  for (int x = 6; x <= 9; ++x)
    EXPECT_EQ(at(x, 1), kWhite) << "bar column " << x;
  EXPECT_EQ(vxhost::inputFetchCount(), 0); // both pictures cover their boxes

  // Field 2: scene B (one frame, two fields) has ended; the input shows through.
  ASSERT_TRUE(render(2));
  EXPECT_EQ(at(1, 1), fieldPixel(kSceneA, 2, 5, 1));
  EXPECT_EQ(at(13, 2), fieldPixel(kInput, 2, 13, 2));
  EXPECT_EQ(at(7, 2), kWhite);
  EXPECT_EQ(vxhost::inputFetchCount(), 1);
}

TEST_F(Rendering, OddFieldsReadOddMaskAndBarLines) {
  // Part 0 owns the left half on odd frame lines, part 1 everything else (its
  // box is the whole frame); a one-pixel bar along frame line 4 covers line 3
  // by 127 and line 4 by 128.
  GreyImage left(kWidth, kHeight, 255), rest(kWidth, kHeight, 0);
  for (int y = 1; y < kHeight; y += 2)
    for (int x = 0; x < kWidth / 2; ++x) {
      left.at(x, y) = 0;
      rest.at(x, y) = 255;
    }
  mask_.parts[0].shape = left;
  mask_.parts[1].shape = rest;
  mask_.parts[1].centerX = kWidth / 2;
  mask_.parts[1].width = kWidth;
  mask_.bars = {{0, 4, kWidth - 1, 4}};
  settings_.barWidth = 6;
  ASSERT_EQ(setUpRender(), 0);

  ASSERT_TRUE(render(0)); // frame lines 0, 2, 4, 6
  EXPECT_EQ(at(1, 1), fieldPixel(kSceneB, 0, 1, 1));
  EXPECT_EQ(at(12, 2), barOver(kWhite, 128, fieldPixel(kSceneB, 0, 12, 2)));
  ASSERT_TRUE(render(1)); // frame lines 1, 3, 5, 7
  EXPECT_EQ(at(1, 0), fieldPixel(kSceneA, 1, 5, 0));
  EXPECT_EQ(at(1, 1), barOver(kWhite, 127, fieldPixel(kSceneA, 1, 5, 1)));
  EXPECT_EQ(at(12, 1), barOver(kWhite, 127, fieldPixel(kSceneB, 1, 12, 1)));
  EXPECT_EQ(at(12, 2), fieldPixel(kSceneB, 1, 12, 2));
  EXPECT_EQ(vxhost::inputFetchCount(), 0);
}

TEST_F(Rendering, BarOfNonSquarePixelsIsScaledToTheFrameBeforeItIsLaid) {
  // Pixel aspect 2000: the bar layer is 16 x 16 square pixels, brought to the
  // 16 x 8 frame for each field; a vertical bar keeps its columns.
  vxhost::Format format = vxhost::format();
  format.pixelAspect = 2000;
  vxhost::setFormat(format);
  ASSERT_EQ(setUpRender(), 0);
  ASSERT_EQ(moduleState().effect->barImage->height, 16);
  ASSERT_TRUE(render(1));
  EXPECT_EQ(at(5, 1), fieldPixel(kSceneA, 1, 9, 1));
  EXPECT_EQ(at(6, 1), kWhite);
  EXPECT_EQ(at(9, 2), kWhite);
  EXPECT_EQ(at(10, 1), fieldPixel(kSceneB, 1, 6, 1));
}

TEST_F(Rendering, InputIsFetchedUnlessEveryPartIsOpaqueRunningAndCovering) {
  struct Case {
    const char *name;
    void (*change)(SettingsDesc &);
    int field;
    bool fetched;
  };
  const Case cases[] = {
      {"every part covers", [](SettingsDesc &) {}, 1, false},
      {"translucent part", [](SettingsDesc &s) { s.parts[1].opacity = 254; }, 0, true},
      {"part without scene", [](SettingsDesc &s) { s.parts[0].scene = 0; }, 0, true},
      // 3125 / 10000 of 16 pixels = offset 5: the picture leaves the box's right edge.
      {"picture moved off its box", [](SettingsDesc &s) { s.parts[1].relativeOffsetX = 3125; },
       0, true},
      // Scale 90: a 14 x 2 picture is lower than its 8 x 4 box.
      {"picture smaller than its box", [](SettingsDesc &s) { s.parts[0].relativeScale = 900; },
       0, true},
      {"scene ended", [](SettingsDesc &) {}, 2, true},
  };
  const SettingsDesc base = settings_;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    settings_ = base;
    c.change(settings_);
    ASSERT_EQ(setUpRender(), 0);
    const int before = vxhost::inputFetchCount();
    EXPECT_TRUE(render(c.field));
    EXPECT_EQ(vxhost::inputFetchCount() - before, c.fetched ? 1 : 0);
    EXPECT_EQ(send(OP_MSG_TEARDOWN), 0);
  }
}

TEST_F(Rendering, BarIsLeftOutWhenItsFillGivesNoImage) {
  // Texture mode without a chosen texture: the fill reports and gives nothing.
  BarStyle style = defaultBarStyle();
  style.mode = kBarTexture;
  style.textureChosen = 0;
  settings_.barStyle.resize(sizeof style);
  std::memcpy(settings_.barStyle.data(), &style, sizeof style);
  ASSERT_EQ(setUpRender(), 0);
  ASSERT_TRUE(render(0));
  EXPECT_EQ(at(7, 1), fieldPixel(kSceneA, 0, 11, 1));
  EXPECT_EQ(at(8, 1), fieldPixel(kSceneB, 0, 4, 1));
}

TEST_F(Rendering, EmptyScaledPictureLaysNothing) {
  ASSERT_EQ(setUpRender(), 0);
  SplitMask *effect = moduleState().effect.get();
  ASSERT_NE(effect, nullptr);
  // Scale 0, and scale 1 of a 16 x 4 picture, give a 0 x 0 picture.
  for (int16_t scale : {int16_t(0), int16_t(1)}) {
    effect->partScale[0] = scale;
    ASSERT_TRUE(render(0)) << "scale " << scale;
    EXPECT_EQ(at(1, 1), fieldPixel(kInput, 0, 1, 1));
    EXPECT_EQ(at(13, 1), fieldPixel(kSceneB, 0, 9, 1));
  }
}

TEST_F(Rendering, SlotWithoutShapeLaysNothing) {
  // Part elements: left half, one without a file name, right half. The middle
  // slot counts no part; it holds scene B but lays nothing, so the input shows.
  MaskPart nameless = mask_.parts[1];
  nameless.shape.reset();
  mask_.parts.insert(mask_.parts.begin() + 1, nameless);
  ASSERT_EQ(setUpRender(), 0);
  ASSERT_EQ(moduleState().effect->partCount, 2);
  ASSERT_TRUE(render(0));
  EXPECT_EQ(at(1, 1), fieldPixel(kSceneA, 0, 5, 1));
  EXPECT_EQ(at(13, 1), fieldPixel(kInput, 0, 13, 1));
  EXPECT_EQ(vxhost::inputFetchCount(), 1);
}

// ---- placement and bar lines, directly on the state -----------------------------------------

class Placement : public testing::Test {
protected:
  void SetUp() override { vxhost::reset(); }
  void TearDown() override {
    state_.reset();
    EXPECT_EQ(vxhost::liveImageCount(), 0);
  }
  std::unique_ptr<SplitMask> state_ = std::make_unique<SplitMask>(moduleParts(moduleState()));
};

TEST_F(Placement, AnchorsPlaceThePictureInTheBoxIn16BitArithmetic) {
  struct Case {
    int16_t align, cx, ox, width;
    int16_t x, y;
  };
  // Box centre (cx, 50), 40 x 20; offset (ox, -2); picture width x 10.
  const Case cases[] = {
      {1, 100, 3, 30, 77, 42},  {2, 100, 3, 30, 82, 42},  {3, 100, 3, 30, 87, 42},
      {4, 100, 3, 30, 77, 47},  {5, 100, 3, 30, 82, 47},  {6, 100, 3, 30, 87, 47},
      {7, 100, 3, 30, 77, 52},  {8, 100, 3, 30, 82, 52},  {9, 100, 3, 30, 87, 52},
      {0, 100, 3, 30, 82, 47},  {10, 100, 3, 30, 82, 47}, {5, 100, 3, 31, 82, 47},
      {5, 32767, -10, 0, -32759, 47}, // the sum wraps like a 16-bit value
  };
  SplitMask &s = *state_;
  for (const Case &c : cases) {
    s.partAlign[0] = c.align;
    s.partCenterX[0] = c.cx;
    s.partCenterY[0] = 50;
    s.partWidth[0] = 40;
    s.partHeight[0] = 20;
    s.partOffsetX[0] = c.ox;
    s.partOffsetY[0] = -2;
    int16_t x = 0, y = 0;
    s.placePart(0, c.width, 10, x, y);
    EXPECT_EQ(x, c.x) << "anchor " << c.align << " width " << c.width;
    EXPECT_EQ(y, c.y) << "anchor " << c.align;
  }
}

TEST_F(Placement, PictureCoversItsBoxOnlyWhenLargeEnoughAndInPlace) {
  struct Case {
    const char *name;
    int16_t scale, align, offsetX;
    bool covers;
  };
  // A 16 x 4 picture and an 8 x 4 box centred at (4, 2).
  const Case cases[] = {
      {"centred", 100, 5, 0, true},
      {"top-left anchor", 100, 1, 0, true},
      {"moved right to the box's edge", 100, 5, -4, true},
      {"moved one pixel further", 100, 5, -5, false},
      {"scaled below the box height", 90, 5, 0, false},
      {"no picture size", 0, 5, 0, false},
  };
  SplitMask &s = *state_;
  s.partImage[0] = allocOpImage(16, 4, OP_KIND_YUVA);
  s.partCenterX[0] = 4;
  s.partCenterY[0] = 2;
  s.partWidth[0] = 8;
  s.partHeight[0] = 4;
  for (const Case &c : cases) {
    s.partScale[0] = c.scale;
    s.partAlign[0] = c.align;
    s.partOffsetX[0] = c.offsetX;
    EXPECT_EQ(s.partCoversBox(0), c.covers) << c.name;
  }
}

TEST_F(Placement, BarLinesAreAsThickAsTheWidthInPerMilleOfTheLayer) {
  SplitMask &s = *state_;
  s.barImage = allocOpImage(720, 8, OP_KIND_YUVA);
  s.buildBarImage(); // the default style: white, opaque
  s.barCount = 1;
  s.bars[0] = {100, 0, 100, 7};
  struct Case {
    int16_t barWidth;
    int alpha[6]; // columns 97 to 102
  };
  const Case cases[] = {
      {6, {0, 255, 255, 255, 255, 0}}, // 720 x 6 / 1000 = 4 pixels
      {1, {0, 0, 127, 128, 0, 0}},     // 0.72: at least one pixel
      {0, {0, 0, 0, 0, 0, 0}},         // no bar
      {-5, {0, 0, 0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    s.barWidth = c.barWidth;
    s.drawBarLines();
    for (int y : {0, 7})
      for (int k = 0; k < 6; ++k)
        EXPECT_EQ(int(pixels32(s.barImage.get())[y * 720 + 97 + k] & 0xFF), c.alpha[k])
            << "bar width " << c.barWidth << " column " << 97 + k << " row " << y;
    EXPECT_EQ(pixels32(s.barImage.get())[0] >> 8, 0xEB8080u) << "colour kept";
  }

  // A style the fill cannot make: the layer stays, transparent, and no line
  // is drawn into it.
  s.barStyle.mode = 7;
  s.barWidth = 6;
  s.buildBarImage();
  ASSERT_NE(s.barImage, nullptr);
  EXPECT_EQ(s.barImage->width, 720);
  EXPECT_EQ(s.barImage->height, 8);
  s.drawBarLines();
  const uint32_t *bar = pixels32(s.barImage.get());
  EXPECT_TRUE(std::all_of(bar, bar + 720 * 8, [](uint32_t p) { return p == 0; }));
}

} // namespace
} // namespace tileron
