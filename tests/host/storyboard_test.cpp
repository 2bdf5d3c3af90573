// The storyboard: validation with messages naming file and key, clips opened
// against the storyboard's folder, and the host's scene calls over them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

#include <nlohmann/json.hpp>

#include "host/scenes/storyboard.hpp"
#include "host_fixture.hpp"
#include "media_fixture.hpp"
#include "vxhost/oplib.h"
#include "vxhost/orvexa2.h"

using namespace vxhost;
using nlohmann::json;
using testing::HasSubstr;

namespace {

using Image = vxhost::OpImageHandle;

class StoryboardTest : public HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    folder_ = home_.path() / "project";
    std::filesystem::create_directories(folder_ / "clips");
    for (int n = 0; n < 3; ++n)
      frames_.push_back(media_fixture::numberedFrame(16, 8, n));
    media_fixture::writeY4m(folder_ / "clips/a.y4m", 16, 8, frames_);
  }

  static json validBoard() {
    return json::parse(R"({
      "format": {"width": 16, "height": 8, "pixelAspect": 1094, "rate": "25/1"},
      "input": "colour:#000000",
      "length": 5,
      "scenes": [
        {"id": 1, "source": "clips/a.y4m"},
        {"id": 7, "source": "pattern:bars", "length": 2},
        {"id": 32767, "source": "pattern:gradient"}
      ]
    })");
  }

  std::filesystem::path write(const std::string &text) const {
    const auto path = folder_ / "board.json";
    media_fixture::writeFile(path, text);
    return path;
  }

  std::filesystem::path folder_;
  std::vector<media_fixture::Frame> frames_;
};

} // namespace

TEST_F(StoryboardTest, ReadsAValidStoryboard) {
  json board = validBoard();
  board["format"].erase("pixelAspect");
  board["format"]["rate"] = "30000/1001";
  const Storyboard story = loadStoryboard(write(board.dump()));
  EXPECT_EQ(story.format.width, 16);
  EXPECT_EQ(story.format.height, 8);
  EXPECT_EQ(story.format.pixelAspect, 1000);
  EXPECT_EQ(story.format.rateNum, 30000);
  EXPECT_EQ(story.format.rateDen, 1001);
  EXPECT_EQ(story.length, 5);
  ASSERT_EQ(story.scenes.size(), 3u);
  EXPECT_EQ(story.scenes[1].id, 7);
  EXPECT_EQ(story.scenes[1].length, 2);
  EXPECT_EQ(story.scenes[2].length, 0);
  // Names for the scene requester: the clip's file name or the pattern, unless given.
  EXPECT_EQ(story.scenes[0].name, "a.y4m");
  EXPECT_EQ(story.scenes[1].name, "pattern:bars");
  board["scenes"][1]["name"] = "Opening bars";
  EXPECT_EQ(loadStoryboard(write(board.dump())).scenes[1].name, "Opening bars");

  board["format"]["rate"] = 50;
  EXPECT_EQ(loadStoryboard(write(board.dump())).format.rateNum, 50);

  // Decimal rates: NTSC's within 0.01 of N * 1000 / 1001, others as written.
  for (const auto &[text, num, den] : std::vector<std::tuple<const char *, int, int>>{
           {"29.97", 30000, 1001}, {"59.94", 60000, 1001}, {"23.976", 24000, 1001}, {"23.98", 24000, 1001},
           {"12.5", 25, 2}, {"25.0", 25, 1}, {"5.0", 5, 1}}) {
    board["format"]["rate"] = text;
    const Format f = loadStoryboard(write(board.dump())).format;
    EXPECT_EQ(f.rateNum, num) << text;
    EXPECT_EQ(f.rateDen, den) << text;
  }

  // Scan, fit, in-points and the audio's choice.
  board["format"]["rate"] = "25/1";
  board["format"]["scan"] = "bff";
  board["scenes"][1]["fit"] = "crop";
  board["scenes"][1]["start"] = "00:00:01:05";
  board["scenes"][2]["start"] = 0.5;
  board["audio"] = 7;
  const Storyboard more = loadStoryboard(write(board.dump()));
  EXPECT_EQ(more.format.scan, Scan::bff);
  EXPECT_EQ(more.scenes[0].fit, Fit::fill);
  EXPECT_EQ(more.scenes[1].fit, Fit::crop);
  EXPECT_EQ(more.scenes[1].start.floorFrame(), 25 + 5);
  EXPECT_EQ(more.scenes[2].start.num, 25); // half a second: 12.5 frames
  EXPECT_EQ(more.scenes[2].start.den, 2);
  EXPECT_EQ(more.audio.kind, AudioChoice::scene);
  EXPECT_EQ(more.audio.sceneId, 7);
  EXPECT_TRUE(more.audio.asked);
  EXPECT_FALSE(loadStoryboard(write(validBoard().dump())).audio.asked);
}

