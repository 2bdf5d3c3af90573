#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/split_mask.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "operator/state_test_env.hpp"

namespace tileron {
namespace {

namespace fs = std::filesystem;
using testing_support::MaskDesc;
using testing_support::SettingsDesc;

constexpr uint32_t kInputPixel = 0xA06040FFu; // opaque

class SplitMaskTest : public testing_support::StateTest {
protected:
  void SetUp() override {
    StateTest::SetUp();
    setInput();
  }

  // The effect's input: one frame of the format filled with kInputPixel.
  static void setInput() {
    const vxhost::Format &f = vxhost::format();
    vxhost::setInput(vxhost::memorySource(
        {std::vector<uint32_t>(size_t(f.width) * size_t(f.height), kInputPixel)}));
  }

  // The two-part test mask at frame size, installed as the default mask.
  std::string writeDefaultMask() {
    MaskDesc desc = testing_support::twoPartMask(720, 576);
    desc.name = "diagonal_down_2";
    desc.parts[1].scale = 120;
    return testing_support::writeMask(home(), desc);
  }

  void writeSettings(const std::string &maskPath, int16_t barWidth = 6,
                     int16_t currentPart = 0) {
    SettingsDesc desc;
    desc.maskPath = maskPath;
    desc.barWidth = barWidth;
    desc.currentPart = currentPart;
    testing_support::writeSettings(home(), desc);
  }

