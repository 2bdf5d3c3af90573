// Clips: the built-in patterns and files decoded through FFmpeg.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <numeric>

#include "host/media/av.hpp"
#include "host/media/yuv.hpp"
#include "host/media/output.hpp"
#include "host/scenes/sources.hpp"
#include "host/media/png.hpp"
#include "host_fixture.hpp"
#include "media_fixture.hpp"

using namespace vxhost;
using media_fixture::Frame;
using testing::HasSubstr;

namespace {

Format smallFormat(int width = 16, int height = 8) {
  Format format;
  format.width = width;
  format.height = height;
  return format;
}

Frame copyFrame(ClipSource &clip, int index, const Format &format) {
  const uint32_t *pixels = clip.frame(index);
  if (!pixels)
    return {};
  return Frame(pixels, pixels + size_t(format.width) * format.height);
}

uint32_t luma(uint32_t word) { return word >> 24; }

class SourcesTest : public HostTest {
protected:
  std::filesystem::path file(const std::string &name) const { return home_.path() / name; }
};

} // namespace

TEST_F(SourcesTest, PatternsAreDeterministicAndEndWithTheirLength) {
  const Format format = smallFormat(64, 48);
  for (const char *name : {"pattern:bars", "pattern:gradient", "colour:#336699", "pattern:solid:#336699"}) {
    SCOPED_TRACE(name);
    auto first = openPattern(name, 3, format), second = openPattern(name, 3, format);
    ASSERT_EQ(first->length(), 3);
    // Out of order, and from a second source: always the same bytes.
    const Frame two = copyFrame(*first, 2, format);
    copyFrame(*first, 0, format);
    EXPECT_EQ(copyFrame(*first, 2, format), two);
    EXPECT_EQ(copyFrame(*second, 2, format), two);
    EXPECT_EQ(first->frame(3), nullptr);
    EXPECT_EQ(first->frame(-1), nullptr);
    for (uint32_t word : two)
      ASSERT_EQ(word & 0xFF, 0xFFu);
  }
}

TEST_F(SourcesTest, GradientMovesAndBarsShowSevenColours) {
  const Format format = smallFormat(70, 48);
  auto gradient = openPattern("pattern:gradient", 2, format);
  EXPECT_NE(copyFrame(*gradient, 0, format), copyFrame(*gradient, 1, format));

  auto bars = openPattern("pattern:bars", 1, format);
  const Frame frame = copyFrame(*bars, 0, format);
  std::vector<uint32_t> row(frame.begin(), frame.begin() + 70);
  row.erase(std::unique(row.begin(), row.end()), row.end());
  ASSERT_EQ(row.size(), 7u);
  EXPECT_EQ(row[0], packYuva(180, 128, 128)); // 75 % white
  EXPECT_EQ(luma(row[6]), 35u);               // 75 % blue, the darkest
}

