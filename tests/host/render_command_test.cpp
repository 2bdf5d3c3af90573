// `tileron-host render` as a user runs it: exact output, clear errors, no
// half-written file under the final name.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <utility>

#include "host/media/av.hpp"
#include "host/media/output.hpp"
#include "host/scenes/sources.hpp"
#include "program_fixture.hpp"

using namespace vxhost;
using media_fixture::Frame;
using testing::HasSubstr;

namespace {

constexpr int width = 360, height = 288, length = 4;

// Two 4:4:4 Y4M scenes on the two columns of vertical_2, each anchored so
// that its picture lies on the frame unmoved, and no bar.
class RenderCommandTest : public ProgramTest {
protected:
  void SetUp() override {
    ProgramTest::SetUp();
    std::filesystem::create_directories(home_.path() / "clips");
    for (int n = 0; n < length; ++n) {
      left_.push_back(media_fixture::numberedFrame(width, height, n));
      right_.push_back(media_fixture::numberedFrame(width, height, n + 50));
    }
    media_fixture::writeY4m(home_.path() / "clips/left.y4m", width, height, left_);
    media_fixture::writeY4m(home_.path() / "clips/right.y4m", width, height, right_);
    makeSettings(R"({"mask": "vertical_2", "bar": {"width": 0},
                     "parts": [{"scene": 1, "anchor": 1}, {"scene": 2, "anchor": 3}]})");
  }

  std::string storyboard(const std::string &secondScene = "clips/right.y4m") const {
    return R"({"format": {"width": 360, "height": 288, "rate": "25/1"}, "input": "colour:#000000",
               "length": 4, "scenes": [{"id": 1, "source": "clips/left.y4m"}, {"id": 2, "source": ")" +
           secondScene + R"("}]})";
  }

  std::string writeStoryboard(const std::string &text) const {
    const auto path = home_.path() / "story.json";
    media_fixture::writeFile(path, text);
    return path.string();
  }

  std::vector<Frame> readY4m(const std::string &name) const {
    Format format;
    format.width = width;
    format.height = height;
    auto clip = openMediaFile(home_.path() / name, format);
    std::vector<Frame> frames;
    for (int n = 0; n < clip->length(); ++n)
      frames.emplace_back(clip->frame(n), clip->frame(n) + width * height);
    return frames;
  }

  std::string out(const std::string &name) const { return (home_.path() / name).string(); }

  std::vector<Frame> left_, right_;
};

// Flips bytes in the middle of packet `index` of a file, so that its frame
// cannot be decoded while the file still reads as a whole.
void damagePacket(const std::filesystem::path &path, int index) {
  AVFormatContext *raw = nullptr;
  ASSERT_GE(avformat_open_input(&raw, path.c_str(), nullptr, nullptr), 0);
  const av::InputPtr input(raw);
  const av::PacketPtr packet = av::makePacket();
  int64_t pos = -1, size = 0;
  for (int n = 0; n <= index && av_read_frame(input.get(), packet.get()) >= 0; ++n) {
    pos = packet->pos;
    size = packet->size;
    av_packet_unref(packet.get());
  }
  ASSERT_GT(pos, 0);
  std::string bytes = media_fixture::readFile(path);
  for (int64_t i = pos + size / 3; i < pos + size * 2 / 3; ++i)
    bytes[size_t(i)] = char(bytes[size_t(i)] ^ 0x5A);
  media_fixture::writeFile(path, bytes);
}

} // namespace

TEST_F(RenderCommandTest, TwoY4mScenesComeOutExactlyInsideTheParts) {
  const ProgramResult result = run("tileron-host render " + writeStoryboard(storyboard()) + " -o " + out("out.y4m"));
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output, "") << "progress is shown on a terminal only";
  const std::vector<Frame> frames = readY4m("out.y4m");
  ASSERT_EQ(frames.size(), size_t(length));
  // Away from the soft edge between the columns (x = 180).
  for (int f = 0; f < length; ++f)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const size_t i = size_t(y) * width + x;
        if (x < 172 || x >= 188) {
          ASSERT_EQ(frames[f][i], (x < 172 ? left_ : right_)[f][i]) << "frame " << f << " at " << x << "," << y;
        }
      }
}

