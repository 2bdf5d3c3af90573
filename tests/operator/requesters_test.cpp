// The editor's requesters in scripted sessions through the operator entry
// (the headless backend feeding the input): the mask selector, the anchor
// requester, the bar style requester and the about box, each checked by the
// settings file it leaves; and the pieces one at a time.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "bar/bar_style_requester.hpp"
#include "editor/anchor_requester.hpp"
#include "editor/presets.hpp"
#include "masks/catalogue.hpp"
#include "masks/mask_selector.hpp"
#include "operator/editor_fixture.hpp"
#include "operator/requester_fixture.hpp"
#include "support/report.hpp"

namespace tileron {
namespace {

using namespace testing_support;

using Requesters = RequesterTest;

// ---- mask selector ------------------------------------------------------------------

TEST_F(Requesters, MaskSelectorPicksCancelsAndCloses) {
  const int cross = catalogueIndex(kCrossMask);
  ASSERT_GE(cross, 0);
  const std::string pick = "key t\n" + clickAt(selectorCell(cross)) + "\n";
  struct Case {
    const char *name;
    std::string script;
    std::string mask;
    int16_t relativeScale;
  } cases[] = {
      // accept (Return) takes the clicked cell; the new instance reads the
      // stored settings, so the scale key acts on it afterwards
      {"accept", pick + "key return\nkey z\nclose\n", kCrossMask, 1010},
      // cancel (Escape) keeps the mask; the editor goes on
      {"cancel", pick + "key escape\nkey z\nclose\n", kDiagonalMask, 1010},
      // a close request ends the selector with no choice, and the editor
      // with it: the scale key after it is never read
      {"close", pick + "close\nkey z\n", kDiagonalMask, 1000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    runEditor(c.script);
    const StoredSettings s = readSettings();
    EXPECT_EQ(s.maskPath, c.mask);
    EXPECT_EQ(s.parts[0].relativeScale, c.relativeScale);
    EXPECT_EQ(s.parts[1].scene, 2); // the parts keep their scenes across masks
    EXPECT_EQ(reports(kSrcGuiMain, kLevelError), 0);
  }
  // No thumbnail outlives the selector.
  for (MaskInfo *e = firstMask(*moduleState().catalogue); e; e = nextMask(*e))
    EXPECT_EQ(e->thumbnail, nullptr);
}

TEST_F(Requesters, MaskSelectorOnANarrowScreen) {
  useScreen(1024, 768);
  const int cross = catalogueIndex(kCrossMask);
  runEditor("key t\n" + clickAt(selectorCell(cross)) + "\nkey return\nclose\n");
  EXPECT_EQ(readSettings().maskPath, kCrossMask);
}

TEST_F(Requesters, MaskSelectorOpensOnTheCurrentMask) {
  ASSERT_TRUE(openEditor());
  struct Case {
    const char *name;
    std::string current;
    int expected;
  } cases[] = {
      {"current mask", kCrossMask, catalogueIndex(kCrossMask)},
      {"not in the catalogue", "/programs/tileron/mask/gone.xml", 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    MaskCatalogue *catalogue = openMaskCatalogue(moduleState().catalogue, c.current);
    ASSERT_NE(catalogue, nullptr);
    MaskSelector selector;
    ASSERT_EQ(openMaskSelector(selector, *catalogue), 1);
    int32_t cell = -1;
    cgGetElementInfo(selector.request.handle, selector.grid, CG_ATTR_GRID_SELECTED, &cell);
    EXPECT_EQ(cell, c.expected);
    EXPECT_EQ(selector.request.width, 1800);
    EXPECT_EQ(selector.request.height, 814);
    selector.close();
    releaseThumbnails(catalogue);
  }
}

TEST_F(Requesters, MaskCellsShowThumbnailAndTitle) {
  ASSERT_TRUE(openEditor());
  MaskCatalogue *catalogue = openMaskCatalogue(moduleState().catalogue, kDiagonalMask);
  ASSERT_NE(catalogue, nullptr);
  // The second entry loses its thumbnail: its cell is GUI colour 3 all over.
  MaskInfo *first = firstMask(*catalogue);
  MaskInfo *second = nextMask(*first);
  second->thumbnail.reset();
  MaskSelector selector;
  ASSERT_EQ(openMaskSelector(selector, *catalogue), 1);
  const std::vector<uint32_t> screen = vxhost::gui::composeScreen(false);
  auto at = [&](Point p) { return screen[size_t(p.y) * size_t(screenWidth()) + size_t(p.x)]; };
  const Point cell0 = selectorCellCorner(0), cell1 = selectorCellCorner(1);
  // The thumbnail 2 pixels in from the corner, at its own pixels.
  const CImage *thumb = first->thumbnail.get();
  ASSERT_NE(thumb, nullptr);
  for (Point p : {Point{0, 0}, Point{thumb->width / 2, thumb->height / 2},
                  Point{thumb->width - 1, thumb->height - 1}})
    EXPECT_EQ(at({cell0.x + 2 + p.x, cell0.y + 2 + p.y}),
              pixels32(thumb)[size_t(p.y) * size_t(thumb->width) + size_t(p.x)]);
  const uint32_t colour3 = cgGetNewGuiColorYUV(3);
  for (Point p : {Point{0, 0}, Point{77, 60}, Point{153, 135}})
    EXPECT_EQ(at({cell1.x + p.x, cell1.y + p.y}), colour3);
  selector.close();
  releaseThumbnails(catalogue);
}

// ---- anchor requester ---------------------------------------------------------------

TEST_F(Requesters, AnchorByButtonKeyCancelAcceptAndClose) {
  settings.parts[0].align = 5;
  struct Case {
    const char *name;
    std::string script;
    int16_t align;
    int16_t relativeScale;
  } cases[] = {
      {"keypad key 1 is bottom left", "key e\nkey 1\n", 7, 1000},
      {"keypad key 9 is top right", "key e\nkey 9\n", 3, 1000},
      {"button 2, top centre", "key e\n" + clickAt(anchorButton(2)) + "\n", 2, 1000},
      {"button 6, middle right", "key e\n" + clickAt(anchorButton(6)) + "\n", 6, 1000},
      {"cancel", "key e\nkey escape\n", 5, 1000},
      // accept does nothing: the requester stays open and takes the next key
      {"accept ignored", "key e\nkey return\nkey 4\n", 4, 1000},
      // a close request ends the requester and the editor: nothing after it counts
      {"close", "key e\nclose\nkey 1\nkey z\n", 5, 1000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    runEditor(c.script + "close\n");
    const StoredSettings s = readSettings();
    EXPECT_EQ(s.parts[0].align, c.align);
    EXPECT_EQ(s.parts[1].align, 5); // only the current part
    EXPECT_EQ(s.parts[0].relativeScale, c.relativeScale);
  }
}

TEST_F(Requesters, AnchorRequesterShowsTheCurrentAnchor) {
  ASSERT_TRUE(openEditor());
  AnchorReq req;
  ASSERT_EQ(buildAnchorReq(req, moduleState(), 7), 1);
  EXPECT_EQ(req.request.width, 180);
  EXPECT_EQ(req.request.height, 5 * 20 + 48);
  // Button 7 (bottom left, key 1) is framed as selected, the others not.
  const std::vector<uint32_t> screen = vxhost::gui::composeScreen(false);
  const uint32_t plain = frameOf(screen, screenWidth(), anchorButtonRect(1));
  EXPECT_NE(frameOf(screen, screenWidth(), anchorButtonRect(7)), plain);
  for (int n : {2, 4, 5, 8, 9}) EXPECT_EQ(frameOf(screen, screenWidth(), anchorButtonRect(n)), plain) << n;
}

// ---- bar style requester ------------------------------------------------------------

TEST_F(Requesters, BarStyleModesAndAngle) {
  BarStyle start = defaultBarStyle();
  start.paletteIndex = 0;
  settings.barStyle = barStyleBytes(start);
  struct Case {
    const char *name;
    std::string script;
    uint16_t mode;
    int16_t paletteIndex, angle;
  } cases[] = {
      {"gradient", "key 9\nkey return\n", kBarGradient, 0, 0},
      {"palette colour 3", "key 3\nkey return\n", kBarColour, 2, 0},
      {"gradient, back to colour", "key 9\nkey 7\nkey return\n", kBarColour, 0, 0},
      // the angle slider's key steps it and takes the gradient mode
      {"angle", "key d\nkey d\nkey return\n", kBarGradient, 0, 2},
      // a close request keeps the edits and ends the editor
      {"close", "key 9\nkey 5\nclose\nkey escape\n", kBarColour, 4, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    runEditor("key c\n" + c.script + "close\n");
    const BarStyle s = storedBarStyle();
    EXPECT_EQ(s.mode, c.mode);
    EXPECT_EQ(s.paletteIndex, c.paletteIndex);
    EXPECT_EQ(s.angle, c.angle);
  }
}

TEST_F(Requesters, BarStyleCancelRestoresEveryByte) {
  BarStyle start = defaultBarStyle();
  start.mode = kBarGradient;
  start.angle = 45;
  start.paletteIndex = 3;
  start.colourA = 0x30405080u;
  settings.barStyle = barStyleBytes(start);
  runEditor("key c\nkey 2\nkey d\nkey d\nkey 7\nkey 6\nkey escape\nclose\n");
  EXPECT_EQ(barStyleBytes(storedBarStyle()), settings.barStyle);
}

TEST_F(Requesters, BarStylePaletteColourEdit) {
  const BarStyle start = defaultBarStyle();
  settings.barStyle = barStyleBytes(start);
  // Palette button 4, then its colour edited: Y three steps up in the colour
  // picker (keys y), accepted there and in the bar style requester.
  runEditor("key c\nkey 4\nkey c\nkey y\nkey y\nkey y\nkey return\nkey return\nclose\n");
  const BarStyle s = storedBarStyle();
  EXPECT_EQ(s.mode, kBarColour);
  EXPECT_EQ(s.paletteIndex, 3);
  EXPECT_EQ(s.palette[3], start.palette[3] + (3u << 24));
  for (int i : {0, 1, 2, 4, 5}) EXPECT_EQ(s.palette[i], start.palette[i]) << i;
  // The colour picker cancelled changes nothing.
  runEditor("key c\nkey 4\nkey c\nkey y\nkey escape\nkey return\nclose\n");
  EXPECT_EQ(storedBarStyle().palette[3], start.palette[3]);
}

TEST_F(Requesters, GradientColoursShareTheirAlpha) {
  BarStyle start = defaultBarStyle();
  start.colourA = 0x10203040u | 0xFF;
  start.colourB = 0xE0708090u | 0xFF;
  settings.barStyle = barStyleBytes(start);
  // Colour A's opacity 127 steps down (key a with Shift): alpha 128.
  std::string lower;
  for (int i = 0; i < 127; ++i) lower += "key a shift\n";
  runEditor("key c\nkey f\n" + lower + "key return\nkey return\nclose\n");
  BarStyle s = storedBarStyle();
  EXPECT_EQ(s.mode, kBarGradient);
  EXPECT_EQ(s.colourA, (start.colourA & ~0xFFu) | 0x80u);
  EXPECT_EQ(s.colourB, (start.colourB & ~0xFFu) | 0x80u); // only its alpha follows
  // Colour B's new luma leaves colour A's bytes but takes B's alpha to A.
  settings.barStyle = barStyleBytes(s);
  runEditor("key c\nkey t\nkey y\nkey a\nkey return\nkey return\nclose\n");
  const BarStyle t = storedBarStyle();
  EXPECT_EQ(t.colourB, s.colourB + (1u << 24) + 1);
  EXPECT_EQ(t.colourA, (s.colourA & ~0xFFu) | 0x81u);
}

TEST_F(Requesters, TextureChosenTiledAndScaled) {
  const std::vector<std::string> textures = textureNames();
  ASSERT_GE(textures.size(), 2u);
  settings.barStyle = barStyleBytes(defaultBarStyle());
  // The texture button without a texture opens the texture requester: the
  // second texture, its scale five steps up; then the popup to tiled.
  runEditor("key c\nkey 8\nkey right\nkey s\nkey s\nkey s\nkey s\nkey s\nkey return\n"
            "key m\nkey return\nclose\n");
  const BarStyle s = storedBarStyle();
  EXPECT_EQ(s.mode, kBarTexture);
  EXPECT_EQ(s.tile, 1);
  EXPECT_EQ(s.textureChosen, 1u);
  EXPECT_EQ(std::string(s.texture.name), textures[1]);
  EXPECT_EQ(s.texture.scale, 105);
  EXPECT_EQ(reports(kSrcPaletteReq, kLevelError), 0);
}

TEST_F(Requesters, TextureRequesterLeftWithoutAChoice) {
  settings.barStyle = barStyleBytes(defaultBarStyle());
  // The mode still becomes texture; nothing was chosen.
  runEditor("key c\nkey 8\nkey escape\nkey return\nclose\n");
  BarStyle s = storedBarStyle();
  EXPECT_EQ(s.mode, kBarTexture);
  EXPECT_EQ(s.textureChosen, 0u);
  // Opened on that style, the requester asks for a texture at once; choose
  // texture, left again, does not ask a second time (the next key counts).
  settings.barStyle = barStyleBytes(s);
  runEditor("key c\nkey escape\nkey p\nkey escape\nkey 9\nkey return\nclose\n");
  s = storedBarStyle();
  EXPECT_EQ(s.mode, kBarGradient);
  EXPECT_EQ(s.textureChosen, 0u);
}

TEST_F(Requesters, BarStyleCancelRestoresTextureAndPalette) {
  BarStyle start = defaultBarStyle();
  start.paletteIndex = 2;
  settings.barStyle = barStyleBytes(start);
  // Texture chosen, palette colour edited, colour A edited, gradient angle:
  // cancel puts all 172 bytes back.
  runEditor("key c\nkey 8\nkey right\nkey return\nkey m\nkey 3\nkey c\nkey y\nkey return\n"
            "key f\nkey a shift\nkey return\nkey d\nkey escape\nclose\n");
  EXPECT_EQ(barStyleBytes(storedBarStyle()), settings.barStyle);
}

// ---- about box ----------------------------------------------------------------------

TEST_F(Requesters, AboutBoxOpensAndCloses) {
  // While the about box is open the scale key does nothing; Return closes it.
  runEditor("key i\nkey z\nkey return\nkey z\nclose\n");
  EXPECT_EQ(readSettings().parts[0].relativeScale, 1010);
  EXPECT_EQ(reports(kSrcGuiMain, kLevelError), 0);
}

// ---- presets ------------------------------------------------------------------------

TEST_F(Requesters, PresetSaveAskBeforeReplacingLoadAndDelete) {
  namespace fs = std::filesystem;
  const fs::path preset = archive() / "mine.prf";
  // Save a new name: asks nothing; the preset is the settings file as stored.
  runEditor("key z\nkey r\nkey s\ntype mine\nkey return\nclose\n");
  ASSERT_TRUE(fs::exists(preset));
  const std::vector<uint8_t> saved = fileBytes(preset);
  EXPECT_EQ(readSettings().parts[0].relativeScale, 1010);
  EXPECT_EQ(saved, readSettings().bytes);
  EXPECT_EQ(archiveFiles(), std::vector<std::string>{"mine.prf"});

  // Save over it, answer no (Escape): the preset stays as it was.
  runEditor("key b\nkey r\nkey s\ntype mine\nkey return\nkey escape\nclose\n");
  EXPECT_EQ(fileBytes(preset), saved);
  // Answer yes (Return): the preset is replaced by the settings as they are.
  runEditor("key b\nkey r\nkey s\ntype mine\nkey return\nkey return\nclose\n");
  const std::vector<uint8_t> replaced = fileBytes(preset);
  EXPECT_NE(replaced, saved);
  EXPECT_EQ(replaced, readSettings().bytes);
  EXPECT_EQ(archiveFiles(), std::vector<std::string>{"mine.prf"}); // no temporary file left

  // Change things, then load the preset (the load requester starts on the
  // first name): its settings come back byte for byte.
  runEditor("key z\nkey z\nkey a shift\nclick 400 700\nkey e\nkey 1\n"
            "key r\nkey l\nkey return\nclose\n");
  EXPECT_EQ(readSettings().bytes, replaced);

  // Delete it: asks nothing, the archive is empty.
  runEditor("key r\nkey d\nkey return\nclose\n");
  EXPECT_TRUE(archiveFiles().empty());
  EXPECT_EQ(reports(kSrcGuiMain, kLevelError), 0);
}

TEST_F(Requesters, DeclinedReplaceWritesNotEvenTheSettingsFile) {
  namespace fs = std::filesystem;
  writeSettingsFile();
  const std::vector<uint8_t> preset = fileBytes(settingsFile());
  fs::copy_file(settingsFile(), archive() / "mine.prf");
  ASSERT_TRUE(openEditor());
  const std::vector<uint8_t> before = fileBytes(settingsFile());
  effect().setPartScale(150); // a change the settings file does not hold yet
  vxhost::gui::runScript(vxhost::gui::parseScript("type mine\nkey return\nkey escape\n", "test",
                                                  screenWidth(), screenHeight()));
  EXPECT_EQ(savePreset(moduleState()), 1);
  EXPECT_EQ(fileBytes(settingsFile()), before);
  EXPECT_EQ(fileBytes(archive() / "mine.prf"), preset);
}

TEST_F(Requesters, FailedSaveLeavesThePresetWhole) {
  namespace fs = std::filesystem;
  // A folder stands where the temporary copy would go: the save fails, says
  // so, and the existing preset keeps every byte.
  writeSettingsFile();
  fs::copy_file(settingsFile(), archive() / "mine.prf");
  const std::vector<uint8_t> preset = fileBytes(archive() / "mine.prf");
  fs::create_directories(archive() / ".mine.prf.tmp" / "blocker");
  ASSERT_TRUE(openEditor());
  effect().setPartScale(150);
  // The name, yes to replacing, then the error message's button.
  vxhost::gui::runScript(vxhost::gui::parseScript("type mine\nkey return\nkey return\nkey return\n",
                                                  "test", screenWidth(), screenHeight()));
  EXPECT_EQ(savePreset(moduleState()), 0);
  EXPECT_EQ(fileBytes(archive() / "mine.prf"), preset);
  EXPECT_TRUE(fs::is_directory(archive() / ".mine.prf.tmp" / "blocker"));
}

} // namespace
} // namespace tileron
