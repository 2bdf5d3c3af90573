// `render --jobs N` and `tileron-host join`: segments rendered apart and
// joined are what one render of the whole range writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "program_fixture.hpp"

namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

class JoinTest : public ProgramTest {
protected:
  void SetUp() override {
    ProgramTest::SetUp();
    makeSettings(R"({"mask": "diagonal_down_2", "bar": {"width": 4},
                     "parts": [{"scene": 1}, {"scene": 2}]})");
  }

  std::string path(const std::string &name) const { return (home_.path() / name).string(); }

  // A clip made by the ffmpeg program: 2 s of 25 fps video with a tone in
  // the sound (`audio` gives its codec options).
  std::string clip(const std::string &name, const std::string &audio) const {
    const std::string file = path(name);
    const std::string command = "ffmpeg -v error -y -f lavfi -i testsrc=s=160x120:r=25:d=2 -f lavfi -i "
                                "sine=f=440:r=48000:d=2 -c:v mpeg4 -q:v 2 " + audio + " \"" + file + "\"";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return file;
  }

  // 44 frames (four FFV1 groups of 12 when rendered from frame 0) of two
  // patterns over a clip with sound.
  std::string board(const std::string &input) const {
    const std::string file = path("story.json");
    media_fixture::writeFile(file, R"({"format": {"width": 320, "height": 240, "rate": "25/1", "pixelAspect": 1094},
                                       "input": ")" +
                                       input + R"(", "length": 44, "scenes": [{"id": 1, "source": "pattern:gradient"},
                                       {"id": 2, "source": "pattern:bars"}]})");
    return file;
  }

  // The sound of a file as 16-bit samples at its own rate.
  std::vector<int16_t> sound(const std::string &file) const {
    const std::string raw = file + ".s16";
    EXPECT_EQ(std::system(("ffmpeg -v error -y -i \"" + file + "\" -map 0:a -f s16le \"" + raw + "\"").c_str()), 0);
    const std::string bytes = media_fixture::readFile(raw);
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
  }

  void expectNoLeftovers() const {
    for (const auto &entry : fs::recursive_directory_iterator(home_.path()))
      EXPECT_THAT(entry.path().filename().string(), testing::Not(testing::StartsWith(".")))
          << entry.path() << " was left behind";
  }
};

// The pixel aspect a player takes from the file's video stream, e.g. "4:3".
std::string pixelAspect(const std::string &file) {
  AVFormatContext *raw = nullptr;
  if (avformat_open_input(&raw, file.c_str(), nullptr, nullptr) < 0)
    return "unreadable";
  const vxhost::av::InputPtr input(raw);
  avformat_find_stream_info(input.get(), nullptr);
  const AVRational sar = av_guess_sample_aspect_ratio(input.get(), input->streams[0], nullptr);
  return std::to_string(sar.num) + ":" + std::to_string(sar.den);
}

std::map<std::string, std::string> filesOf(const fs::path &folder) {
  std::map<std::string, std::string> files;
  for (const auto &entry : fs::directory_iterator(folder))
    files[entry.path().filename().string()] = media_fixture::readFile(entry.path());
  return files;
}

// From the middle (frame 1: the segments start on FFV1 groups counted from
// the range's start), in three processes.
TEST_F(JoinTest, JobsWriteWhatOneProcessWrites) {
  const std::string story = board(clip("tone.mkv", "-c:a pcm_s16le"));
  for (const std::string name : {"out.y4m", "out.mkv", "out.mov", "frames/"}) {
    SCOPED_TRACE(name);
    const ProgramResult one = run("tileron-host render " + story + " --fields 2:87 -o " + path("one-" + name));
    ASSERT_EQ(one.status, 0) << one.output;
    const ProgramResult jobs =
        run("tileron-host render " + story + " --fields 2:87 --jobs 3 -o " + path("jobs-" + name));
    ASSERT_EQ(jobs.status, 0) << jobs.output;
    if (name == "out.y4m") {
      EXPECT_TRUE(media_fixture::readFile(path("one-out.y4m")) == media_fixture::readFile(path("jobs-out.y4m")));
    } else if (name != "frames/") {
      const std::vector<std::string> packets = media_fixture::videoPackets(path("one-" + name));
      EXPECT_EQ(packets.size(), 43u);
      EXPECT_TRUE(packets == media_fixture::videoPackets(path("jobs-" + name))) << "the video packets differ";
      EXPECT_EQ(pixelAspect(path("jobs-" + name)), pixelAspect(path("one-" + name)));
      const std::vector<int16_t> samples = sound(path("one-" + name));
      EXPECT_EQ(samples.size(), size_t(43 * 1920));
      EXPECT_TRUE(samples == sound(path("jobs-" + name))) << "the sound differs";
    } else {
      const auto frames = filesOf(path("one-frames"));
      EXPECT_EQ(frames.size(), 43u);
      EXPECT_EQ(frames.begin()->first, "00001.png");
      EXPECT_TRUE(frames == filesOf(path("jobs-frames"))) << "the PNG frames differ";
    }
  }
  expectNoLeftovers();
}