TEST_F(RenderCommandTest, FieldRangeAndPresetFromTheArchive) {
  const std::string board = writeStoryboard(storyboard());
  ASSERT_EQ(run("tileron-host render " + board + " -o " + out("all.y4m")).status, 0);
  std::filesystem::rename(settingsFile(), home_.path() / "programs/tileron/archive/columns.prf");

  const ProgramResult result =
      run("tileron-host render " + board + " --preset columns --fields 2:5 -o " + out("part.y4m"));
  ASSERT_EQ(result.status, 0) << result.output;
  const std::vector<Frame> all = readY4m("all.y4m"), part = readY4m("part.y4m");
  ASSERT_EQ(part.size(), 2u);
  EXPECT_EQ(part[0], all[1]);
  EXPECT_EQ(part[1], all[2]);

  // The archive's extension given as well is taken once.
  const ProgramResult named = run("tileron-host render " + board + " --preset columns.prf -o " + out("named.y4m"));
  ASSERT_EQ(named.status, 0) << named.output;
  EXPECT_EQ(readY4m("named.y4m"), all);
}

TEST_F(RenderCommandTest, PresetDescriptionRendersWithoutTouchingTheSettingsFile) {
  const std::string settings = media_fixture::readFile(settingsFile());
  // The scenes swapped: the left column shows the right clip.
  media_fixture::writeFile(home_.path() / "swapped.json", R"({"mask": "vertical_2", "bar": {"width": 0},
      "parts": [{"scene": 2, "anchor": 1}, {"scene": 1, "anchor": 3}]})");
  const ProgramResult result = run("tileron-host render " + writeStoryboard(storyboard()) + " --preset-description " +
                                   (home_.path() / "swapped.json").string() + " -o " + out("swapped.y4m"));
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(media_fixture::readFile(settingsFile()), settings) << "the home's settings file changed";
  const std::vector<Frame> frames = readY4m("swapped.y4m");
  ASSERT_EQ(frames.size(), size_t(length));
  EXPECT_EQ(frames[2][size_t(100) * width + 20], right_[2][size_t(100) * width + 20]);
  EXPECT_EQ(frames[2][size_t(100) * width + 340], left_[2][size_t(100) * width + 340]);

  media_fixture::writeFile(home_.path() / "bad.json", R"({"mask": "vertical_2", "parts": [{"anchor": 10}]})");
  const ProgramResult bad = run("tileron-host render " + writeStoryboard(storyboard()) + " --preset-description " +
                                (home_.path() / "bad.json").string() + " -o " + out("bad.y4m"));
  EXPECT_EQ(bad.status, 1);
  EXPECT_THAT(bad.output, HasSubstr("parts[0].anchor: 10 is outside 1..9"));
  EXPECT_THAT(bad.output, HasSubstr("--preset-description " + (home_.path() / "bad.json").string()));
  EXPECT_FALSE(std::filesystem::exists(out("bad.y4m")));
  EXPECT_EQ(media_fixture::readFile(settingsFile()), settings);
}

TEST_F(RenderCommandTest, APartWhoseSceneTheStoryboardLacksIsWarnedAbout) {
  makeSettings(R"({"mask": "grid_4", "parts": [{"scene": 1}, {"scene": 7}, {"scene": 2}, {"scene": 9}]})");
  const ProgramResult result = run("tileron-host render " + writeStoryboard(storyboard()) + " -o " + out("out.y4m"));
  ASSERT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(result.output,
            "tileron-host: warning: part 2 shows scene ID 7, which the storyboard does not have (its scenes: 1, 2): "
            "the part shows the input\n"
            "tileron-host: warning: part 4 shows scene ID 9, which the storyboard does not have (its scenes: 1, 2): "
            "the part shows the input\n");
  EXPECT_EQ(readY4m("out.y4m").size(), size_t(length));
}