TEST_F(StoryboardTest, EveryErrorNamesTheFileTheKeyAndWhatIsWrong) {
  const struct {
    std::function<void(json &)> change;
    const char *key, *what;
  } cases[] = {
      {[](json &b) { b.erase("format"); }, "format", "missing"},
      {[](json &b) { b["format"].erase("rate"); }, "format.rate", "missing"},
      {[](json &b) { b["format"]["rate"] = "25/0"; }, "format.rate", "bad rate"},
      {[](json &b) { b["format"]["rate"] = "fast"; }, "format.rate", "bad rate"},
      {[](json &b) { b["format"]["rate"] = 25.5; }, "format.rate", "bad rate"},
      {[](json &b) { b["format"]["width"] = 15; }, "format.width", "bad size"},
      {[](json &b) { b["format"]["height"] = 0; }, "format.height", "0 is outside 2..8192"},
      {[](json &b) { b["format"]["height"] = "8"; }, "format.height", "\"8\" is not a whole number"},
      {[](json &b) { b["format"]["pixelAspect"] = 0; }, "format.pixelAspect", "0 is outside 1..65535"},
      {[](json &b) { b.erase("input"); }, "input", "missing"},
      {[](json &b) { b["input"] = "clips/none.mp4"; }, "input", "clips/none.mp4: no such file"},
      {[](json &b) { b["length"] = 0; }, "length", "0 is outside 1.."},
      {[](json &b) { b["lenght"] = 5; }, "lenght", "unknown key"},
      {[](json &b) { b["scenes"] = json::object(); }, "scenes", "must be an array"},
      {[](json &b) { b["scenes"][1]["id"] = 1; }, "scenes[1].id", "duplicate ID 1"},
      {[](json &b) { b["scenes"][0]["id"] = 0; }, "scenes[0].id", "0 is outside 1..32767"},
      {[](json &b) { b["scenes"][2]["id"] = 32768; }, "scenes[2].id", "32768 is outside 1..32767"},
      {[](json &b) { b["scenes"][0].erase("source"); }, "scenes[0].source", "missing"},
      {[](json &b) { b["scenes"][0]["source"] = "clips/b.mp4"; }, "scenes[0].source", "clips/b.mp4: no such file"},
      {[](json &b) { b["scenes"][1]["length"] = -2; }, "scenes[1].length", "-2 is outside 1.."},
      {[](json &b) { b["scenes"][1]["name"] = ""; }, "scenes[1].name", "must be a non-empty string"},
      {[](json &b) { b["scenes"][1]["start"] = "1:2"; }, "scenes[1].start", "bad time \"1:2\""},
      {[](json &b) { b["scenes"][1]["start"] = -1; }, "scenes[1].start", "bad time -1"},
      {[](json &b) { b["scenes"][1]["zoom"] = 3; }, "scenes[1].zoom", "unknown key"},
      {[](json &b) { b["scenes"][1]["fit"] = "stretch"; }, "scenes[1].fit", "unknown fit \"stretch\""},
      {[](json &b) { b["format"]["scan"] = "interlaced"; }, "format.scan", "unknown scan \"interlaced\""},
      {[](json &b) { b["format"]["rate"] = "29.97.1"; }, "format.rate", "bad rate"},
      {[](json &b) { b["audio"] = 99; }, "audio", "bad audio 99"},
      {[](json &b) { b["audio"] = "music"; }, "audio", "bad audio \"music\""},
  };
  for (const auto &c : cases) {
    json board = validBoard();
    c.change(board);
    SCOPED_TRACE(board.dump());
    try {
      loadStoryboard(write(board.dump()));
      ADD_FAILURE() << "accepted";
    } catch (const StoryboardError &e) {
      EXPECT_THAT(e.what(), HasSubstr((folder_ / "board.json").string() + ": " + c.key + ": " + c.what));
    }
  }
}