// H.264 segments are encoded apart: each starts on a key frame, and the
// joined file holds every frame once, in order.
TEST_F(JoinTest, Mp4JobsJoinOnKeyFramesAndRefuseAacSound) {
  const std::string story = board(clip("tone.mp4", "-c:a aac"));
  const ProgramResult refused = run("tileron-host render " + story + " --jobs 2 -o " + path("sound.mp4"));
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.output, HasSubstr("--jobs 2: the sound of an .mp4 (AAC) cannot be joined"));

  const ProgramResult jobs = run("tileron-host render " + story + " --jobs 2 --audio none -o " + path("out.mp4"));
  ASSERT_EQ(jobs.status, 0) << jobs.output;
  std::vector<std::string> packets = media_fixture::videoPackets(path("out.mp4"));
  ASSERT_EQ(packets.size(), 44u);
  std::vector<int> times, keys;
  for (const std::string &packet : packets) {
    times.push_back(std::stoi(packet));
    if (packet.find("K:") != std::string::npos)
      keys.push_back(times.back());
  }
  std::sort(times.begin(), times.end());
  EXPECT_EQ(std::adjacent_find(times.begin(), times.end()), times.end()) << "a frame time comes twice";
  EXPECT_THAT(keys, testing::IsSupersetOf({0, times[24]})) << "the second segment (frame 24) starts on a key frame";
  EXPECT_EQ(std::system(("ffmpeg -v error -xerror -i " + path("out.mp4") + " -f null -").c_str()), 0);
  expectNoLeftovers();
}

TEST_F(JoinTest, JoinRefusesSegmentsThatDoNotMatch) {
  const std::string story = board("colour:#203040");
  for (const std::string name : {"a.y4m", "a.mkv", "b.mkv"})
    ASSERT_EQ(run("tileron-host render " + story + " --fields 0:23 -o " + path(name)).status, 0);
  media_fixture::writeFile(path("small.json"),
                           R"({"format": {"width": 160, "height": 120, "rate": "25/1"}, "input": "colour:#203040",
                               "length": 4, "scenes": [{"id": 1, "source": "pattern:bars"}]})");
  ASSERT_EQ(run("tileron-host render " + path("small.json") + " -o " + path("small.y4m")).status, 0);
  ASSERT_EQ(run("tileron-host render " + path("small.json") + " -o " + path("small.mkv")).status, 0);

  const struct {
    std::string arguments, message;
  } cases[] = {
      {path("a.y4m") + " " + path("small.y4m") + " -o " + path("out.y4m"), "is not the first segment's"},
      {path("a.mkv") + " " + path("small.mkv") + " -o " + path("out.mkv"), "ffv1 video 160x120"},
      {path("a.mkv") + " " + path("gone.mkv") + " -o " + path("out.mkv"), "gone.mkv: no such file"},
      {path("a.mkv") + " " + path("a.y4m") + " -o " + path("out.mkv"), "a.y4m: not of the output's kind"},
      {path("a.y4m") + " -o " + path("out.png"), "a.y4m: not of the output's kind"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.message);
    const ProgramResult result = run("tileron-host join " + c.arguments);
    EXPECT_EQ(result.status, 1);
    EXPECT_THAT(result.output, HasSubstr(c.message));
  }
  for (const std::string name : {"out.y4m", "out.mkv", "out.png"})
    EXPECT_FALSE(fs::exists(path(name))) << name;
  expectNoLeftovers();

  // Segments that match join, here the same one twice: 48 frames, timed on.
  const ProgramResult joined = run("tileron-host join " + path("a.mkv") + " " + path("b.mkv") + " -o " + path("ab.mkv"));
  ASSERT_EQ(joined.status, 0) << joined.output;
  const std::vector<std::string> packets = media_fixture::videoPackets(path("ab.mkv"));
  ASSERT_EQ(packets.size(), 24u);
  EXPECT_EQ(std::stoi(packets[12]), 480) << "the second segment starts 12 frames (480 ms) on";
}

// A range from the middle opens the sound there; AAC decoded from a seek
// needs the frame before the first sample, else its first 1024 samples click.
TEST_F(JoinTest, ARangeFromTheMiddleHasTheSoundOfTheWholeRender) {
  const std::string story = board(clip("tone.mp4", "-c:a aac"));
  ASSERT_EQ(run("tileron-host render " + story + " -o " + path("all.mkv")).status, 0);
  ASSERT_EQ(run("tileron-host render " + story + " --fields 20:87 -o " + path("part.mkv")).status, 0);
  const std::vector<int16_t> all = sound(path("all.mkv")), part = sound(path("part.mkv"));
  ASSERT_EQ(part.size(), size_t(34 * 1920));
  int worst = 0;
  for (size_t i = 0; i < 4096; ++i)
    worst = std::max(worst, std::abs(part[i] - all[10 * 1920 + i]));
  EXPECT_LE(worst, 4) << "the range's sound starts otherwise than the whole render's at that time";
}

} // namespace
