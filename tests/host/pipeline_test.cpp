// The pieces of the pipelined render: pooled image pixels, clips read ahead
// and frames written behind.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gmock/gmock.h>

#include "host/images/images.hpp"
#include "host/images/image_pool.hpp"
#include "host/images/images.hpp"
#include "host/media/read_ahead.hpp"
#include "host/media/write_behind.hpp"
#include "host_fixture.hpp"

namespace {

using namespace vxhost;
using testing::HasSubstr;

using ImagePoolTest = HostTest;

TEST_F(ImagePoolTest, ReleasedPixelsComeBackClearedAndPooledImagesAreNotLive) {
  drainImagePool();
  OpImage *first = opAllocImage(40, 10, OP_KIND_YUVA, 0);
  ASSERT_NE(first, nullptr);
  uint8_t *const pixels = first->pixels;
  std::memset(pixels, 0xAB, 40 * 10 * 4);
  opFreeImage(first);
  EXPECT_EQ(liveImageCount(), 0);
  EXPECT_EQ(pooledBytes(), size_t(40 * 10 * 4));

  // The same size again takes the kept buffer, cleared as every new image is;
  // an image asked for uncleared keeps what was there.
  OpImageHandle again(opAllocImage(40, 10, OP_KIND_YUVA, 0));
  ASSERT_EQ(again->pixels, pixels);
  EXPECT_TRUE(std::all_of(pixels, pixels + 40 * 10 * 4, [](uint8_t b) { return b == 0; }));
  EXPECT_EQ(pooledBytes(), 0u);
  EXPECT_EQ(liveImageCount(), 1);
  std::memset(pixels, 0xCD, 40 * 10 * 4);
  again.reset();
  OpImageHandle uncleared(allocUnclearedImage(40, 10, OP_KIND_YUVA));
  ASSERT_EQ(uncleared->pixels, pixels);
  EXPECT_EQ(uncleared->pixels[17], 0xCD);
  // Another size never gets it.
  OpImageHandle other(opAllocImage(10, 40, OP_KIND_8, 0));
  EXPECT_NE(other->pixels, pixels);
  uncleared.reset();
  other.reset();
  drainImagePool();
  EXPECT_EQ(pooledBytes(), 0u);
}

TEST_F(ImagePoolTest, AnImageThatChangedItsSizeReturnsUnderTheSizeItWasMadeWith) {
  drainImagePool();
  OpImage *image = opAllocImage(64, 64, OP_KIND_YUVA, 0);
  image->width = 8; // the pool must not take it for a smaller buffer
  opFreeImage(image);
  EXPECT_EQ(pooledBytes(), size_t(64 * 64 * 4));
  OpImageHandle small(opAllocImage(8, 64, OP_KIND_YUVA, 0));
  EXPECT_EQ(pooledBytes(), size_t(64 * 64 * 4));
  small.reset();
  drainImagePool();
}

// A clip whose field n with parity p is filled with the word n * 4 + p; frame
// `failing` cannot be had and frame `throwing` throws. Records what it was asked.
class ScriptedClip : public ClipSource {
public:
  ScriptedClip(const Format &format, int length, int failing = -1, int throwing = -1)
      : words_(size_t(format.width) * size_t(format.height / 2)), length_(length), failing_(failing),
        throwing_(throwing) {}
  int length() const override { return length_; }
  const uint32_t *frame(int) override { return nullptr; }
  bool fieldAt(int number, int parity, uint32_t *out) override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      asked_.push_back(number);
    }
    if (number / 2 == throwing_)
      throw std::runtime_error("the clip threw at field " + std::to_string(number));
    if (number < 0 || number / 2 >= length_ || number / 2 == failing_) {
      if (number / 2 == failing_)
        failure_ = "frame " + std::to_string(number / 2) + " could not be decoded";
      return false;
    }
    std::fill(out, out + words_, uint32_t(number * 4 + parity));
    return true;
  }
  std::string takeFailure() override { return std::exchange(failure_, {}); }

  std::vector<int> asked() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return asked_;
  }

private:
  size_t words_;
  int length_, failing_, throwing_;
  std::string failure_;
  std::mutex mutex_;
  std::vector<int> asked_;
};

Format smallFormat() {
  Format format;
  format.width = 6;
  format.height = 4;
  return format;
}

