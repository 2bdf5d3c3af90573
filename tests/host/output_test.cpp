// Output writers: exact Y4M, lossless FFV1, interlaced MP4, PNG frames, and
// nothing under the final name unless the output was completed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>

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

class OutputTest : public HostTest {
protected:
  void SetUp() override {
    HostTest::SetUp();
    format_.width = 16;
    format_.height = 8;
    format_.pixelAspect = 1094;
    for (int n = 0; n < 3; ++n)
      frames_.push_back(media_fixture::numberedFrame(16, 8, n));
  }

  std::string path(const std::string &name) const { return (home_.path() / name).string(); }

  void writeAll(const std::string &name) {
    auto writer = openWriter(name, format_);
    for (const Frame &frame : frames_)
      writer->write(frame.data());
    writer->finish();
  }

  std::vector<Frame> readBack(const std::string &name) {
    auto clip = openMediaFile(name, format_);
    std::vector<Frame> frames;
    for (int n = 0; n < clip->length(); ++n) {
      const uint32_t *pixels = clip->frame(n);
      if (!pixels)
        break;
      frames.emplace_back(pixels, pixels + size_t(format_.width) * format_.height);
    }
    return frames;
  }

  // Everything in the home folder, hidden temporary files included.
  std::vector<std::string> filesInHome() const {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(home_.path()))
      names.push_back(entry.path().lexically_relative(home_.path()).string());
    std::sort(names.begin(), names.end());
    return names;
  }

  Format format_;
  std::vector<Frame> frames_;
};

} // namespace

TEST_F(OutputTest, Y4mAndFfv1RoundTripExactly) {
  for (const char *name : {"out.y4m", "out.mkv"}) {
    SCOPED_TRACE(name);
    writeAll(path(name));
    EXPECT_EQ(readBack(path(name)), frames_);
  }
  const std::string y4m = media_fixture::readFile(path("out.y4m"));
  EXPECT_EQ(y4m.substr(0, y4m.find('\n')), "YUV4MPEG2 W16 H8 F25:1 It A547:500 C444");
  EXPECT_EQ(y4m.size(), 40 + 3 * (6 + 16 * 8 * 3));
}

TEST_F(OutputTest, Mp4IsInterlacedAtTheStoryboardsRate) {
  format_.width = 64;
  format_.height = 48;
  format_.rateNum = 30000;
  format_.rateDen = 1001;
  frames_.assign(5, Frame(64 * 48, packYuva(120, 100, 150)));
  writeAll(path("out.mp4"));

  AVFormatContext *raw = nullptr;
  ASSERT_GE(avformat_open_input(&raw, path("out.mp4").c_str(), nullptr, nullptr), 0);
  const av::InputPtr input(raw);
  ASSERT_GE(avformat_find_stream_info(input.get(), nullptr), 0);
  const AVStream *stream = input->streams[0];
  EXPECT_EQ(stream->codecpar->codec_id, mp4EncoderName() == "libx264" ? AV_CODEC_ID_H264 : AV_CODEC_ID_MPEG4);
  EXPECT_EQ(stream->codecpar->width, 64);
  EXPECT_EQ(stream->codecpar->height, 48);
  EXPECT_EQ(av_cmp_q(stream->avg_frame_rate, AVRational{30000, 1001}), 0);
  EXPECT_EQ(stream->codecpar->field_order, AV_FIELD_TT);
  EXPECT_EQ(av_cmp_q(stream->codecpar->sample_aspect_ratio, AVRational{547, 500}), 0);

  // Flat colour survives 4:2:0 and the encoder within a step or two.
  const Frame back = readBack(path("out.mp4")).at(4);
  EXPECT_NEAR(int(back[24 * 64 + 32] >> 24), 120, 2);
  EXPECT_NEAR(int(back[24 * 64 + 32] >> 16 & 0xFF), 100, 2);
}

TEST_F(OutputTest, PngFramesAreRgbFilesNumberedByFrame) {
  frames_.assign(2, Frame(16 * 8, rgbToYuva(255, 0, 0, Matrix::bt601)));
  std::filesystem::create_directory(home_.path() / "frames");
  WriterOptions numbered;
  numbered.firstFrame = 7;
  auto writer = openWriter(path("frames"), format_, numbered);
  for (const Frame &frame : frames_)
    writer->write(frame.data());
  EXPECT_FALSE(std::filesystem::exists(home_.path() / "frames/00007.png")); // not before finish()
  writer->finish();
  writeAll(path("shot-%03d.png"));
  EXPECT_THAT(filesInHome(), testing::ElementsAre("frames", "frames/00007.png", "frames/00008.png",
                                                  "shot-000.png", "shot-001.png"));

  const std::string png = media_fixture::readFile(home_.path() / "frames/00008.png");
  EXPECT_EQ(png[25], 2) << "colour type 2 (RGB)";
  std::string error;
  const std::optional<RgbaImage> picture = readPng(home_.path() / "frames/00008.png", error);
  ASSERT_TRUE(picture) << error;
  ASSERT_EQ(picture->width, 16);
  EXPECT_NEAR(picture->pixels[0], 255, 2);
  EXPECT_NEAR(picture->pixels[1], 0, 2);
}