// Red takes the matrix of the frame height: BT.601 up to 576 lines, BT.709 above.
TEST_F(SourcesTest, SolidColoursUseTheMatrixOfTheFormat) {
  struct Case {
    const char *name;
    int height;
    uint32_t word;
  } cases[] = {
      {"colour:#FF0000", 576, packYuva(82, 90, 240)},  {"color:#ff0000", 578, packYuva(63, 102, 240)},
      {"pattern:solid:#FFFFFF", 8, packYuva(235, 128, 128)}, {"colour:#000000", 1080, packYuva(16, 128, 128)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const Format format = smallFormat(4, c.height);
    const Frame frame = copyFrame(*openPattern(c.name, 1, format), 0, format);
    EXPECT_THAT(frame, testing::Each(c.word));
  }
}

TEST_F(SourcesTest, BadPatternNamesAreRefused) {
  for (const char *name : {"pattern:stripes", "colour:#12345", "colour:red", "pattern:solid:#GG0000"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(openPattern(name, 1, smallFormat()), SourceError);
  }
  EXPECT_TRUE(isPatternName("colour:#000000"));
  EXPECT_FALSE(isPatternName("clips/pattern:bars.mp4"));
}

TEST_F(SourcesTest, FourFourFourY4mOfTheFormatSizePassesThroughByteForByte) {
  const Format format = smallFormat(16, 8);
  std::vector<Frame> frames;
  for (int n = 0; n < 6; ++n)
    frames.push_back(media_fixture::numberedFrame(16, 8, n));
  media_fixture::writeY4m(file("clip.y4m"), 16, 8, frames);

  MediaOptions options;
  options.cacheBytes = 0; // two frames: going back must decode again
  auto clip = openMediaFile(file("clip.y4m"), format, options);
  ASSERT_EQ(clip->length(), 6);
  for (int index : {0, 1, 5, 2, 4, 0, 3, 3})
    ASSERT_EQ(copyFrame(*clip, index, format), frames[index]) << "frame " << index;
  EXPECT_EQ(clip->frame(6), nullptr);
  EXPECT_EQ(clip->takeFailure(), "");
}

// A field is lines parity, parity + 2, … of its frame, whether the source
// writes it from its own planes (a video passed through or scaled) or
// copies it out of its frame (a pattern).
TEST_F(SourcesTest, FieldsAreTheLinesOfTheirFrame) {
  setFormat(smallFormat(16, 8));
  std::vector<Frame> frames;
  for (int n = 0; n < 3; ++n)
    frames.push_back(media_fixture::numberedFrame(12, 6, n));
  media_fixture::writeY4m(file("small.y4m"), 12, 6, frames);
  frames.clear();
  for (int n = 0; n < 3; ++n)
    frames.push_back(media_fixture::numberedFrame(16, 8, n));
  media_fixture::writeY4m(file("exact.y4m"), 16, 8, frames);

  const std::pair<const char *, std::shared_ptr<ClipSource>> clips[] = {
      {"passed through", openMediaFile(file("exact.y4m"), format())},
      {"scaled", openMediaFile(file("small.y4m"), format())},
      {"pattern", openPattern("pattern:gradient", 3, format())},
  };
  for (const auto &[name, clip] : clips)
    for (int index : {2, 0, 1})
      for (int parity : {1, 0}) {
        SCOPED_TRACE(std::string(name) + ", frame " + std::to_string(index) + ", parity " + std::to_string(parity));
        Frame field(16 * 4);
        ASSERT_TRUE(clip->field(index, parity, field.data()));
        const Frame frame = copyFrame(*clip, index, format());
        Frame expected;
        for (int y = parity; y < 8; y += 2)
          expected.insert(expected.end(), frame.begin() + y * 16, frame.begin() + y * 16 + 16);
        EXPECT_EQ(field, expected);
        if (std::string(name) == "passed through") {
          EXPECT_EQ(frame, frames[size_t(index)]);
        }
      }
  Frame field(16 * 4);
  EXPECT_FALSE(clips[0].second->field(3, 0, field.data()));
}

TEST_F(SourcesTest, LengthCutsAVideoAndOtherRatesPlayAtTheirOwnSpeed) {
  const Format format = smallFormat(16, 8);
  std::vector<Frame> frames;
  for (int n = 0; n < 10; ++n)
    frames.push_back(media_fixture::numberedFrame(16, 8, n));
  media_fixture::writeY4m(file("fifty.y4m"), 16, 8, frames, "50:1");

  auto clip = openMediaFile(file("fifty.y4m"), format);
  ASSERT_EQ(clip->length(), 5);
  EXPECT_EQ(copyFrame(*clip, 3, format), frames[6]);

  MediaOptions options;
  options.length = 3;
  EXPECT_EQ(openMediaFile(file("fifty.y4m"), format, options)->length(), 3);
  options.length = 50; // never longer than the clip
  EXPECT_EQ(openMediaFile(file("fifty.y4m"), format, options)->length(), 5);
}

// Matroska keeps times in milliseconds: 29.97 fps steps by 33 and 34 ms and
// still maps frame for frame to a 29.97 fps format.
TEST_F(SourcesTest, RoundedFrameTimesKeepTheirRate) {
  Format format = smallFormat(64, 48);
  format.rateNum = 30000;
  format.rateDen = 1001;
  media_fixture::writeGreyRamp(file("ntsc.mkv"), 64, 48, 100, "", {30000, 1001});
  auto clip = openMediaFile(file("ntsc.mkv"), format);
  ASSERT_EQ(clip->length(), 100);
  for (int index : {90, 99}) {
    const uint32_t *pixels = clip->frame(index);
    ASSERT_NE(pixels, nullptr) << clip->takeFailure();
    EXPECT_NEAR(int(luma(pixels[24 * 64 + 32])), 20 + 10 * (index % 24), 2) << "frame " << index;
  }
}

// Key frames every 5 frames and B-frames: every frame is found in any order,
// including backwards across groups, with a cache of two frames, whatever
// the container holds for an index (AVI gives no presentation times: its
// frames are decoded in order; a seek in MPEG-TS to the first frame's time
// lands past the first key frame).
TEST_F(SourcesTest, SeeksBackwardsInAnInterFrameVideo) {
  const Format format = smallFormat(64, 48);
  for (const char *name : {"ramp.mp4", "ramp.mov", "ramp.mkv", "ramp.avi", "ramp.ts", "ramp.m2ts", "ramp.mpg",
                           "ramp.3gp", "ramp.nut"}) {
    SCOPED_TRACE(name);
    media_fixture::writeGreyRamp(file(name), 64, 48, 18);
    MediaOptions options;
    options.cacheBytes = 0;
    auto clip = openMediaFile(file(name), format, options);
    ASSERT_EQ(clip->length(), 18);
    for (int index : {0, 1, 2, 17, 16, 3, 12, 11, 10, 4, 9, 5, 6, 14, 0, 7, 8, 13, 15}) {
      const uint32_t *pixels = clip->frame(index);
      ASSERT_NE(pixels, nullptr) << "frame " << index << ": " << clip->takeFailure();
      // Studio-range luma of a flat 4:2:0 picture survives within the quantiser's error.
      EXPECT_NEAR(int(luma(pixels[24 * 64 + 32])), 20 + 10 * index, 2) << "frame " << index;
    }
  }
}

namespace {

// The frames of a file as reading all its packets counts them.
int64_t packetCount(const std::filesystem::path &path) {
  AVFormatContext *raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
    return -1;
  const av::InputPtr input(raw);
  const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  const av::PacketPtr packet = av::makePacket();
  int64_t count = 0;
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    count += packet->stream_index == stream && !(packet->flags & AV_PKT_FLAG_DISCARD);
    av_packet_unref(packet.get());
  }
  return count;
}

// Bytes this process has read through system calls so far.
uint64_t bytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:")
      return value;
  return 0;
}

} // namespace

