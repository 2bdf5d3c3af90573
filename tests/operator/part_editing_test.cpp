#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "engine/compositing.hpp"
#include "engine/split_mask.hpp"
#include "entry/module.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/images/images.hpp"
#include "host/reset.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "support/sandbox.hpp"
#include "vxhost/orvexares.h"

namespace tileron {
namespace {

using namespace testing_support;

// Frames 720 x 16 on a 724 x 16 screen: an editor instance of 720 x 16
// working pixels, shown from viewX = 2.
constexpr int kWidth = 720, kHeight = 16, kScreenWidth = 724;
constexpr int32_t kEffectLength = 4; // fields: scene 1 (8 fields) is long enough, scene 2 (2) not

class PartEditing : public testing_support::Sandbox {
protected:
  void SetUp() override {
    Sandbox::SetUp();
    vxhost::Format format;
    format.width = kWidth;
    format.height = kHeight;
    vxhost::setFormat(format);
    vxhost::Screen screen;
    screen.width = kScreenWidth;
    screen.height = kHeight;
    screen.videoMonitor = true;
    vxhost::setScreen(screen);
    for (int k = 0; k < kPanelCount; ++k)
      setPanelArea(k, 0, 0, 0, 0);
    vxhost::setInput(vxhost::memorySource(taggedClip(0x10, 1, kWidth, kHeight)));
    vxhost::setScene(1, vxhost::memorySource(taggedClip(0x60, 4, kWidth, kHeight)));
    vxhost::setScene(2, vxhost::memorySource(taggedClip(0xA0, 1, kWidth, kHeight)));
    writeMarkerImages();
    mask_ = twoPartMask(kWidth, kHeight);
    mask_.parts[0].scale = 120;
    settings_.parts[0].scene = 1;
    settings_.parts[1].scene = 2;
  }
  void TearDown() override {
    state_.reset();
    resFreeImages(moduleState().images);
    moduleState().images = 0;
    Sandbox::TearDown();
  }

  // Resource images 500 to 507: one opaque pixel each, all of different colours.
  void writeMarkerImages() {
    const std::filesystem::path dir = home_.path() / "resources";
    std::filesystem::create_directories(dir / "tileron/images");
    for (int n = 500; n <= 507; ++n) {
      const uint8_t k = uint8_t(n - 500);
      writeRgbaPng(dir / "tileron/images" / (std::to_string(n) + ".png"), 1, 1,
                   {uint8_t(30 * k), uint8_t(255 - 30 * k), 100, 255});
    }
    vxhost::setResourceDir(dir);
    moduleState().images = resLoadImages("tileron");
    ASSERT_NE(moduleState().images, 0u);
  }
  uint32_t markerPixel(int number) {
    CImagePtr image(cgConvertResImageToCImageAlpha(resGetImage(moduleState().images, number), 0));
    return image ? pixels32(image.get())[0] : 0;
  }

  void setUpEditor() {
    settings_.maskPath = writeMask(home_.path(), mask_);
    writeSettings(home_.path(), settings_);
    state_ = std::make_unique<SplitMask>(moduleParts(moduleState()));
    ASSERT_TRUE(state_->setupEditor(settings_.maskPath.c_str(), kScreenWidth, kHeight,
                                    kEffectLength));
    ASSERT_EQ(state_->viewX, 2);
    ASSERT_EQ(state_->workWidth, kWidth);
    ASSERT_EQ(state_->workHeight, kHeight);
  }

