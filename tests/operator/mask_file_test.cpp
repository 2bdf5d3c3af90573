#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "engine/split_mask.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "operator/state_test_env.hpp"

namespace tileron {
namespace {

namespace fs = std::filesystem;
using testing_support::GreyImage;
using testing_support::MaskPart;
using testing_support::MaskDesc;

class MaskFile : public testing_support::StateTest {
protected:
  fs::path maskDir() const { return home() / "programs/tileron/mask"; }

  // Writes a mask description as given and returns its home-relative path.
  std::string writeXml(const std::string &name, const std::string &xml) {
    std::ofstream(maskDir() / name, std::ios::binary) << xml;
    return "/programs/tileron/mask/" + name;
  }
  // Writes an 8-bit shape of `width` x `height` into the mask directory.
  void writeShape(const std::string &name, int width, int height, uint8_t fill = 0) {
    testing_support::writeGreyPng(maskDir() / name, GreyImage(width, height, fill));
  }

  // A state at working size 360 x 288, as the set-ups leave it before loading.
  static void shapeState(SplitMask &state, int aspect = 1000) {
    state.workWidth = 360;
    state.workHeight = 288;
    state.pixelAspect = int16_t(aspect);
  }
};

TEST_F(MaskFile, BoxesAreScaledToTheWorkingSize) {
  MaskDesc desc;
  desc.name = "boxes";
  MaskPart first;
  first.shape = GreyImage(720, 576, 0);
  first.centerX = 180;
  first.centerY = 101; // 50.5 -> 51
  first.width = 361;   // 180.5 -> 181
  first.height = 575;  // 287.5 -> 288
  first.scale = 120;
  first.stampX = 12;
  first.stampY = 7;
  MaskPart second;
  second.shape = GreyImage(720, 576, 255);
  second.centerX = -3; // -1.5 -> -2
  second.centerY = -1; // -0.5 -> -1
  second.width = 1;    // 0.5 -> 1
  second.height = 0;
  desc.parts = {first, second};
  desc.stamp = GreyImage(40, 24, 1);

  for (bool renderMode : {false, true}) {
    SplitMask state(moduleParts(moduleState()));
    shapeState(state);
    state.maskPath = testing_support::writeMask(home(), desc);
    ASSERT_EQ(state.loadMask(renderMode), 1);
    EXPECT_EQ(state.partCount, 2);
    EXPECT_EQ(state.partCenterX[0], 90);
    EXPECT_EQ(state.partCenterY[0], 51);
    EXPECT_EQ(state.partWidth[0], 181);
    EXPECT_EQ(state.partHeight[0], 288);
    EXPECT_EQ(state.partMaskScale[0], 120);
    EXPECT_EQ(state.partStampX[0], 12);
    EXPECT_EQ(state.partStampY[0], 7);
    EXPECT_EQ(state.partCenterX[1], -2);
    EXPECT_EQ(state.partCenterY[1], -1);
    EXPECT_EQ(state.partWidth[1], 1);
    EXPECT_EQ(state.partHeight[1], 0);
    // Shapes cover a whole frame: twice the field lines in render mode.
    for (int i = 0; i < 2; ++i) {
      ASSERT_NE(state.partMask[i], nullptr);
      EXPECT_EQ(state.partMask[i]->kind, OP_KIND_8);
      EXPECT_EQ(state.partMask[i]->width, 360);
      EXPECT_EQ(state.partMask[i]->height, renderMode ? 576 : 288);
      EXPECT_EQ(state.partMask[i]->pixels[0], i == 0 ? 0 : 255);
    }
    EXPECT_EQ(state.partMask[2], nullptr);
    ASSERT_NE(state.stampMap, nullptr);
    EXPECT_EQ(state.stampMap->width, 40); // as read, not resampled
    EXPECT_EQ(state.stampMap->height, 24);
    EXPECT_EQ(std::u16string(state.maskTitle.begin(), state.maskTitle.end() - 1), u"Fixture");
    EXPECT_EQ(stateErrors(), 0);
  }
}

TEST_F(MaskFile, BarsFollowThePixelAspect) {
  writeShape("aspect.png", 720, 576);
  const std::string path = writeXml(
      "aspect.xml",
      "<splitscreen><part><filename>aspect.png</filename></part>"
      "<bar><left>100</left><top>100</top><right>-100</right><bottom>575</bottom></bar>"
      "</splitscreen>");
  struct Case {
    int aspect;
    bool renderMode;
    int left, top, right, bottom;
  };
  const Case cases[] = {
      {1000, false, 50, 50, -50, 288},  // 287.5 -> 288
      {1000, true, 50, 100, -50, 575},
      {1094, false, 50, 55, -50, 315},  // 100 x 0.5 x 1.094 = 54.7; 575 x 0.547 = 314.525
      {1094, true, 50, 109, -50, 629},  // 109.4; 629.05
      {889, false, 56, 50, -56, 288},   // 100 x 0.5 x 1000 / 889 = 56.24
      {889, true, 56, 100, -56, 575},
  };
  for (const Case &c : cases) {
    SplitMask state(moduleParts(moduleState()));
    shapeState(state, c.aspect);
    state.maskPath = path;
    ASSERT_EQ(state.loadMask(c.renderMode), 1);
    ASSERT_EQ(state.barCount, 1);
    const BarSegment &bar = state.bars[0];
    EXPECT_EQ(bar.left, c.left) << c.aspect << " " << c.renderMode;
    EXPECT_EQ(bar.top, c.top) << c.aspect << " " << c.renderMode;
    EXPECT_EQ(bar.right, c.right) << c.aspect << " " << c.renderMode;
    EXPECT_EQ(bar.bottom, c.bottom) << c.aspect << " " << c.renderMode;
  }
}

TEST_F(MaskFile, MissingElementsTakeTheirDefaults) {
  writeShape("plain.png", 720, 576);
  std::string xml = "<splitscreen><part><filename>plain.png</filename>"
                    "<width>100</width><height>60</height></part>"
                    "<part><filename>plain.png</filename></part>";
  // Bar 0 ends at part 0's box, bar 1 at part 1's; bars from the eleventh on
  // have no part of their index and end at the working frame.
  for (int b = 0; b < 11; ++b) xml += "<bar><left>2</left><top>4</top></bar>";
  xml += "<bar></bar></splitscreen>";
  const std::string path = writeXml("plain.xml", xml);

  for (bool renderMode : {false, true}) {
    SplitMask state(moduleParts(moduleState()));
    shapeState(state);
    state.maskPath = path;
    ASSERT_EQ(state.loadMask(renderMode), 1);
    EXPECT_EQ(state.partCount, 2);
    EXPECT_EQ(state.partWidth[0], 50);
    EXPECT_EQ(state.partHeight[0], 30);
    EXPECT_EQ(state.partCenterX[1], 180);
    EXPECT_EQ(state.partCenterY[1], 144);
    EXPECT_EQ(state.partWidth[1], 360);
    EXPECT_EQ(state.partHeight[1], 288);
    EXPECT_EQ(state.partMaskScale[1], 100);
    EXPECT_EQ(state.partStampX[1], 0);
    EXPECT_EQ(state.partStampY[1], 100);
    EXPECT_EQ(state.stampMap, nullptr);
    EXPECT_TRUE(state.maskTitle.empty()); // no name element
    ASSERT_EQ(state.barCount, 12);
    const int lines = renderMode ? 2 : 1;
    EXPECT_EQ(state.bars[0].left, 1);
    EXPECT_EQ(state.bars[0].top, 2 * lines);
    EXPECT_EQ(state.bars[0].right, 49);
    EXPECT_EQ(state.bars[0].bottom, 29);
    EXPECT_EQ(state.bars[1].right, 359);
    EXPECT_EQ(state.bars[1].bottom, 287);
    // Slots past the mask's parts hold no box: their bars end at -1.
    EXPECT_EQ(state.bars[2].right, -1);
    EXPECT_EQ(state.bars[10].right, 359);
    EXPECT_EQ(state.bars[10].bottom, 288 * lines - 1);
    EXPECT_EQ(state.bars[11].left, 0);
    EXPECT_EQ(state.bars[11].top, 0);
    EXPECT_EQ(state.bars[11].bottom, 288 * lines - 1);
    EXPECT_EQ(stateErrors(), 0);
  }
}

TEST_F(MaskFile, TitleComesFromTheFirstNameInTheLanguage) {
  writeShape("t.png", 36, 28);
  const std::string path =
      writeXml("t.xml", "<splitscreen><name><deutsch>Zwei</deutsch></name>"
                        "<name><english>Two</english><english>Second</english></name>"
                        "<name><english>Third</english></name>"
                        "<part><filename>t.png</filename></part></splitscreen>");
  SplitMask state(moduleParts(moduleState()));
  shapeState(state);
  state.maskPath = path;
  ASSERT_EQ(state.loadMask(false), 1);
  EXPECT_EQ(std::u16string(state.maskTitle.begin(), state.maskTitle.end() - 1), u"Two");

  vxhost::setLanguage("deutsch");
  resFreeStrings(moduleState().strings);
  moduleState().strings = resLoadStrings("tileron");
  ASSERT_EQ(state.loadMask(false), 1);
  EXPECT_EQ(std::u16string(state.maskTitle.begin(), state.maskTitle.end() - 1), u"Zwei");
}

TEST_F(MaskFile, NotExactlyOneSplitscreenGivesAnEmptyMask) {
  writeShape("s.png", 36, 28);
  const std::string part = "<part><filename>s.png</filename></part><bar></bar>";
  for (const std::string &xml :
       {"<splitscreen>" + part + "</splitscreen><splitscreen>" + part + "</splitscreen>",
        "<mask>" + part + "</mask>"}) {
    SplitMask state(moduleParts(moduleState()));
    shapeState(state);
    // What an earlier load held is cleared.
    state.maskPath = writeXml("s.xml", "<splitscreen>" + part + "</splitscreen>");
    ASSERT_EQ(state.loadMask(false), 1);
    ASSERT_EQ(state.partCount, 1);
    state.maskPath = writeXml("s.xml", xml);
    EXPECT_EQ(state.loadMask(false), 1);
    EXPECT_EQ(state.partCount, 0);
    EXPECT_EQ(state.barCount, 0);
    EXPECT_EQ(state.partMask[0], nullptr);
    EXPECT_EQ(stateErrors(), 0);
  }
}

TEST_F(MaskFile, UnreadableFilesFailTheLoad) {
  writeShape("ok.png", 36, 28);
  writeShape("../outside.png", 36, 28); // a readable image outside the mask folder
  const std::string home = this->home().string();
  struct Case {
    const char *what;
    std::string xml;
    int partsLoaded;
  };
  const Case cases[] = {
      {"missing stamp map",
       "<part><filename>ok.png</filename></part><stamp><filename>none.png</filename></stamp>", 1},
      {"missing shape", "<part><filename>ok.png</filename></part><part><filename>no.png</filename></part>", 1},
      {"shape outside the folder", "<part><filename>../outside.png</filename></part>", 0},
      {"shape through a subfolder", "<part><filename>sub/../../outside.png</filename></part>", 0},
      {"backslash segment", "<part><filename>..\\outside.png</filename></part>", 0},
      {"absolute shape", "<part><filename>/programs/tileron/outside.png</filename></part>", 0},
      {"shape under the home path",
       "<part><filename>" + home + "/programs/tileron/outside.png</filename></part>", 0},
      {"stamp outside the folder",
       "<part><filename>ok.png</filename></part><stamp><filename>../outside.png</filename></stamp>", 1},
  };
  for (const Case &c : cases) {
    SplitMask state(moduleParts(moduleState()));
    shapeState(state);
    state.maskPath = writeXml("bad.xml", "<splitscreen>" + c.xml + "</splitscreen>");
    EXPECT_EQ(state.loadMask(false), 0) << c.what;
    EXPECT_EQ(state.partCount, c.partsLoaded) << c.what;
    EXPECT_EQ(state.stampMap, nullptr) << c.what;
    EXPECT_EQ(stateErrors(), 1) << c.what;
  }

  SplitMask state(moduleParts(moduleState()));
  shapeState(state);
  state.maskPath = "/programs/tileron/mask/absent.xml";
  EXPECT_EQ(state.loadMask(false), 0);
  EXPECT_EQ(stateErrors(), 1);
}

TEST_F(MaskFile, SurplusPartsAndBarsAreIgnored) {
  writeShape("p.png", 36, 28);
  std::string xml = "<splitscreen>";
  for (int i = 0; i < 12; ++i)
    xml += "<part><filename>p.png</filename><centerx>" + std::to_string(i) + "</centerx></part>";
  for (int b = 0; b < 25; ++b) xml += "<bar><left>" + std::to_string(b) + "</left></bar>";
  xml += "</splitscreen>";
  SplitMask state(moduleParts(moduleState()));
  shapeState(state);
  state.maskPath = writeXml("many.xml", xml);
  ASSERT_EQ(state.loadMask(false), 1);
  EXPECT_EQ(state.partCount, 10);
  for (int i = 0; i < 10; ++i) EXPECT_NE(state.partMask[i], nullptr);
  EXPECT_EQ(state.partCenterX[9], 90); // 9 x 360 / 36
  EXPECT_EQ(state.barCount, 20);
  EXPECT_EQ(state.bars[19].left, 190);
}

TEST_F(MaskFile, PartWithoutShapeKeepsItsSlotButNoMask) {
  writeShape("wide.png", 720, 576);
  const std::string path = writeXml(
      "gap.xml", "<splitscreen><part><centerx>100</centerx><width>40</width></part>"
                 "<part><filename>wide.png</filename><centerx>100</centerx></part>"
                 "<part><centerx>100</centerx></part>"
                 "<stamp><filename>wide.png</filename></stamp>"
                 "<stamp><filename>late.png</filename></stamp></splitscreen>");
  writeShape("late.png", 20, 10);
  SplitMask state(moduleParts(moduleState()));
  shapeState(state);
  state.maskPath = path;
  ASSERT_EQ(state.loadMask(false), 1);
  // One part loaded a shape, so partCount is 1, while its shape sits in slot 1
  // and slot 0 inside the count has none.
  EXPECT_EQ(state.partCount, 1);
  EXPECT_EQ(state.partMask[0], nullptr);
  EXPECT_NE(state.partMask[1], nullptr);
  EXPECT_EQ(state.partMask[2], nullptr);
  EXPECT_EQ(state.partCenterX[0], 100); // factors of 1 before the first shape
  EXPECT_EQ(state.partWidth[0], 40);
  EXPECT_EQ(state.partCenterX[1], 50);
  EXPECT_EQ(state.partCenterX[2], 50); // factors of the last shape
  // The last stamp wins.
  ASSERT_NE(state.stampMap, nullptr);
  EXPECT_EQ(state.stampMap->width, 20);
}

TEST_F(MaskFile, NumbersAreReadLikeAtoi) {
  writeShape("n.png", 360, 288);
  const std::string path = writeXml(
      "n.xml", "<splitscreen><part><filename>n.png</filename>"
               "<centerx>  +42px</centerx><centery>abc</centery><width>99999999999</width>"
               "<height>-99999999999</height><scale>70000</scale></part></splitscreen>");
  SplitMask state(moduleParts(moduleState()));
  shapeState(state);
  state.maskPath = path;
  ASSERT_EQ(state.loadMask(false), 1);
  EXPECT_EQ(state.partCenterX[0], 42);
  EXPECT_EQ(state.partCenterY[0], 0);
  // Values beyond 16 bits saturate.
  EXPECT_EQ(state.partWidth[0], 32767);
  EXPECT_EQ(state.partHeight[0], -32768);
  EXPECT_EQ(state.partMaskScale[0], 32767);
}

} // namespace
} // namespace tileron