// Fields from the middle of inter-frame clips (decoded from the key frame
// before them, not from the start) are the same fields a whole render makes.
TEST_F(RenderCommandTest, ARangeFromTheMiddleEqualsTheSameFieldsOfAWholeRender) {
  for (const std::string name : {"clips/ramp.mp4", "clips/ramp.mkv"}) {
    SCOPED_TRACE(name);
    media_fixture::writeGreyRamp(home_.path() / name, width, height, 30);
    const std::string board = writeStoryboard(
        R"({"format": {"width": 360, "height": 288, "rate": "25/1"}, "input": "colour:#000000", "length": 30,
            "scenes": [{"id": 1, "source": ")" + name + R"("}, {"id": 2, "source": ")" + name + R"("}]})");
    ASSERT_EQ(run("tileron-host render " + board + " -o " + out("all.y4m")).status, 0);
    const ProgramResult result = run("tileron-host render " + board + " --fields 43:46 -o " + out("part.y4m"));
    ASSERT_EQ(result.status, 0) << result.output;
    // The output holds whole frames: 21 to 23.
    EXPECT_EQ(result.output, "tileron-host: note: --fields 43:46 widened to 42:47 (the output holds whole frames)\n");
    const std::vector<Frame> all = readY4m("all.y4m"), part = readY4m("part.y4m");
    ASSERT_EQ(all.size(), 30u);
    ASSERT_EQ(part.size(), 3u);
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(part[k], all[21 + k]) << "frame " << 21 + k;
  }
}

TEST_F(RenderCommandTest, BadInputStopsWithAClearMessageAndWritesNothing) {
  media_fixture::writeFile(home_.path() / "clips/notes.mp4", "not a video");
  const std::string whole = media_fixture::readFile(home_.path() / "clips/right.y4m");
  media_fixture::writeFile(home_.path() / "clips/cut.y4m", whole.substr(0, whole.size() - 1000));
  std::string noRate = storyboard();
  const std::string rate = ", \"rate\": \"25/1\"";
  noRate.replace(noRate.find(rate), rate.size(), "");

  const struct {
    std::string board, options, message;
  } cases[] = {
      {"{\"format\": ", "-o " + out("out.y4m"), "not JSON"},
      {noRate, "-o " + out("out.y4m"), "format.rate: missing"},
      {storyboard("clips/none.mp4"), "-o " + out("out.y4m"), "scenes[1].source: clips/none.mp4: no such file"},
      {storyboard("clips/notes.mp4"), "-o " + out("out.y4m"), "clips/notes.mp4: cannot be read as a video"},
      {storyboard("clips/cut.y4m"), "-o " + out("out.y4m"), "clips/cut.y4m: is damaged or truncated"},
      {storyboard(), "-o " + out("nowhere/out.y4m"), "output folder " + out("nowhere") + " does not exist"},
      {storyboard(), "-o " + out("out.avi"), "unknown kind of output"},
      {storyboard(), "--fields 4:8 -o " + out("out.y4m"), "--fields 4:8"},
      {storyboard(), "--preset gone -o " + out("out.y4m"), "--preset gone: no preset"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.message);
    const ProgramResult result = run("tileron-host render " + writeStoryboard(c.board) + " " + c.options);
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.output, HasSubstr("tileron-host: error: "));
    EXPECT_THAT(result.output, HasSubstr(c.message));
  }
  std::filesystem::remove(settingsFile());
  const ProgramResult unset = run("tileron-host render " + writeStoryboard(storyboard()) + " -o " + out("out.y4m"));
  EXPECT_EQ(unset.status, 1);
  EXPECT_THAT(unset.output, HasSubstr("no settings file yet: make one with tileron-preset new MASK"));

  for (const auto &entry : std::filesystem::directory_iterator(home_.path()))
    EXPECT_THAT(entry.path().filename().string(), testing::Not(testing::StartsWith("out")))
        << "an output was left behind";
  for (const auto &entry : std::filesystem::directory_iterator(home_.path()))
    EXPECT_NE(entry.path().filename().string()[0], '.') << "a temporary file was left behind";
}