  // Busy and standard pointer were shown equally often, at least once.
  static void expectPointerBalanced(const char *what) {
    const vxhost::CallCounts counts = vxhost::callCounts();
    EXPECT_GE(counts.busyPointer, 1) << what;
    EXPECT_EQ(counts.busyPointer, counts.standardPointer) << what;
  }
};

TEST_F(SplitMaskTest, ConstructionSetsTheDefaults) {
  SplitMask state(moduleParts(moduleState()));
  EXPECT_EQ(state.renderReady, 0);
  EXPECT_TRUE(state.maskPath.empty());
  EXPECT_EQ(state.barWidth, 6);
  EXPECT_EQ(state.partCount, 0);
  EXPECT_EQ(state.currentPart, 0);
  for (int i = 0; i < kMaxParts; ++i) {
    EXPECT_EQ(state.partOpacity[i], 255);
    EXPECT_EQ(state.partMaskScale[i], 100);
    EXPECT_EQ(state.partScale[i], 100);
    EXPECT_EQ(state.partAlign[i], 5);
    EXPECT_EQ(state.partScene[i], 0);
    EXPECT_EQ(state.partOffsetX[i], 0);
    EXPECT_EQ(state.partStampX[i], 0);
  }
  const BarStyle defaults = defaultBarStyle();
  EXPECT_EQ(std::memcmp(&state.barStyle, &defaults, sizeof defaults), 0);
}

TEST_F(SplitMaskTest, GeometryKeepsThePreviewOnAnEvenColumn) {
  struct Case {
    int maxWidth, maxHeight;
    bool renderMode;
    int workWidth, workHeight, viewX;
  };
  const Case cases[] = {
      {922, 576, false, 720, 576, 100}, // (922 - 720) / 2 = 101
      {924, 576, false, 720, 576, 102},
      {1920, 1080, false, 1350, 1080, 284},
      {720, 576, true, 720, 288, 0},
      // A box the host cannot fit into leaves the probe's size: (714 - 720) / 2 = -3.
      {714, 0, false, 720, 576, -4},
  };
  for (const Case &c : cases) {
    SplitMask state(moduleParts(moduleState()));
    ASSERT_TRUE(state.setGeometry(c.maxWidth, c.maxHeight, c.renderMode, false));
    EXPECT_EQ(state.workWidth, c.workWidth) << c.maxWidth;
    EXPECT_EQ(state.workHeight, c.workHeight) << c.maxWidth;
    EXPECT_EQ(state.viewX, c.viewX) << c.maxWidth;
    EXPECT_EQ(state.viewY, 0);
    EXPECT_EQ(state.pixelAspect, 1000);
    EXPECT_EQ(state.monitorWidth, 0);
    EXPECT_EQ(state.monitorHeight, 0);
  }
}

TEST_F(SplitMaskTest, GeometryTakesTheAspectItIsTold) {
  vxhost::setFormat({720, 576, 1094});
  vxhost::Screen screen;
  screen.pixelAspect = 900;
  screen.videoMonitor = true;
  vxhost::setScreen(screen);

  SplitMask render(moduleParts(moduleState()));
  ASSERT_TRUE(render.setGeometry(720, 576, true, false));
  EXPECT_EQ(render.pixelAspect, 1094);
  EXPECT_EQ(render.monitorWidth, 720);
  EXPECT_EQ(render.monitorHeight, 576);
  SplitMask monitorAspect;
  ASSERT_TRUE(monitorAspect.setGeometry(720, 576, true, true));
  EXPECT_EQ(monitorAspect.pixelAspect, 900);
  // The editor converts to the screen's pixels and keeps their aspect.
  SplitMask editor(moduleParts(moduleState()));
  ASSERT_TRUE(editor.setGeometry(1920, 1080, false, false));
  EXPECT_EQ(editor.pixelAspect, 900);
  EXPECT_EQ(editor.workHeight, 1080);
  EXPECT_EQ(editor.workWidth, 1641); // 1080 x 720 x 1094 / (576 x 900), within 1920
}

TEST_F(SplitMaskTest, RenderSetUpBuildsAFrameHighBarLayer) {
  struct Case {
    int aspect, barWidth, barHeight;
  };
  const Case cases[] = {{1000, 720, 576}, {1094, 720, 630}, {900, 800, 576}};
  for (const Case &c : cases) {
    vxhost::setFormat({720, 576, c.aspect});
    writeSettings(writeDefaultMask());
    SplitMask state(moduleParts(moduleState()));
    ASSERT_TRUE(state.setupRender(720, 576, false)) << c.aspect;
    EXPECT_EQ(state.renderReady, 1);
    EXPECT_EQ(state.workWidth, 720);
    EXPECT_EQ(state.workHeight, 288);
    EXPECT_EQ(state.partCount, 2);
    ASSERT_NE(state.barImage, nullptr);
    EXPECT_EQ(state.barImage->width, c.barWidth) << c.aspect;
    EXPECT_EQ(state.barImage->height, c.barHeight) << c.aspect;
    ASSERT_NE(state.composite, nullptr);
    ASSERT_NE(state.preview, nullptr);
    EXPECT_EQ(state.preview->height, 288);
    // A render instance never makes the editor's images.
    EXPECT_EQ(state.inputImage, nullptr);
    EXPECT_EQ(state.monitorImage, nullptr);
    EXPECT_EQ(state.monitorWidth, 0);
  }
}

TEST_F(SplitMaskTest, MonitorCopyOnlyForAnEditorWithAMonitor) {
  vxhost::Screen screen;
  screen.videoMonitor = true;
  vxhost::setScreen(screen);
  writeSettings(writeDefaultMask());
  {
    SplitMask render(moduleParts(moduleState()));
    ASSERT_TRUE(render.setupRender(720, 576, false));
    EXPECT_EQ(render.monitorWidth, 720);
    EXPECT_EQ(render.monitorImage, nullptr);
  }
  SplitMask editor(moduleParts(moduleState()));
  ASSERT_TRUE(editor.setupEditor(nullptr, 1920, 1080, 100));
  ASSERT_NE(editor.monitorImage, nullptr);
  EXPECT_EQ(editor.monitorImage->width, 720);
  EXPECT_EQ(editor.monitorImage->height, 576);
}

TEST_F(SplitMaskTest, EditorSetUpBuildsThePreview) {
  writeDefaultMask();
  SplitMask state(moduleParts(moduleState()));
  ASSERT_TRUE(state.setupEditor(nullptr, 1920, 1080, 100));
  EXPECT_EQ(state.maskPath, kDefaultMaskPath); // no settings file, no path given
  EXPECT_EQ(state.effectLength, 100);
  EXPECT_EQ(state.renderReady, 0);
  EXPECT_EQ(state.workWidth, 1350);
  EXPECT_EQ(state.workHeight, 1080);
  EXPECT_EQ(state.viewX, 284);
  EXPECT_EQ(state.partCount, 2);
  EXPECT_EQ(state.partMaskScale[1], 120);
  for (const OpImagePtr *image : {&state.inputImage, &state.composite, &state.preview}) {
    ASSERT_NE(*image, nullptr);
    EXPECT_EQ((*image)->width, 1350);
    EXPECT_EQ((*image)->height, 1080);
  }
  ASSERT_NE(state.barImage, nullptr);
  EXPECT_EQ(state.barImage->height, 1080);
  EXPECT_EQ(state.monitorImage, nullptr);
  EXPECT_NE(state.stampView, nullptr);
  EXPECT_EQ(pixels32(state.inputImage.get())[0], kInputPixel);
  EXPECT_EQ(stateErrors(), 0);
}

TEST_F(SplitMaskTest, EditorFallsBackToTheDefaultMask) {
  writeDefaultMask();
  writeSettings("/programs/tileron/mask/gone.xml", 6, -1);
  SplitMask state(moduleParts(moduleState()));
  ASSERT_TRUE(state.setupEditor("/programs/tileron/mask/chosen.xml", 1920, 1080, 0));
  EXPECT_EQ(state.maskPath, kDefaultMaskPath);
  EXPECT_EQ(state.currentPart, 0);

  SplitMask fromFile;
  ASSERT_TRUE(fromFile.setupEditor(nullptr, 1920, 1080, 0)); // the file names a missing mask
  EXPECT_EQ(fromFile.maskPath, kDefaultMaskPath);
}

TEST_F(SplitMaskTest, StoredBarWidthOfMinusOneStillDrawsThePreview) {
  writeSettings(writeDefaultMask(), -1);
  SplitMask state(moduleParts(moduleState()));
  ASSERT_TRUE(state.setupEditor(nullptr, 1920, 1080, 0));
  EXPECT_EQ(state.barWidth, -1);
  // The preview holds the input with the parts laid on (both have no
  // scene), and no bar.
  EXPECT_EQ(pixels32(state.preview.get())[0], kInputPixel);
  EXPECT_EQ(pixels32(state.preview.get())[1350 * 1080 - 1], kInputPixel);
}

TEST_F(SplitMaskTest, EverySetUpPathRestoresThePointer) {
  const std::string mask = writeDefaultMask();
  MaskDesc empty;
  empty.name = "empty";
  const std::string noParts = testing_support::writeMask(home(), empty);
  struct Case {
    const char *what;
    bool editor;
    std::string settingsMask; // empty: no settings file
    bool input;
    bool succeeds;
  };
  const Case cases[] = {
      {"render without settings", false, "", true, false},
      {"render with a missing mask", false, "/programs/tileron/mask/gone.xml", true, false},
      {"render with a mask of no parts", false, noParts, true, false},
      {"render", false, mask, true, true},
      {"editor without input", true, mask, false, false},
      {"editor with a mask of no parts", true, noParts, true, false},
      {"editor", true, mask, true, true},
  };
  for (const Case &c : cases) {
    fs::remove(settingsFile());
    if (!c.settingsMask.empty()) writeSettings(c.settingsMask);
    if (c.input)
      setInput();
    else
      vxhost::setInput(nullptr);
    vxhost::callCounts() = {};
    {
      SplitMask state(moduleParts(moduleState()));
      const bool ok = c.editor ? state.setupEditor(nullptr, 1920, 1080, 0)
                               : state.setupRender(720, 576, false);
      EXPECT_EQ(ok, c.succeeds) << c.what;
    }
    expectPointerBalanced(c.what);
  }
}

TEST_F(SplitMaskTest, OnlyASetUpEditorStoresItsSettings) {
  const std::string mask = writeDefaultMask();
  writeSettings(mask, 6);
  const std::vector<uint8_t> stored = readBytes(settingsFile());

  {
    SplitMask render(moduleParts(moduleState()));
    ASSERT_TRUE(render.setupRender(720, 576, false));
    render.barWidth = 11;
  }
  EXPECT_EQ(readBytes(settingsFile()), stored) << "render instance";

  vxhost::setInput(nullptr);
  {
    SplitMask failed(moduleParts(moduleState()));
    ASSERT_FALSE(failed.setupEditor(nullptr, 1920, 1080, 0));
    failed.barWidth = 12;
  }
  EXPECT_EQ(readBytes(settingsFile()), stored) << "failed editor";

  { SplitMask neverSetUp; }
  EXPECT_EQ(readBytes(settingsFile()), stored) << "no set-up";

  setInput();
  {
    SplitMask editor(moduleParts(moduleState()));
    ASSERT_TRUE(editor.setupEditor(nullptr, 1920, 1080, 0));
    editor.barWidth = 13;
  }
  SplitMask reader(moduleParts(moduleState()));
  ASSERT_EQ(reader.loadLastMaskPath(), 1);
  EXPECT_EQ(reader.maskPath, mask);
  ASSERT_EQ(reader.applySavedSettings(), 1);
  EXPECT_EQ(reader.barWidth, 13);
}

TEST_F(SplitMaskTest, FailedEditorWithoutSettingsWritesNoFile) {
  vxhost::setInput(nullptr);
  writeDefaultMask();
  {
    SplitMask state(moduleParts(moduleState()));
    ASSERT_FALSE(state.setupEditor(nullptr, 1920, 1080, 0));
  }
  EXPECT_FALSE(fs::exists(settingsFile()));
}

TEST_F(SplitMaskTest, BarSwatchIsRebuiltOrKept) {
  SplitMask state(moduleParts(moduleState()));
  state.makeBarSwatch();
  ASSERT_NE(state.barSwatch, nullptr);
  EXPECT_EQ(state.barSwatch->width, 50);
  EXPECT_EQ(state.barSwatch->height, 2 * (14 + 6) - 4);
  const CImage *first = state.barSwatch.get();
  EXPECT_EQ(pixels32(first)[0], selectedColour(state.barStyle));
  EXPECT_EQ(stateErrors(), 0);

  state.barStyle.mode = 7; // no fill for it
  state.makeBarSwatch();
  EXPECT_EQ(state.barSwatch.get(), first);
  EXPECT_EQ(stateErrors(), 1);
}

} // namespace
} // namespace tileron
