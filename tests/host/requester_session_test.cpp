// The editor's requesters through `tileron-host edit --script` as a user runs
// them: each session checked by the settings file and the archive folder it
// leaves, and by a render against the render of the same values written by
// tileron-preset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "program_fixture.hpp"

namespace {

namespace fs = std::filesystem;

class RequesterSessionTest : public EditorSessionTest {
protected:
  void SetUp() override {
    EditorSessionTest::SetUp();
    startSession(R"({
      "format": {"width": 640, "height": 360, "rate": "25/1"},
      "input": "pattern:gradient", "length": 4,
      "scenes": [{"id": 1, "source": "pattern:bars"}, {"id": 2, "source": "pattern:gradient"}]})",
                 kStart);
  }

  fs::path archive() const { return home_.path() / "programs/tileron/archive"; }
  std::string settings() const { return media_fixture::readFile(settingsFile()); }

  // The archive folder's file names, sorted.
  std::vector<std::string> archiveFiles() const {
    std::vector<std::string> names;
    for (const fs::directory_entry &e : fs::directory_iterator(archive()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Part 1 shows the gradient (it changes down the frame, so a vertical
  // anchor shows), part 2 the vertical bars (a horizontal anchor shows).
  static constexpr const char *kStart =
      R"({"mask": "diagonal_down_2", "parts": [{"scene": 2}, {"scene": 1}]})";
};

// On 1920 x 1080 the selector's cells start at (72, 141) and lie 158 x 140
// apart, 11 to a row; in English "Diagonal cross" is the fifth title. The
// anchor requester's buttons lie at x 876, 942, 1010 and y 468, 524, 580.
TEST_F(RequesterSessionTest, MaskAnchorAndBarStyleShowInTheRender) {
  const ProgramResult r = edit(
      "key t\n"                 // the mask selector
      "click 781 200\n"         // Diagonal cross
      "key return\n"            // accept
      "key e\n"                 // the anchor requester on part 1 (the top triangle)
      "key 1\n"                 // bottom left: anchor 7
      "click 1600 540\n"        // part 2 (the right triangle)
      "key e\n"
      "click 1024 480\n"        // top right: anchor 3
      "key c\n"                 // the bar style requester
      "key 9\n"                 // gradient
      "key d\nkey d\n"          // angle 2
      "key return\n"            // accept
      "key b\nkey b\nkey b\n"   // a wider bar shows the gradient
      "close\n");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string bar = R"("bar": {"width": 9, "mode": "gradient", "angle": 2})";
  const std::string parts = R"("parts": [{"scene": 2, "anchor": 7}, {"scene": 1, "anchor": 3}])";
  expectRenderOf("{\"mask\": \"diagonal_cross_4\", " + bar + ", " + parts + "}",
                 {"{\"mask\": \"diagonal_down_2\", " + bar + ", " + parts + "}",
                  "{\"mask\": \"diagonal_cross_4\", " + bar +
                      R"(, "parts": [{"scene": 2}, {"scene": 1, "anchor": 3}]})",
                  "{\"mask\": \"diagonal_cross_4\", " + bar +
                      R"(, "parts": [{"scene": 2, "anchor": 7}, {"scene": 1}]})",
                  R"({"mask": "diagonal_cross_4", "bar": {"width": 9}, )" + parts + "}"});
}

// The archive button (key r), then L, S or D in the host's archive chooser.
TEST_F(RequesterSessionTest, PresetSavedReplacedLoadedAndDeleted) {
  ASSERT_EQ(edit("key z\nkey r\nkey s\ntype mine\nkey return\nclose\n").status, 0);
  const std::string saved = media_fixture::readFile(archive() / "mine.prf");
  EXPECT_EQ(saved, settings());
  // Answering no to the question leaves the preset; yes replaces it whole.
  ASSERT_EQ(edit("key b\nkey r\nkey s\ntype mine\nkey return\nkey escape\nclose\n").status, 0);
  EXPECT_EQ(media_fixture::readFile(archive() / "mine.prf"), saved);
  ASSERT_EQ(edit("key r\nkey s\ntype mine\nkey return\nkey return\nclose\n").status, 0);
  const std::string replaced = media_fixture::readFile(archive() / "mine.prf");
  EXPECT_NE(replaced, saved);
  EXPECT_EQ(archiveFiles(), std::vector<std::string>{"mine.prf"});
  // Changes, then the preset loaded: the settings file is the preset again.
  ASSERT_EQ(edit("key z\nkey b\nkey e\nkey 3\nkey r\nkey l\nkey return\nclose\n").status, 0);
  EXPECT_EQ(settings(), replaced);
  ASSERT_EQ(edit("key r\nkey d\nkey return\nclose\n").status, 0);
  EXPECT_TRUE(archiveFiles().empty());
}

} // namespace