TEST_F(RenderCommandTest, AFieldThatFailsIsNamedAndTheOldOutputStays) {
  {
    Format format;
    format.width = width;
    format.height = height;
    auto writer = openWriter(out("clips/bad.mkv"), format);
    for (const Frame &frame : right_)
      writer->write(frame.data());
    writer->finish();
  }
  damagePacket(home_.path() / "clips/bad.mkv", 2);
  media_fixture::writeFile(home_.path() / "out.y4m", "the last good render");

  const ProgramResult result =
      run("tileron-host render " + writeStoryboard(storyboard("clips/bad.mkv")) + " -o " + out("out.y4m"));
  EXPECT_EQ(result.status, 1);
  EXPECT_THAT(result.output, HasSubstr("field 4 failed: scene 2 (clips/bad.mkv): frame 2 could not be decoded"));
  EXPECT_EQ(media_fixture::readFile(home_.path() / "out.y4m"), "the last good render");
}

// Reading ahead and writing behind change nothing in the output: the same
// Y4M bytes and the same FFV1 packets as on one thread, from clips with
// reordered frames and a scene shown in two parts.
TEST_F(RenderCommandTest, ThePipelineWritesWhatOneThreadWrites) {
  media_fixture::writeGreyRamp(home_.path() / "clips/ramp.mp4", width, height, 30);
  makeSettings(R"({"mask": "grid_4", "parts": [{"scene": 1}, {"scene": 2}, {"scene": 1}, {"scene": 3}]})");
  const std::string board = writeStoryboard(
      R"({"format": {"width": 360, "height": 288, "rate": "25/1"}, "input": "pattern:gradient", "length": 24,
          "scenes": [{"id": 1, "source": "clips/ramp.mp4"}, {"id": 2, "source": "clips/left.y4m"},
                     {"id": 3, "source": "clips/ramp.mp4", "start": "7f"}]})");
  // FFV1, ProRes, DNxHR and PNG frames code on their own threads when pipelined.
  const std::pair<std::string, std::string> outputs[] = {
      {"one.y4m", ""}, {"one.mkv", ""}, {"one.mov", ""}, {"dnxhr.mov", " --codec dnxhr"}, {"frames/", ""}};
  for (const auto &[name, codec] : outputs) {
    SCOPED_TRACE(name);
    const ProgramResult one = run("tileron-host render " + board + codec + " --threads 1 -o " + out(name));
    ASSERT_EQ(one.status, 0) << one.output;
    const ProgramResult piped = run("tileron-host render " + board + codec + " -o " + out("piped-" + name));
    ASSERT_EQ(piped.status, 0) << piped.output;
    if (name == "one.y4m") {
      EXPECT_EQ(media_fixture::readFile(out(name)), media_fixture::readFile(out("piped-" + name)));
    } else if (name == "frames/") {
      for (int frame = 0; frame < 24; ++frame) {
        char file[16];
        std::snprintf(file, sizeof file, "%05d.png", frame);
        const std::string bytes = media_fixture::readFile(out(name) + file);
        EXPECT_FALSE(bytes.empty()) << file;
        EXPECT_EQ(bytes, media_fixture::readFile(out("piped-" + name) + file)) << file;
      }
      EXPECT_FALSE(std::filesystem::exists(out(name) + "00024.png"));
      EXPECT_FALSE(std::filesystem::exists(out("piped-" + name) + "00024.png"));
    } else {
      const std::vector<std::string> packets = media_fixture::videoPackets(out(name));
      EXPECT_EQ(packets.size(), 24u);
      EXPECT_TRUE(packets == media_fixture::videoPackets(out("piped-" + name))) << "the encoded packets differ";
    }
  }
}