// The count comes from the container's index (MP4 and MOV sample tables,
// the AVI index, Matroska cues before or after the clusters, the Y4M frame
// size) and equals a count of all packets, while little of the file is read.
TEST_F(SourcesTest, IndexedClipsAreCountedWithoutReadingThem) {
  const int frames = 603; // not a whole number of groups
  const struct {
    const char *name, *muxerOptions;
  } clips[] = {
      {"tail.mp4", ""}, {"front.mp4", "movflags=+faststart"}, {"tail.mov", ""},
      {"tail.mkv", ""}, {"front.mkv", "reserve_index_space=8192"}, {"tail.avi", ""},
  };
  const Format format = smallFormat(128, 64);
  for (const auto &c : clips)
    media_fixture::writeGreyRamp(file(c.name), 128, 64, frames, c.muxerOptions);
  media_fixture::writeY4m(file("clip.y4m"), 128, 64,
                          std::vector<Frame>(frames, media_fixture::numberedFrame(128, 64, 3)));
  for (const char *name : {"tail.mp4", "front.mp4", "tail.mov", "tail.mkv", "front.mkv", "tail.avi", "clip.y4m"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(packetCount(file(name)), frames);
    const uint64_t before = bytesRead();
    auto clip = openMediaFile(file(name), format);
    const uint64_t read = bytesRead() - before;
    EXPECT_EQ(clip->length(), frames);
    EXPECT_LT(read, std::filesystem::file_size(file(name)) / 4);
    // The last frame is there, with the right picture.
    const uint32_t *last = clip->frame(frames - 1);
    ASSERT_NE(last, nullptr) << clip->takeFailure();
    if (std::string(name) != "clip.y4m") {
      EXPECT_NEAR(int(luma(last[32 * 128 + 64])), 20 + 10 * ((frames - 1) % 24), 2);
    }
  }
}

// Cut at a third, with the index kept (before the pictures) or lost with the
// end of the file.
TEST_F(SourcesTest, TruncatedClipsAreReportedWithOrWithoutTheirIndex) {
  const struct {
    const char *name, *muxerOptions;
  } clips[] = {
      {"tail.mp4", ""},  {"front.mp4", "movflags=+faststart"},     {"tail.mov", ""},
      {"front.mov", "movflags=+faststart"}, {"tail.mkv", ""}, {"front.mkv", "reserve_index_space=2048"},
      {"tail.avi", ""},
  };
  for (const auto &c : clips) {
    SCOPED_TRACE(c.name);
    media_fixture::writeGreyRamp(file(c.name), 128, 64, 60, c.muxerOptions);
    const std::string bytes = media_fixture::readFile(file(c.name));
    media_fixture::writeFile(file(c.name), bytes.substr(0, bytes.size() / 3));
    try {
      openMediaFile(file(c.name), smallFormat());
      ADD_FAILURE() << "opened";
    } catch (const SourceError &e) {
      EXPECT_THAT(e.what(), HasSubstr("is damaged or truncated"));
    }
  }
  // A Y4M file whose last frame is cut short.
  std::vector<Frame> frames(9, media_fixture::numberedFrame(16, 8, 1));
  media_fixture::writeY4m(file("cut.y4m"), 16, 8, frames);
  const std::string y4m = media_fixture::readFile(file("cut.y4m"));
  media_fixture::writeFile(file("cut.y4m"), y4m.substr(0, y4m.size() / 3));
  try {
    openMediaFile(file("cut.y4m"), smallFormat());
    ADD_FAILURE() << "opened";
  } catch (const SourceError &e) {
    EXPECT_THAT(e.what(), HasSubstr("is damaged or truncated (the frame after frame 1 is cut short)"));
  }
}

TEST_F(SourcesTest, StillImageIsAClipOfTheAskedLengthInTheHostsColours) {
  RgbaImage picture;
  picture.width = 8;
  picture.height = 4;
  for (int i = 0; i < 32; ++i)
    picture.pixels.insert(picture.pixels.end(), {uint8_t(i * 8), 200, uint8_t(255 - i * 8), 255});
  std::string error;
  ASSERT_TRUE(writePng(file("still.png"), picture, error)) << error;

  MediaOptions options;
  options.stillLength = 40;
  const Format format = smallFormat(8, 4);
  auto still = openMediaFile(file("still.png"), format, options);
  ASSERT_EQ(still->length(), 40);
  const Frame first = copyFrame(*still, 0, format);
  EXPECT_EQ(copyFrame(*still, 39, format), first);
  EXPECT_EQ(still->frame(40), nullptr);
  for (int i = 0; i < 32; ++i)
    ASSERT_EQ(first[i], rgbToYuva(i * 8, 200, 255 - i * 8, Matrix::bt601)) << "pixel " << i;

  // Another size is scaled to the format: a flat picture stays flat.
  auto scaled = openMediaFile(file("still.png"), smallFormat(32, 16), options);
  EXPECT_EQ(copyFrame(*scaled, 5, smallFormat(32, 16)).size(), 32u * 16u);
}

TEST_F(SourcesTest, FilesThatAreNotWholeVideosAreRefusedWithTheReason) {
  std::vector<Frame> frames(4, media_fixture::numberedFrame(16, 8, 1));
  media_fixture::writeY4m(file("whole.y4m"), 16, 8, frames);
  const std::string bytes = media_fixture::readFile(file("whole.y4m"));
  media_fixture::writeFile(file("cut.y4m"), bytes.substr(0, bytes.size() - 100));
  media_fixture::writeGreyRamp(file("ramp.mp4"), 64, 48, 10);
  const std::string mp4 = media_fixture::readFile(file("ramp.mp4"));
  media_fixture::writeFile(file("cut.mp4"), mp4.substr(0, mp4.size() / 2));
  {
    auto writer = openWriter(file("whole.mkv").string(), smallFormat());
    for (int n = 0; n < 20; ++n)
      writer->write(media_fixture::numberedFrame(16, 8, n).data());
    writer->finish();
  }
  const std::string mkv = media_fixture::readFile(file("whole.mkv"));
  media_fixture::writeFile(file("cut.mkv"), mkv.substr(0, mkv.size() * 6 / 10));
  media_fixture::writeFile(file("notes.txt"), "these are not pictures\n");
  media_fixture::writeFile(file("empty.mp4"), "");
  std::filesystem::create_directory(file("folder.mp4"));

  const struct {
    const char *name, *reason;
  } cases[] = {
      {"cut.y4m", "truncated"},      {"cut.mkv", "truncated"},      {"cut.mp4", "cannot be read"},
      {"notes.txt", "cannot be read"},
      {"empty.mp4", "cannot be read"}, {"missing.mp4", "no such file"}, {"folder.mp4", "is a folder"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    try {
      openMediaFile(file(c.name), smallFormat());
      ADD_FAILURE() << "opened";
    } catch (const SourceError &e) {
      EXPECT_THAT(e.what(), HasSubstr(c.reason));
    }
  }
}
