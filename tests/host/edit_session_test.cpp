// `tileron-host edit --script` as a user runs it: whole editor sessions on a
// small storyboard, each checked by the settings file it leaves and by a
// render of the storyboard against a render of the same values written by
// tileron-preset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "program_fixture.hpp"

using testing::HasSubstr;

namespace {

// The settings file's mask path, current part and the parts' scenes.
struct Stored {
  std::string maskPath;
  int16_t barWidth = 0, currentPart = 0;
  int32_t scene[10] = {};
};

Stored parseSettings(const std::string &bytes) {
  Stored s;
  uint32_t length = 0;
  if (bytes.size() < 8) return s;
  std::memcpy(&length, bytes.data() + 4, 4);
  if (8 + size_t(length) + 4 + 10 * 198 > bytes.size()) return s;
  s.maskPath.assign(bytes.data() + 8);
  std::memcpy(&s.barWidth, bytes.data() + 8 + length, 2);
  std::memcpy(&s.currentPart, bytes.data() + 10 + length, 2);
  for (int i = 0; i < 10; ++i) std::memcpy(&s.scene[i], bytes.data() + 12 + length + 198 * i, 4);
  return s;
}

class EditSessionTest : public EditorSessionTest {
protected:
  void SetUp() override {
    EditorSessionTest::SetUp();
    startSession(R"({
      "format": {"width": 640, "height": 360, "rate": "25/1"},
      "input": "pattern:gradient", "length": 4,
      "scenes": [{"id": 1, "source": "pattern:bars"}, {"id": 2, "source": "pattern:gradient"},
                 {"id": 3, "source": "colour:#3060C0", "length": 1}]})",
                 kStart);
  }

  std::string screenshot(const std::string &name) const { return (home_.path() / name).string(); }

  static constexpr const char *kStart =
      R"({"mask": "diagonal_down_2", "parts": [{"scene": 1}, {"scene": 2}]})";
};

// 1920 x 1080: the 640 x 360 storyboard gives a 1920 x 1080 preview; the wide
// panel lies at (360, 950). Part 1 is below the diagonal, part 0 above.
TEST_F(EditSessionTest, WideScreenSession) {
  const ProgramResult r = edit(
      "click 400 700\n"                       // part 1, picked on the preview
      "drag 540 996 700 996\n"                // scale slider to its end: 200 %
      "key a shift\n"                         // opacity one step down: 254
      "drag 400 700 592 808\n"                // the picture 192 right, 108 down: 10 % each
      "key b\n"                               // bar width 7
      "screenshot " + screenshot("wide.png") + "\n"
      "click 949 1014\n"                      // part 0, picked on the stamp view
      "drag 1500 300 1308 300 shift\n"        // its picture 192 left, following the pointer
      "key 0x100065\n",                       // exit
      "1920x1080");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(screenshot("wide.png"))) << r.output;
  const Stored s = parseSettings(media_fixture::readFile(settingsFile()));
  EXPECT_EQ(s.maskPath, "/programs/tileron/mask/diagonal_down_2.xml");
  EXPECT_EQ(s.currentPart, 0);
  EXPECT_EQ(s.barWidth, 7);
  expectRenderOf(R"({"mask": "diagonal_down_2", "bar": {"width": 7}, "parts": [
      {"scene": 1, "offsetX": -10},
      {"scene": 2, "scale": 200, "opacity": 254, "offsetX": 10, "offsetY": 10}]})");
}

// 1024 x 768: a 1024 x 576 preview, the mask page at (195, 638) first.
TEST_F(EditSessionTest, NarrowScreenSession) {
  const ProgramResult r = edit(
      "click 299 725\n"                       // part 1 on the stamp view
      "key b shift\n"                         // bar width 5
      "screenshot " + screenshot("mask-page.png") + "\n"
      "key m\n"                               // the part page
      "key z\nkey z\n"                        // scale 102
      "key a shift\n"                         // opacity 254
      "drag 400 400 656 400\n"                // the picture 256 right: 25 %
      "screenshot " + screenshot("part-page.png") + "\n"
      "close\n",
      "1024x768");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(screenshot("mask-page.png")));
  EXPECT_TRUE(std::filesystem::exists(screenshot("part-page.png")));
  const Stored s = parseSettings(media_fixture::readFile(settingsFile()));
  EXPECT_EQ(s.currentPart, 1);
  EXPECT_EQ(s.barWidth, 5);
  expectRenderOf(R"({"mask": "diagonal_down_2", "bar": {"width": 5}, "parts": [
      {"scene": 1}, {"scene": 2, "scale": 102, "opacity": 254, "offsetX": 25}]})");
}

TEST_F(EditSessionTest, ResetAndClearScene) {
  // Part 0 changed, then reset by the defaults check box; part 1's scene cleared.
  const ProgramResult r = edit("key z\nkey h\nclick 780 1050\nclick 400 700\nclick 1134 1050\nclose\n",
                               "1920x1080");
  ASSERT_EQ(r.status, 0) << r.output;
  const Stored s = parseSettings(media_fixture::readFile(settingsFile()));
  EXPECT_EQ(s.scene[0], 1);
  EXPECT_EQ(s.scene[1], 0);
  expectRenderOf(R"({"mask": "diagonal_down_2", "parts": [{"scene": 1}, {"scene": 0}]})");
}

TEST_F(EditSessionTest, ExitKeyCloseRequestAndCloseWhileDragging) {
  const std::string edits = "key z\nkey h\nclick 400 700\nkey a shift\n";
  ASSERT_EQ(edit(edits + "key 0x100065\n", "1920x1080").status, 0);
  const std::string byKey = media_fixture::readFile(settingsFile());
  makeSettings(kStart);
  ASSERT_EQ(edit(edits + "close\n", "1920x1080").status, 0);
  EXPECT_EQ(media_fixture::readFile(settingsFile()), byKey);

  // A close request while the picture is dragged keeps the movement so far.
  makeSettings(kStart);
  ASSERT_EQ(edit("move 1500 300\npress\nmove 1692 300\nmove 1692 408\nclose\n", "1920x1080").status, 0);
  expectRenderOf(R"({"mask": "diagonal_down_2", "parts": [{"scene": 1, "offsetX": 10, "offsetY": 10},
                                                          {"scene": 2}]})");
}

TEST_F(EditSessionTest, LayoutTogglesInEnglishAndGerman) {
  for (const char *language : {"english", "deutsch"}) {
    SCOPED_TRACE(language);
    makeSettings(kStart);
    // Placement to the top, compact and back, then the scale key still works.
    const ProgramResult r = edit("key y\nscreenshot " + screenshot("top.png") +
                                     "\nkey x\nscreenshot " + screenshot("compact.png") +
                                     "\nkey x\nkey z\nclick 1518 100\n",
                                 "1920x1080", std::string("--language ") + language);
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(std::filesystem::exists(screenshot("top.png")));
    EXPECT_TRUE(std::filesystem::exists(screenshot("compact.png")));
    expectRenderOf(R"({"mask": "diagonal_down_2", "parts": [{"scene": 1, "scale": 101}, {"scene": 2}]})");
  }
}

} // namespace