  MaskDesc mask_;
  SettingsDesc settings_;
  std::unique_ptr<SplitMask> state_;
};

TEST_F(PartEditing, OffsetPercentOfThePictureIsLimitedToHalfItPerAxis) {
  setUpEditor();
  SplitMask &s = *state_;
  struct Step {
    bool xAxis;
    int percent;
    int16_t expected;
  };
  const Step steps[] = {
      {true, -10, -71},  // (720 x -10 + 50) / 100 = -71.5, truncated
      {true, 50, 360},   // exactly half the width: accepted
      {true, 51, 360},   // 367: refused, the offset stays
      {true, 9116, 360}, // 65635 is refused, not wrapped to 99
      {false, 50, 8},    // (16 x 50 + 50) / 100 = 8, half the height
      {false, 57, 8},    // 9: refused
      {false, -50, -7},  // -7.5, truncated toward zero
  };
  for (const Step &step : steps) {
    if (step.xAxis)
      s.setPartOffsetXPercent(step.percent);
    else
      s.setPartOffsetYPercent(step.percent);
    EXPECT_EQ(step.xAxis ? s.partOffsetX[0] : s.partOffsetY[0], step.expected)
        << (step.xAxis ? "x " : "y ") << step.percent;
  }
  // One axis accepted, the other refused.
  s.setPartOffset(10, 9);
  EXPECT_EQ(s.partOffsetX[0], 10);
  EXPECT_EQ(s.partOffsetY[0], -7);
}

TEST_F(PartEditing, ResetReturnsToTheMasksScale) {
  setUpEditor();
  SplitMask &s = *state_;
  ASSERT_EQ(s.partScale[0], 120);
  s.setPartScale(150);
  s.setPartOpacity(10);
  s.setPartAlign(3);
  s.setPartOffset(5, -5);
  s.resetPart();
  EXPECT_EQ(s.partScale[0], 120);
  EXPECT_EQ(s.partOpacity[0], 255);
  EXPECT_EQ(s.partAlign[0], 5);
  EXPECT_EQ(s.partOffsetX[0], 0);
  EXPECT_EQ(s.partOffsetY[0], 0);
}

// A mask's scale is read as written; reset holds it to the slider's range
// rather than scaling the picture to 32767 %.
TEST_F(PartEditing, ResetHoldsTheMasksScaleToTheSliderRange) {
  const std::pair<int, int16_t> cases[] = {{32767, 200}, {201, 200}, {200, 200},
                                           {10, 10},     {5, 10},    {0, 10}, {-3, 10}};
  for (const auto &[maskScale, expected] : cases) {
    mask_.parts[0].scale = maskScale;
    setUpEditor();
    SplitMask &s = *state_;
    EXPECT_EQ(s.partMaskScale[0], maskScale);
    s.resetPart();
    EXPECT_EQ(s.partScale[0], expected) << "mask scale " << maskScale;
  }
}

TEST_F(PartEditing, EqualValuesRedrawNothingAndTheMonitorFollowsOnlyWhereAsked) {
  setUpEditor();
  SplitMask &s = *state_;
  struct Op {
    const char *name;
    std::function<void(SplitMask &)> run;
    bool repeatRedraws; // the operation always runs
    bool monitor;       // it also updates the video monitor
  };
  const Op ops[] = {
      {"scale", [](SplitMask &m) { m.setPartScale(150); }, false, false},
      {"opacity", [](SplitMask &m) { m.setPartOpacity(100); }, false, false},
      {"anchor", [](SplitMask &m) { m.setPartAlign(1); }, false, true},
      {"offset", [](SplitMask &m) { m.setPartOffset(10, 2); }, false, false},
      {"bar width", [](SplitMask &m) { m.setBarWidth(20); }, false, false},
      {"scene", [](SplitMask &m) { m.setPartScene(2); }, false, true},
      {"reset", [](SplitMask &m) { m.resetPart(); }, true, true},
      {"bar style", [](SplitMask &m) { m.barStyleChanged(); }, true, true},
  };
  std::vector<uint32_t> &plane = vxhost::overlayPlane();
  const uint32_t sentinel = 0x12345678u;
  const auto monitorShowsPreview = [&] {
    const std::vector<uint32_t> &monitor = vxhost::monitorPicture().pixels;
    const uint32_t *preview = pixels32(s.preview.get());
    return monitor.size() == size_t(kWidth) * kHeight &&
           std::equal(monitor.begin(), monitor.end(), preview);
  };
  for (const Op &op : ops) {
    SCOPED_TRACE(op.name);
    std::fill(plane.begin(), plane.end(), sentinel);
    op.run(s);
    EXPECT_NE(plane[2], sentinel) << "first call redraws";
    EXPECT_EQ(plane[0], sentinel) << "left of viewX stays";
    EXPECT_EQ(monitorShowsPreview(), op.monitor);
    std::fill(plane.begin(), plane.end(), sentinel);
    op.run(s);
    EXPECT_EQ(plane[2] != sentinel, op.repeatRedraws) << "second call";
  }
}

TEST_F(PartEditing, MarkersUseTheEvenImageForTheCurrentPart) {
  setUpEditor();
  SplitMask &s = *state_;
  const auto stampAt = [&](int x, int y) {
    return pixels32(s.stampView.get())[y * s.stampView->width + x];
  };
  // Part 0: scene long enough, its 120 % picture covers the box: kind 1.
  // Part 1: scene shorter than the effect, covers: kind 3.
  ASSERT_NE(s.stampView, nullptr);
  EXPECT_EQ(s.partMarker[0], 1);
  EXPECT_EQ(s.partMarker[1], 3);
  EXPECT_EQ(stampAt(4, 4), markerPixel(500));
  EXPECT_EQ(stampAt(12, 4), markerPixel(505));

  s.selectPart(1);
  EXPECT_EQ(s.currentPart, 1);
  EXPECT_EQ(stampAt(4, 4), markerPixel(501));
  EXPECT_EQ(stampAt(12, 4), markerPixel(504));

  // A picture that leaves its box uncovered: kind 4 for the current part.
  s.setPartScale(50);
  EXPECT_EQ(s.partMarker[1], 4);
  EXPECT_EQ(stampAt(12, 4), markerPixel(506));
}

TEST_F(PartEditing, PartWithoutMarkerPositionGetsNoMarker) {
  mask_.parts[1].stampX = 0;
  setUpEditor();
  EXPECT_EQ(state_->partMarker[1], 0);
  EXPECT_EQ(pixels32(state_->stampView.get())[4 * 16 + 12], 0x408080FFu); // plain part grey
}

TEST_F(PartEditing, HitTestsCoverTheLastColumnAndNothingBeyond) {
  setUpEditor();
  const SplitMask &s = *state_;
  struct Hit {
    int x, y, part;
  };
  const Hit preview[] = {
      {2, 5, 0},   {1, 5, -1},    {2 + kWidth - 1, 5, 1}, {2 + kWidth, 5, -1},
      {300, 0, 0}, {300, 15, 0},  {300, 16, -1},          {300, -1, -1},
  };
  for (const Hit &h : preview)
    EXPECT_EQ(s.partAtPreviewPoint(h.x, h.y), h.part) << "preview " << h.x << "," << h.y;
  const Hit stamp[] = {
      {0, 0, 0}, {9, 3, 1}, {15, 7, 1}, {8, 3, -1} /* line work */, {16, 0, -1}, {0, 8, -1},
      {-1, 0, -1},
  };
  for (const Hit &h : stamp)
    EXPECT_EQ(s.partAtStampPoint(h.x, h.y), h.part) << "stamp " << h.x << "," << h.y;
}

TEST_F(PartEditing, SlotWithoutShapeIsNeverPickedAndShowsNoMarker) {
  // Part elements: left half, one without a file name (marker at (12, 4),
  // scene 2), right half. Only the first two slots count.
  MaskPart nameless = mask_.parts[1];
  nameless.shape.reset();
  mask_.parts.insert(mask_.parts.begin() + 1, nameless);
  setUpEditor();
  SplitMask &s = *state_;
  ASSERT_EQ(s.partCount, 2);
  EXPECT_EQ(s.partAtPreviewPoint(2 + kWidth - 1, 5), -1);
  EXPECT_EQ(s.partAtStampPoint(12, 4), -1);
  EXPECT_EQ(s.partMarker[1], 0);
  EXPECT_EQ(pixels32(s.stampView.get())[4 * 16 + 12], 0x408080FFu);
}

TEST_F(PartEditing, PreviewBarMatchesTheWholeLayerLaidOver) {
  // With no scene in the current part the preview is the composite plus the
  // bar layer; laying only the covered columns must give the same bytes.
  mask_.bars.push_back({0, 0, kWidth - 1, kHeight - 1});
  mask_.bars.push_back({kWidth - 1, 2, 100, 13});
  settings_.parts[0].scene = 0;
  settings_.barWidth = 20; // 14 pixels
  setUpEditor();
  const SplitMask &s = *state_;
  OpImagePtr expected = allocOpImage(kWidth, kHeight, OP_KIND_YUVA);
  std::copy_n(pixels32(s.composite.get()), kWidth * kHeight, pixels32(expected.get()));
  overlayImage(s.barImage.get(), expected.get(), kWidth, kHeight, false, 0);
  EXPECT_TRUE(std::equal(pixels32(expected.get()), pixels32(expected.get()) + kWidth * kHeight,
                         pixels32(s.preview.get())));
}

// ---- stamp pictures -----------------------------------------------------------

using StampPicture = testing_support::Sandbox;

TEST_F(StampPicture, GreysPartsLightsTheHighlightedOneAndWhitensLineWork) {
  {
    OpImagePtr map = allocOpImage(5, 1, OP_KIND_8);
    const uint8_t bytes[] = {255, 128, 5, 0, 19};
    std::copy(std::begin(bytes), std::end(bytes), map->pixels);
    struct Case {
      int16_t highlight;
      uint32_t expected[5];
    };
    const Case cases[] = {
        {5, {0xFF8080FFu, 0x9F8080FFu, 0x808080FFu, 0x408080FFu, 0x408080FFu}},
        {-1, {0xFF8080FFu, 0x9F8080FFu, 0x408080FFu, 0x408080FFu, 0x408080FFu}},
        {0, {0xFF8080FFu, 0x9F8080FFu, 0x408080FFu, 0x808080FFu, 0x408080FFu}},
    };
    for (const Case &c : cases) {
      CImagePtr picture(makeStampPicture(map.get(), c.highlight));
      ASSERT_NE(picture, nullptr);
      ASSERT_EQ(picture->width, 5);
      for (int x = 0; x < 5; ++x)
        EXPECT_EQ(pixels32(picture.get())[x], c.expected[x])
            << "highlight " << c.highlight << " byte " << int(bytes[x]);
    }
    EXPECT_EQ(makeStampPicture(nullptr, 0), nullptr);
  }
}

} // namespace
} // namespace tileron