// Asks for field `number` as the host does (the made image, else fieldAt())
// and returns its first word (-1: none).
int64_t ask(ClipSource &clip, const Format &format, int number) {
  const int parity = fieldParity(format, number);
  std::vector<uint32_t> out(size_t(format.width) * size_t(format.height / 2), 0xFFFFFFFF);
  if (OpImageHandle made{clip.madeField(number, parity)}) {
    EXPECT_EQ(made->width, format.width);
    EXPECT_EQ(made->height, format.height / 2);
    std::memcpy(out.data(), made->pixels, out.size() * sizeof(uint32_t));
  } else if (!clip.fieldAt(number, parity, out.data())) {
    return -1;
  }
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [&](uint32_t w) { return w == out[0]; }));
  return out[0];
}

using ReadAheadTest = HostTest; // the made fields are images: none may be left live

TEST_F(ReadAheadTest, GivesWhatTheClipGivesInAnyOrder) {
  const Format format = smallFormat();
  struct Case {
    const char *name;
    std::vector<int> numbers;
  };
  const Case cases[] = {
      {"in order", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"from the middle", {7, 8, 9, 10}},
      {"back and forth", {0, 1, 2, 3, 4, 5, 1, 2, 3, 12, 13, 2}},
      {"repeated and skipping", {4, 4, 5, 5, 4, 9, 11, 11, 12}},
      {"past the end and negative", {36, 37, 38, 39, 40, 41, -1, 39}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedClip direct(format, 20);
    const auto ahead = readAhead(std::make_shared<ScriptedClip>(format, 20), format, 3);
    for (const int number : c.numbers)
      EXPECT_EQ(ask(*ahead, format, number), ask(direct, format, number)) << "field " << number;
  }
}

TEST_F(ReadAheadTest, ReadsNoFurtherThanItsDepthAndNotPastTheEnd) {
  const Format format = smallFormat();
  auto clip = std::make_shared<ScriptedClip>(format, 6);
  const auto ahead = readAhead(clip, format, 3);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(clip->asked().empty()) << "nothing is read before the first field is asked for";
  for (int number = 0; number < 12; ++number) {
    ASSERT_EQ(ask(*ahead, format, number), number * 4 + fieldParity(format, number));
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    const std::vector<int> asked = clip->asked();
    EXPECT_LE(*std::max_element(asked.begin(), asked.end()), std::min(number + 3, 11)) << "after field " << number;
  }
  // Every field was read once: none was made twice in an ordered run.
  const std::vector<int> asked = clip->asked();
  EXPECT_EQ(std::set<int>(asked.begin(), asked.end()).size(), asked.size());
}

// Started at a field, the worker makes that field alone before anything is
// asked (a scene no part shows holds no more), then reads ahead as usual up
// to the last field given; a render that starts elsewhere or asks past the
// last still gets what the clip gives.
TEST_F(ReadAheadTest, StartedAtAFieldMakesItAloneUntilAskedAndStopsAtTheLast) {
  const Format format = smallFormat();
  for (const int asked : {5, 9}) {
    SCOPED_TRACE(asked);
    auto clip = std::make_shared<ScriptedClip>(format, 8);
    ScriptedClip direct(format, 8);
    const auto ahead = readAhead(clip, format, 3, 5, 10);
    for (int wait = 0; wait < 1000 && clip->asked().empty(); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(20)); // time to go further, which it must not
    EXPECT_EQ(clip->asked(), std::vector<int>{5});
    for (int number = asked; number < asked + 4; ++number) {
      EXPECT_EQ(ask(*ahead, format, number), ask(direct, format, number)) << "field " << number;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      const std::vector<int> made = clip->asked();
      EXPECT_LE(*std::max_element(made.begin(), made.end()), std::max(number, 10)) << "after field " << number;
    }
  }
}

// A first field made before it is asked keeps its failure, or the clip's
// exception, for the call that asks for it.
TEST_F(ReadAheadTest, AFieldMadeBeforeTheAskReportsItsFailureWhenAsked) {
  const Format format = smallFormat();
  for (const bool throwing : {false, true}) {
    SCOPED_TRACE(throwing);
    auto clip = std::make_shared<ScriptedClip>(format, 8, throwing ? -1 : 2, throwing ? 2 : -1);
    const auto ahead = readAhead(clip, format, 3, 4);
    for (int wait = 0; wait < 1000 && clip->asked().empty(); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(ahead->takeFailure(), "") << "nothing is reported before the field is asked for";
    if (throwing) {
      EXPECT_THROW(ask(*ahead, format, 4), std::runtime_error);
    } else {
      EXPECT_EQ(ask(*ahead, format, 4), -1);
      EXPECT_EQ(ahead->takeFailure(), "frame 2 could not be decoded");
    }
    EXPECT_EQ(ask(*ahead, format, 6), 6 * 4 + fieldParity(format, 6));
  }
}

TEST_F(ReadAheadTest, FailuresAreReportedByTheCallThatMeetsThem) {
  const Format format = smallFormat();
  const auto ahead = readAhead(std::make_shared<ScriptedClip>(format, 10, /*failing*/ 3, /*throwing*/ 6), format, 4);
  // Fields 0 to 5, read ahead with frame 3's fields, which fail: nothing is
  // reported before frame 3 is asked for.
  for (int number = 0; number < 6; ++number) {
    ask(*ahead, format, number);
    EXPECT_EQ(ahead->takeFailure(), "") << "field " << number;
  }
  EXPECT_EQ(ask(*ahead, format, 6), -1);
  EXPECT_EQ(ahead->takeFailure(), "frame 3 could not be decoded");
  EXPECT_EQ(ahead->takeFailure(), "");
  try {
    ask(*ahead, format, 12);
    ADD_FAILURE() << "the clip's exception was not passed on";
  } catch (const std::runtime_error &e) {
    EXPECT_STREQ(e.what(), "the clip threw at field 12");
  }
  EXPECT_EQ(ask(*ahead, format, 14), 14 * 4 + fieldParity(format, 14)) << "a field after the exception still comes";
}

// A writer that keeps the first word of every line of the frames it is given
// and fails on frame `failing`.
class LineWriter : public FrameWriter {
public:
  LineWriter(const Format &format, std::vector<std::vector<uint32_t>> &frames, int failing = -1)
      : FrameWriter(format), frames_(frames), failing_(failing) {}
  void finish() override { finished = true; }
  bool finished = false;

protected:
  void writeLines(const FrameLines &lines) override {
    if (int(frames_.size()) == failing_)
      throw OutputError("cannot write a frame (disk full)");
    std::vector<uint32_t> firsts;
    for (int y = 0; y < format_.height; ++y)
      firsts.push_back(lines[y][0]);
    frames_.push_back(firsts);
  }

private:
  std::vector<std::vector<uint32_t>> &frames_;
  int failing_;
};

using WriteBehindTest = HostTest;

OpImageHandle filledField(const Format &format, uint32_t word) {
  OpImageHandle field(opAllocImage(format.width, format.height / 2, OP_KIND_YUVA, 0));
  std::fill_n(reinterpret_cast<uint32_t *>(field->pixels), format.width * (format.height / 2), word);
  return field;
}

TEST_F(WriteBehindTest, FramesAreWrittenInOrderAndTheirImagesReleased) {
  const Format format = smallFormat();
  for (const int depth : {0, 2}) {
    SCOPED_TRACE("depth " + std::to_string(depth));
    std::vector<std::vector<uint32_t>> frames;
    auto writer = std::make_unique<LineWriter>(format, frames);
    LineWriter &lines = *writer;
    {
      WriteBehind behind(std::move(writer), depth);
      for (uint32_t n = 0; n < 5; ++n)
        behind.write(filledField(format, 10 * n), n == 4 ? nullptr : filledField(format, 10 * n + 1));
      behind.finish();
      EXPECT_TRUE(lines.finished);
    }
    EXPECT_EQ(liveImageCount(), 0);
    ASSERT_EQ(frames.size(), 5u);
    for (uint32_t n = 0; n < 5; ++n)
      EXPECT_EQ(frames[n], (std::vector<uint32_t>{10 * n, n == 4 ? 0x108080FF : 10 * n + 1, 10 * n,
                                                  n == 4 ? 0x108080FF : 10 * n + 1}))
          << "frame " << n << " (a missing field is black)";
  }
}

TEST_F(WriteBehindTest, AWriterErrorComesBackAndNothingIsFinished) {
  const Format format = smallFormat();
  for (const int depth : {0, 2}) {
    SCOPED_TRACE("depth " + std::to_string(depth));
    std::vector<std::vector<uint32_t>> frames;
    auto writer = std::make_unique<LineWriter>(format, frames, /*failing*/ 1);
    try {
      WriteBehind behind(std::move(writer), depth);
      for (uint32_t n = 0; n < 6; ++n)
        behind.write(filledField(format, n), filledField(format, n));
      behind.finish();
      ADD_FAILURE() << "the writer's error was lost";
    } catch (const OutputError &e) {
      EXPECT_THAT(e.what(), HasSubstr("disk full"));
    }
    EXPECT_EQ(frames.size(), 1u);
    EXPECT_EQ(liveImageCount(), 0) << "queued frames are released";
  }
}

} // namespace