TEST_F(OutputTest, AnUnfinishedOutputLeavesNothingAndKeepsAnOldFile) {
  media_fixture::writeFile(path("old.y4m"), "previous render");
  std::filesystem::create_directory(home_.path() / "frames");
  // "made/" is a folder the writer makes: removed again with its frames. On
  // encoder threads frames may still be in flight when the writer goes.
  for (const int threads : {1, 3}) {
    WriterOptions options;
    options.encoderThreads = threads;
    for (const char *name : {"old.y4m", "new.mkv", "new.mp4", "new.mov", "still.png", "frames/", "made/",
                             "shot%02d.png"}) {
      SCOPED_TRACE(std::string(name) + " on " + std::to_string(threads));
      auto writer = openWriter(path(name), format_, options);
      for (const Frame &frame : frames_) {
        writer->write(frame.data());
        if (std::string(name) == "still.png")
          break;
      }
      // Destroyed without finish(), as when a field fails.
    }
  }
  EXPECT_THAT(filesInHome(), testing::ElementsAre("frames", "old.y4m"));
  EXPECT_EQ(media_fixture::readFile(path("old.y4m")), "previous render");
}

// On several threads a frame's file is written after later frames were
// given: a file that cannot be written still fails the output, by the
// write() or the finish() after it, naming that file.
TEST_F(OutputTest, APngFrameThatCannotBeWrittenFailsOnThreadsToo) {
  for (const int threads : {1, 3}) {
    SCOPED_TRACE(threads);
    PngFrameEncoder encoder(format_, threads);
    const std::filesystem::path good = home_.path() / ("good" + std::to_string(threads) + ".png");
    std::string failure;
    try {
      const std::pair<std::filesystem::path, std::string> files[] = {
          {good, "good.png"}, {home_.path() / "missing/bad.png", "bad.png"}, {good, "good.png"}};
      for (const auto &[file, name] : files) {
        for (int y = 0; y < format_.height; ++y)
          std::fill_n(encoder.row(y), 3 * format_.width, uint8_t(y));
        encoder.write(file, name);
      }
      encoder.finish();
    } catch (const OutputError &e) {
      failure = e.what();
    }
    EXPECT_THAT(failure, HasSubstr("bad.png: cannot be written"));
    EXPECT_TRUE(std::filesystem::exists(good)) << "the frame before it was written";
  }
}

TEST_F(OutputTest, BadOutputNamesAreRefusedBeforeAnythingIsWritten) {
  const struct {
    std::string name;
    const char *what;
  } cases[] = {
      {path("missing/out.mp4"), "does not exist"}, {path("missing/deeper/"), "does not exist"},
      {path("out.avi"), "unknown kind of output"}, {path("shot%s.png"), "one %d or %0Nd"},
      {path("shot%d%d.png"), "one %d or %0Nd"},    {path("shot%05d.jpg"), "one %d or %0Nd"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.name);
    try {
      openWriter(c.name, format_);
      ADD_FAILURE() << "opened";
    } catch (const OutputError &e) {
      EXPECT_THAT(e.what(), HasSubstr(c.what));
    }
  }
  EXPECT_TRUE(filesInHome().empty());
}

TEST_F(OutputTest, FieldsAreWrittenAsTheFrameTheyWeaveInto) {
  // Frame n's fields; a missing field gives black lines.
  const auto fieldOf = [](const Frame &frame, int parity) {
    Frame field;
    for (int y = parity; y < 8; y += 2)
      field.insert(field.end(), frame.begin() + y * 16, frame.begin() + y * 16 + 16);
    return field;
  };
  const uint32_t black = packYuva(16, 128, 128);
  Frame bottomOnly = frames_[1], topOnly = frames_[2];
  for (int y = 0; y < 8; ++y)
    std::fill_n((y % 2 ? topOnly : bottomOnly).begin() + y * 16, 16, black);

  for (const char *name : {"fields.y4m", "fields.mkv"}) {
    SCOPED_TRACE(name);
    auto writer = openWriter(path(name), format_);
    writer->writeFields(fieldOf(frames_[0], 0).data(), fieldOf(frames_[0], 1).data());
    writer->writeFields(nullptr, fieldOf(frames_[1], 1).data());
    writer->writeFields(fieldOf(frames_[2], 0).data(), nullptr);
    writer->finish();
    EXPECT_EQ(readBack(path(name)), (std::vector<Frame>{frames_[0], bottomOnly, topOnly}));
  }
}
