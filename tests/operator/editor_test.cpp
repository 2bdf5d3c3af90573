// The editor run through the operator entry, fed by headless scripts, and
// its steps one at a time: what each gesture stores in the settings file,
// the layouts, the pointer, the picture drag and the ways out.
#include <gtest/gtest.h>

#include <string>

#include "editor/preview_pointer.hpp"
#include "engine/compositing.hpp"
#include "operator/editor_fixture.hpp"
#include "support/report.hpp"

namespace tileron {
namespace {

using namespace testing_support;

// The 640 x 360 storyboard on a 1920 x 1080 screen: a 1920 x 1080 preview
// from (0, 0); the wide panel at (360, 950), 1200 x 130 (R = 20).
constexpr int kWorkWidth = 1920, kWorkHeight = 1080;
// Points inside the two parts of the diagonal mask: part 0 above the
// diagonal from the top-left corner, part 1 below it.
constexpr int kPart0X = 1500, kPart0Y = 300, kPart1X = 400, kPart1Y = 700;

std::string at(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }

using Editor = EditorTest;

TEST_F(Editor, ExitKeyAndCloseRequestStoreTheSameSettings) {
  // A change to store, then out by the exit key, or by a close request.
  const std::string edits = "key z\nkey a shift\nkey b\n";
  runEditor(edits + "key 0x100065\n");
  const StoredSettings byKey = readSettings();
  runEditor(edits + "close\n");
  const StoredSettings byClose = readSettings();
  EXPECT_EQ(byKey.bytes, byClose.bytes);
  EXPECT_EQ(byKey.maskPath, kDiagonalMask);
  EXPECT_EQ(byKey.parts[0].relativeScale, 1010); // scale 101 of the mask's 100
  EXPECT_EQ(byKey.parts[0].opacity, 254);
  EXPECT_EQ(byKey.barWidth, 7);
  EXPECT_EQ(reports(kSrcGuiMain, kLevelError), 0);
}

TEST_F(Editor, EndOfInputEndsTheRunAndStores) {
  // A script that just ends: the event source is gone, which closes the
  // editor; the settings are still stored.
  runEditor("key z\n");
  EXPECT_EQ(readSettings().parts[0].relativeScale, 1010);
}

// Each slider, dragged to one end and stepped by its key, lands in the file.
TEST_F(Editor, SlidersDraggedAndStepped) {
  struct Case {
    const char *name;
    std::string script;
    int16_t scale, opacity, barWidth;
    double offsetX, offsetY;
  } cases[] = {
      // scale slider 500..636 at y 984: the right end is 200 %
      {"scale drag", "drag 540 996 700 996\n", 200, 255, 6, 0, 0},
      {"scale key", "key z\nkey z\n", 102, 255, 6, 0, 0},
      // offset X 670..806 at y 984: the right end shows 50, the picture moves right
      {"offset x drag", "drag 700 996 900 996\n", 100, 255, 6,
       EditorTest::storedOffset((kWorkWidth * -50 + 50) / 100, kWorkWidth), 0},
      {"offset x key", "key h\n", 100, 255, 6,
       EditorTest::storedOffset((kWorkWidth * -1 + 50) / 100, kWorkWidth), 0},
      // offset Y at y 1012: the left end shows -50, the picture moves up
      {"offset y drag", "drag 740 1024 600 1024\n", 100, 255, 6, 0,
       EditorTest::storedOffset((kWorkHeight * 50 + 50) / 100, kWorkHeight)},
      {"offset y key", "key v shift\n", 100, 255, 6, 0,
       EditorTest::storedOffset((kWorkHeight * 1 + 50) / 100, kWorkHeight)},
      // opacity 500..636 at y 1012: the left end is 0
      {"opacity drag", "drag 560 1024 400 1024\n", 100, 0, 6, 0, 0},
      {"opacity key", "key a shift\nkey a shift\n", 100, 253, 6, 0, 0},
      // bar width 1250..1384 at y 984: the right end is 100
      {"bar width drag", "drag 1300 996 1500 996\n", 100, 255, 100, 0, 0},
      {"bar width key", "key b shift\n", 100, 255, 5, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    runEditor(c.script + "close\n");
    const StoredSettings s = readSettings();
    EXPECT_EQ(s.parts[0].relativeScale, c.scale * 10);
    EXPECT_EQ(s.parts[0].opacity, c.opacity);
    EXPECT_EQ(s.barWidth, c.barWidth);
    EXPECT_DOUBLE_EQ(s.parts[0].offsetX, c.offsetX);
    EXPECT_DOUBLE_EQ(s.parts[0].offsetY, c.offsetY);
    EXPECT_EQ(s.parts[1].relativeScale, 1000); // only the current part changes
  }
}

TEST_F(Editor, PartsPickedOnThePreviewAndOnTheStampView) {
  struct Case {
    const char *name;
    std::string script;
    int16_t current;
  } cases[] = {
      {"preview, lower part", "click " + at(kPart1X, kPart1Y) + "\n", 1},
      {"preview, back to the upper part",
       "click " + at(kPart1X, kPart1Y) + "\nclick " + at(kPart0X, kPart0Y) + "\n", 0},
      // the stamp gadget at (830, 984): part 1's marker sits at (30, 53) of the map
      {"stamp gadget", "click 860 1037\n", 1},
      // a click on line work or beside the map picks nothing
      {"stamp gadget, off the map", "click 985 1074\n", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    runEditor(c.script + "close\n");
    EXPECT_EQ(readSettings().currentPart, c.current);
  }
}

TEST_F(Editor, PartSliderSelectsOnTheCrossMask) {
  settings.maskPath = kCrossMask;
  settings.parts[2].scene = 3;
  settings.parts[3].scene = 1;
  // part slider 1056..1158 at y 1012: the key steps to part 2, the right end is part 4
  runEditor("key n\nclose\n");
  EXPECT_EQ(readSettings().currentPart, 1);
  runEditor("drag 1070 1024 1200 1024\nkey z\nclose\n");
  const StoredSettings s = readSettings();
  EXPECT_EQ(s.currentPart, 3);
  EXPECT_EQ(s.parts[3].relativeScale, 1010); // the slider's part is the one edited
}

// The drag moves the picture by the pointer's movement, in both modes; the
// offset is refused per axis beyond half the picture.
TEST_F(Editor, DraggingThePictureInBothModes) {
  struct Case {
    const char *name;
    int16_t part; // the current part, under the drag's start
    std::string script;
    int dx, dy;
  } cases[] = {
      {"virtual pointer", 0, "drag 1500 300 1580 260\n", 80, -40},
      {"follow with shift", 0, "drag 1500 300 1420 340 shift\n", -80, 40},
      // 8 steps of 237 or 238 to the right: the fifth would reach 1187,
      // beyond the limit of 960, so x stays at 950 from there; y follows
      {"limit on x", 1, "drag 10 700 1910 740\n", 950, 40},
      {"two drags add up", 0, "drag 1500 300 1540 300\ndrag 1500 300 1540 320\n", 80, 20},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    settings.currentPart = c.part;
    runEditor(c.script + "close\n");
    const StoredSettings s = readSettings();
    EXPECT_DOUBLE_EQ(s.parts[c.part].offsetX, storedOffset(-c.dx, kWorkWidth));
    EXPECT_DOUBLE_EQ(s.parts[c.part].offsetY, storedOffset(-c.dy, kWorkHeight));
  }
}

TEST_F(Editor, DragCancelledAndClosed) {
  // The right button puts the picture back where the drag found it.
  runEditor("drag 1500 300 1540 300\nmove 1500 300\npress\nmove 1550 330\nmove 1600 350\n"
            "press right\nrelease\nclose\n");
  EXPECT_DOUBLE_EQ(readSettings().parts[0].offsetX, storedOffset(-40, kWorkWidth));
  EXPECT_DOUBLE_EQ(readSettings().parts[0].offsetY, 0);
  // A close request in the middle of a drag ends the drag and the editor,
  // keeping the movement so far.
  runEditor("move 1500 300\npress\nmove 1530 310\nclose\n");
  EXPECT_DOUBLE_EQ(readSettings().parts[0].offsetX, storedOffset(-30, kWorkWidth));
  EXPECT_DOUBLE_EQ(readSettings().parts[0].offsetY, storedOffset(-10, kWorkHeight));
  EXPECT_FALSE(vxhost::gui::virtualPointerOn());
}

TEST_F(Editor, NoDragWithoutAScene) {
  settings.parts[0].scene = 0;
  runEditor("drag 1500 300 1580 260\nclose\n");
  EXPECT_DOUBLE_EQ(readSettings().parts[0].offsetX, 0);
}

TEST_F(Editor, ResetPartAndClearScene) {
  // defaults check box at (772, 1040) resets; scene clear at (1126, 1040)
  // removes the scene and resets too.
  runEditor("key z\nkey a shift\nkey h\nclick 780 1050\nclose\n");
  StoredSettings s = readSettings();
  EXPECT_EQ(s.parts[0].relativeScale, 1000);
  EXPECT_EQ(s.parts[0].opacity, 255);
  EXPECT_DOUBLE_EQ(s.parts[0].offsetX, 0);
  EXPECT_EQ(s.parts[0].scene, 1);
  runEditor("key z\nclick 1134 1050\nclose\n");
  s = readSettings();
  EXPECT_EQ(s.parts[0].scene, 0);
  EXPECT_EQ(s.parts[0].relativeScale, 1000);
  EXPECT_EQ(s.parts[1].scene, 2);
}

TEST_F(Editor, ToggledLayoutsKeepWorking) {
  // Placement (key y) puts the panel at the top, where the exit button is at
  // (1510, 90); compact (key x) leaves only the left buttons: the scale key
  // has no slider to act on.
  runEditor("key y\nkey z\nclick 1518 100\n");
  EXPECT_EQ(readSettings().parts[0].relativeScale, 1010);
  runEditor("key x\nkey z\nkey x\nkey z\nclose\n");
  EXPECT_EQ(readSettings().parts[0].relativeScale, 1010);
}

TEST_F(Editor, NarrowScreenPages) {
  useScreen(1024, 768);
  // The mask page first: no part slider; the stamp gadget at (269, 672)
  // picks part 1; the page key shows the part page, whose scale key works.
  runEditor("key z\nclick 299 725\nkey m\nkey z\nclose\n");
  const StoredSettings s = readSettings();
  EXPECT_EQ(s.currentPart, 1);
  EXPECT_EQ(s.parts[1].relativeScale, 1010);
  EXPECT_EQ(s.parts[0].relativeScale, 1000);
}

TEST_F(Editor, HostPreviewStoresAndReadsBack) {
  // The preview key stores the settings, runs the host's preview and opens a
  // new editor instance on them: the edits before and after it both count.
  runEditor("key z\nclick 400 700\nkey p\nkey z\nclose\n");
  const StoredSettings s = readSettings();
  EXPECT_EQ(s.parts[0].relativeScale, 1010);
  EXPECT_EQ(s.parts[1].relativeScale, 1010);
  EXPECT_EQ(s.currentPart, 1);
  EXPECT_EQ(reports(kSrcGuiMain, kLevelError), 0);
}

TEST_F(Editor, FailedSetUpStoresNothing) {
  // A mask that cannot be loaded and no default mask: the editor does not
  // open and the file keeps its bytes.
  settings.maskPath = "/programs/tileron/mask/gone.xml";
  std::filesystem::remove(home() / "programs/tileron/mask/diagonal_down_2.xml");
  writeSettingsFile();
  const std::vector<uint8_t> before = readSettings().bytes;
  runEditor("close\n");
  EXPECT_EQ(readSettings().bytes, before);
  EXPECT_EQ(reports(kSrcGuiMain, kLevelError), 1);
}

TEST_F(Editor, RenderInstanceInTheHolderIsDroppedWithoutStoring) {
  // A render set-up reads the file; the file then changes under it; the
  // editor opens on the new file, which the render instance never overwrites.
  writeSettingsFile();
  OperatorMessage setUp{};
  setUp.type = OP_MSG_SETUP;
  ASSERT_EQ(operatorEntry(&setUp), 0);
  ASSERT_NE(moduleState().effect, nullptr);
  settings.parts[0].opacity = 77;
  runEditor("close\n");
  EXPECT_EQ(readSettings().parts[0].opacity, 77);
}

// ---- one step at a time ----------------------------------------------------------

TEST_F(Editor, PanelGeometryPerLayout) {
  struct Case {
    const char *name;
    int screenWidth, screenHeight;
    int32_t placedAtTop, compact, showPartGroup;
    int16_t x, y, width;
    bool partSlider, stamp, scale, page;
  } cases[] = {
      {"wide", 1920, 1080, 0, 0, 0, 360, 950, 1200, true, true, true, false},
      {"wide at the top", 1920, 1080, 1, 0, 0, 360, 0, 1200, true, true, true, false},
      {"exactly 1280", 1280, 720, 0, 0, 0, 40, 590, 1200, true, true, true, false},
      {"compact", 1920, 1080, 0, 1, 0, 360, 950, 72, false, false, false, false},
      {"mask page", 1279, 720, 0, 0, 0, 322, 590, 634, false, true, false, true},
      {"part page", 1024, 768, 0, 0, 1, 218, 638, 588, false, false, true, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    useScreen(c.screenWidth, c.screenHeight);
    ASSERT_TRUE(openEditor());
    removePanel(panel);
    panel.placedAtTop = c.placedAtTop;
    panel.compact = c.compact;
    panel.showPartGroup = c.showPartGroup;
    panel.showMaskGroup = 1 - c.showPartGroup;
    ASSERT_EQ(buildPanel(panel, moduleState(), run().editorRequest()), 1);
    EXPECT_EQ(panel.panelX, c.x);
    EXPECT_EQ(panel.panelY, c.y);
    EXPECT_EQ(panel.panelWidth, c.width);
    EXPECT_EQ(panel.panelHeight, 130);
    const PanelRect &area = moduleState().panels[0];
    EXPECT_EQ(area.x, c.x);
    EXPECT_EQ(area.y, c.y);
    EXPECT_EQ(area.width, c.width);
    EXPECT_EQ(area.height, 130);
    EXPECT_EQ(panel.partSlider != 0, c.partSlider);
    EXPECT_EQ(panel.stampGadget != 0, c.stamp);
    EXPECT_EQ(panel.scaleSlider != 0, c.scale);
    EXPECT_EQ(panel.pageButton != 0, c.page);
    EXPECT_NE(panel.exitButton != 0, c.compact == 1);
    EXPECT_NE(panel.aboutButton, 0);
    closeEditor();
    EXPECT_EQ(moduleState().panels[0].width, 0);
  }
}

TEST_F(Editor, RefreshWithoutAScene) {
  settings.parts[0].scene = 0;
  ASSERT_TRUE(openEditor());
  int32_t value = 0;
  cgGetElementInfo(panel.panelHandle, panel.scaleSlider, CG_ATTR_SLIDER_VALUE_GET, &value);
  EXPECT_EQ(value, 100);
  cgGetElementInfo(panel.panelHandle, panel.opacitySlider, CG_ATTR_SLIDER_VALUE_GET, &value);
  EXPECT_EQ(value, 255);
  // The part controls are disabled: a press on the scale slider sends nothing.
  vxhost::gui::pointerTo(560, 996);
  const size_t queued = vxhost::gui::queuedMessages();
  vxhost::gui::press(vxhost::gui::Button::left);
  vxhost::gui::release(vxhost::gui::Button::left);
  EXPECT_EQ(vxhost::gui::queuedMessages(), queued);
}

TEST_F(Editor, OpacityPercentText) {
  const struct {
    int32_t value;
    const char *text;
  } cases[] = {{0, "0%"}, {1, "0%"}, {128, "50%"}, {255, "100%"}};
  for (const auto &c : cases) {
    xchar buffer[32] = {};
    const int32_t n = formatOpacityPercent(c.value, buffer);
    EXPECT_EQ(n, int32_t(std::string(c.text).size()));
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(buffer)),
              std::u16string(c.text, c.text + std::string(c.text).size()));
  }
}

TEST_F(Editor, PlacementTogglesMoveThePointerAlong) {
  ASSERT_TRUE(openEditor());
  cgMovePointer(700, 1000);
  togglePlacement(panel, moduleState());
  int x = 0, y = 0;
  vxhost::gui::pointerPosition(x, y);
  EXPECT_EQ(x, 700);
  EXPECT_EQ(y, 50); // the panel moves up by 950
  EXPECT_EQ(panel.placedAtTop, 1);
  togglePlacement(panel, moduleState());
  vxhost::gui::pointerPosition(x, y);
  EXPECT_EQ(y, 1000);
  EXPECT_EQ(panel.placedAtTop, 0);
}

TEST_F(Editor, PointerShapeOverThePreview) {
  ASSERT_TRUE(openEditor());
  struct Case {
    const char *name;
    int x, y;
    const char *shape;
  } cases[] = {
      {"on the current part", kPart0X, kPart0Y, "custom"},
      {"on another part", kPart1X, kPart1Y, "standard"},
      {"over the panel", 700, 1000, "standard"},
  };
  for (const Case &c : cases) {
    updatePointerShape(run(), c.x, c.y);
    EXPECT_EQ(vxhost::gui::pointerShapeName(), c.shape) << c.name;
  }
  // The grab edge: a mask byte of 240 still grabs, 241 does not.
  OpImage *mask = effect().partMask[0].get();
  mask->pixels[size_t(kPart0Y) * mask->width + kPart0X] = 240;
  updatePointerShape(run(), kPart0X, kPart0Y);
  EXPECT_EQ(vxhost::gui::pointerShapeName(), "custom");
  mask->pixels[size_t(kPart0Y) * mask->width + kPart0X] = 241;
  updatePointerShape(run(), kPart0X, kPart0Y);
  EXPECT_EQ(vxhost::gui::pointerShapeName(), "standard");
  // Without a scene the current part is never grabbed.
  mask->pixels[size_t(kPart0Y) * mask->width + kPart0X] = 0;
  effect().partScene[0] = 0;
  updatePointerShape(run(), kPart0X, kPart0Y);
  EXPECT_EQ(vxhost::gui::pointerShapeName(), "standard");
}

TEST_F(Editor, StampPickInset) {
  ASSERT_TRUE(openEditor());
  // The pick inside the panel reads the map 2 pixels in from the gadget's
  // corner at (830, 984); 0 there picks nothing.
  const int cornerX = panel.panelX + 2 + panel.previewX, cornerY = panel.panelY + 2 + panel.previewY;
  cgMovePointer(cornerX, cornerY + 40);
  EXPECT_EQ(pickPartAtPointer(run()), -1);
  cgMovePointer(cornerX + 30, cornerY + 53);
  EXPECT_EQ(pickPartAtPointer(run()), 1);
  cgMovePointer(kPart1X, kPart1Y);
  EXPECT_EQ(pickPartAtPointer(run()), 1);
  panel.compact = 1;
  cgMovePointer(cornerX + 30, cornerY + 53);
  EXPECT_EQ(pickPartAtPointer(run()), -1);
  panel.compact = 0;
}

TEST_F(Editor, StampHelpFollowsTheMarker) {
  settings.parts[1].scene = 3; // shorter than the effect: marker 3 or 4
  ASSERT_TRUE(openEditor());
  const int x = panel.panelX + panel.previewX + 30, y = panel.panelY + panel.previewY + 53;
  updateStampHelp(run(), x, y);
  cgMovePointer(x, y);
  const xchar *expected = resGetString(moduleState().strings, 5200 + effect().partMarker[1]);
  ASSERT_NE(expected, nullptr);
  EXPECT_GE(effect().partMarker[1], 3);
  EXPECT_EQ(vxhost::gui::helpLine(), std::u16string(reinterpret_cast<const char16_t *>(expected)));
}

// The part slider's final event leaves a composite without the current
// part, also when intermediate events already made that part current.
TEST_F(Editor, PartSliderFinalEventRebuildsTheComposite) {
  settings.maskPath = kCrossMask;
  settings.parts[2].scene = 3;
  ASSERT_TRUE(openEditor());
  for (int value : {2, 3}) {
    cgChangeElement(panel.panelHandle, panel.partSlider, CG_ATTR_SLIDER_VALUE, value, 0);
    handleElementEvent(run(), elementMessage(panel.partSlider, value, 2));
  }
  EXPECT_EQ(effect().currentPart, 2);
  handleElementEvent(run(), elementMessage(panel.partSlider, 3, 3));
  OpImagePtr expected = allocOpImage(kWorkWidth, kWorkHeight, OP_KIND_YUVA);
  ASSERT_TRUE(effect().composeParts(expected.get(), effect().inputImage.get(), 2, false, 0));
  const OpImage *composite = effect().composite.get();
  EXPECT_EQ(0, std::memcmp(composite->pixels, expected->pixels, size_t(kWorkWidth) * kWorkHeight * 4));
}

} // namespace
} // namespace tileron