TEST_F(StoryboardTest, FilesThatCannotBeReadAsAStoryboardAreNamed) {
  EXPECT_THROW(
      try { loadStoryboard(write("{\"format\": {\"width\": 16,,}}")); } catch (const StoryboardError &e) {
        EXPECT_THAT(e.what(), HasSubstr("board.json: not JSON: parse error at line 1"));
        throw;
      },
      StoryboardError);
  // A number no double holds is refused like any other text that is not JSON.
  EXPECT_THROW(
      try { loadStoryboard(write("{\"length\": 1e400}")); } catch (const StoryboardError &e) {
        EXPECT_THAT(e.what(), HasSubstr("board.json: not JSON: number overflow parsing '1e400'"));
        throw;
      },
      StoryboardError);
  EXPECT_THROW(
      try { loadStoryboard(folder_ / "none.json"); } catch (const StoryboardError &e) {
        EXPECT_THAT(e.what(), HasSubstr("none.json: cannot be read (no such file)"));
        throw;
      },
      StoryboardError);
}

TEST_F(StoryboardTest, AClipThatIsNotAVideoIsNamedWithItsKey) {
  media_fixture::writeFile(folder_ / "clips/notes.mp4", "not a video");
  media_fixture::writeFile(folder_ / "clips/empty.mp4", "");
  json board = validBoard();
  board["scenes"][2]["source"] = "clips/notes.mp4";
  const Storyboard story = loadStoryboard(write(board.dump()));
  board["scenes"][1]["source"] = "clips/empty.mp4";
  const Storyboard twoBad = loadStoryboard(write(board.dump()));
  // Opened one at a time or several at once, the first bad clip in the
  // storyboard's order is the one named.
  for (const int threads : {1, 4}) {
    try {
      openClips(story, 0, threads);
      ADD_FAILURE() << "opened with " << threads << " threads";
    } catch (const StoryboardError &e) {
      EXPECT_THAT(e.what(), HasSubstr("board.json: scenes[2].source: clips/notes.mp4: cannot be read as a video"));
    }
    try {
      openClips(twoBad, 0, threads);
      ADD_FAILURE() << "opened with " << threads << " threads";
    } catch (const StoryboardError &e) {
      EXPECT_THAT(e.what(), HasSubstr("board.json: scenes[1].source: clips/empty.mp4:"));
    }
  }
}

// The road of one field on the host's side: lengths, scene fields, the input.
TEST_F(StoryboardTest, AppliedStoryboardServesScenesAndInput) {
  json board = validBoard();
  board["input"] = "clips/a.y4m"; // 3 frames for an effect of 5
  const Storyboard story = loadStoryboard(write(board.dump()));
  applyStoryboard(story, openClips(story));

  EXPECT_EQ(format().pixelAspect, 1094);
  EXPECT_EQ(mainGetSceneLengthFromID(1, 0), 3);
  EXPECT_EQ(mainGetSceneLengthFromID(7, 0), 2);
  EXPECT_EQ(mainGetSceneLengthFromID(32767, 0), 5); // a pattern without length runs for the storyboard
  EXPECT_LE(mainGetSceneLengthFromID(2, 0), 0);

  // Field 3 is frame 1, lines 1, 3, 5, 7.
  Image field(mainGetFieldFromSceneID(1, 3, 1, 0));
  ASSERT_NE(field, nullptr);
  ASSERT_EQ(field->width, 16);
  ASSERT_EQ(field->height, 4);
  EXPECT_EQ(field->pixelAspect, 1094);
  const auto *words = reinterpret_cast<const uint32_t *>(field->pixels);
  for (int line = 0; line < 4; ++line)
    for (int x = 0; x < 16; ++x)
      ASSERT_EQ(words[line * 16 + x], frames_[1][(2 * line + 1) * 16 + x]);
  EXPECT_EQ(Image(mainGetFieldFromSceneID(1, 6, 1, 0)), nullptr);

  // Past its end the input holds its last frame, with the field's parity.
  Image input(opGetField(0, 8));
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(reinterpret_cast<const uint32_t *>(input->pixels)[0], frames_[2][0]);
}
