#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "engine/split_mask.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "operator/state_test_env.hpp"

namespace tileron {
namespace {

namespace fs = std::filesystem;
using testing_support::PartSettings;
using testing_support::SettingsDesc;

constexpr const char *kMask = "/programs/tileron/mask/m.xml"; // L = 29
constexpr size_t kPathLength = 29;
constexpr size_t kRecords = 12 + kPathLength; // first part record
constexpr size_t kRecordSize = 198;

template <typename T> T at(const std::vector<uint8_t> &bytes, size_t offset) {
  T value;
  std::memcpy(&value, bytes.data() + offset, sizeof value); // little-endian test machines
  return value;
}

std::vector<uint8_t> styleBytes(const BarStyle &style) {
  const auto *p = reinterpret_cast<const uint8_t *>(&style);
  return {p, p + sizeof style};
}

// A state as a set-up leaves it for the settings file: geometry and the
// mask's part count and scales, without any image.
void shapeState(SplitMask &state, int width, int height, int parts) {
  state.workWidth = uint16_t(width);
  state.workHeight = uint16_t(height);
  state.partCount = int16_t(parts);
}

class Settings : public testing_support::StateTest {
protected:
  void writeSettings(const SettingsDesc &desc) { testing_support::writeSettings(home(), desc); }
};

TEST_F(Settings, WrittenFileHasTheDocumentedLayout) {
  SplitMask state;
  shapeState(state, 720, 576, 2);
  state.maskPath = kMask;
  state.barWidth = 9;
  state.currentPart = 1;
  state.partScene[0] = 7;
  state.partScale[0] = 150;
  state.partAlign[0] = 3;
  state.partOffsetX[0] = 10;
  state.partOffsetY[0] = -7;
  state.partOpacity[0] = 200;
  state.partScene[9] = -2;
  state.barStyle.mode = kBarGradient;
  state.barStyle.angle = 45;
  state.barStyle.paletteIndex = 2;
  ASSERT_EQ(state.saveSettings(), 1);

  const std::vector<uint8_t> file = readBytes(settingsFile());
  ASSERT_EQ(file.size(), 1992 + kPathLength);
  EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 4),
            (std::vector<uint8_t>{0x02, 0x00, 0x50, 0xCB}));
  EXPECT_EQ(at<uint32_t>(file, 4), kPathLength);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(&file[8])), kMask);
  EXPECT_EQ(file[8 + kPathLength - 1], 0);
  EXPECT_EQ(at<int16_t>(file, 8 + kPathLength), 9);
  EXPECT_EQ(at<int16_t>(file, 10 + kPathLength), 1);
  EXPECT_EQ(at<int32_t>(file, kRecords + 0), 7);
  EXPECT_EQ(at<uint16_t>(file, kRecords + 4), 1500);
  EXPECT_EQ(at<int16_t>(file, kRecords + 6), 3);
  EXPECT_EQ(at<double>(file, kRecords + 8), 10 * 10000 / 720.0);
  EXPECT_EQ(at<double>(file, kRecords + 16), -7 * 10000 / 576.0);
  EXPECT_EQ(at<int16_t>(file, kRecords + 24), 200);
  EXPECT_EQ(at<int32_t>(file, kRecords + 9 * kRecordSize), -2);
  // Untouched parts: scale 100 of mask scale 100, anchor 5, opaque.
  EXPECT_EQ(at<uint16_t>(file, kRecords + kRecordSize + 4), 1000);
  EXPECT_EQ(at<int16_t>(file, kRecords + kRecordSize + 6), 5);
  EXPECT_EQ(at<int16_t>(file, kRecords + kRecordSize + 24), 255);
  const std::vector<uint8_t> style = styleBytes(state.barStyle);
  for (size_t i = 0; i < 10; ++i) {
    const size_t offset = kRecords + i * kRecordSize + 26;
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + long(offset), file.begin() + long(offset + 172)),
              style)
        << "record " << i;
  }
  // No temporary file stays behind.
  EXPECT_FALSE(fs::exists(settingsFile().parent_path() / ".tileron.prf.tmp"));
  EXPECT_EQ(stateErrors(), 0);
}

TEST_F(Settings, WrittenFileMatchesAnIndependentEncoding) {
  SplitMask state;
  shapeState(state, 720, 576, 3);
  state.maskPath = kMask;
  state.barWidth = -3;
  state.currentPart = 2;
  SettingsDesc desc;
  desc.maskPath = kMask;
  desc.barWidth = -3;
  desc.currentPart = 2;
  for (int i = 0; i < 10; ++i) {
    state.partScene[i] = 100 + i;
    state.partScale[i] = int16_t(20 + 15 * i);
    state.partMaskScale[i] = int16_t(i == 4 ? 0 : 50 + 7 * i); // 0: relative scale 0
    state.partAlign[i] = int16_t(1 + i % 9);
    state.partOffsetX[i] = int16_t(37 * i - 150);
    state.partOffsetY[i] = int16_t(200 - 41 * i);
    state.partOpacity[i] = int16_t(25 * i);
    PartSettings &p = desc.parts[i];
    p.scene = 100 + i;
    p.relativeScale =
        int16_t(i == 4 ? 0 : uint16_t(state.partScale[i] * 1000 / state.partMaskScale[i]));
    p.align = state.partAlign[i];
    p.relativeOffsetX = double(state.partOffsetX[i] * 10000) / 720;
    p.relativeOffsetY = double(state.partOffsetY[i] * 10000) / 576;
    p.opacity = state.partOpacity[i];
  }
  ASSERT_EQ(state.saveSettings(), 1);
  EXPECT_EQ(readBytes(settingsFile()), testing_support::settingsBytes(desc));
}

TEST_F(Settings, RoundTripAtAnotherWorkingSize) {
  SplitMask editor;
  shapeState(editor, 720, 576, 3);
  editor.maskPath = kMask;
  editor.barWidth = 12;
  editor.currentPart = 2;
  editor.partScene = {11, 0, 13};
  editor.partScale[0] = 150;
  editor.partAlign[1] = 9;
  editor.partOpacity[2] = 77;
  editor.barStyle.paletteIndex = 4;
  ASSERT_EQ(editor.saveSettings(), 1);

  SplitMask render;
  shapeState(render, 360, 288, 3);
  render.partMaskScale[0] = 50;
  ASSERT_EQ(render.loadLastMaskPath(), 1);
  EXPECT_EQ(render.maskPath, kMask);
  ASSERT_EQ(render.applySavedSettings(), 1);
  EXPECT_EQ(render.barWidth, 12);
  EXPECT_EQ(render.currentPart, 2);
  EXPECT_EQ(render.partScene[0], 11);
  EXPECT_EQ(render.partScene[2], 13);
  EXPECT_EQ(render.partScale[0], 75); // 1500 under mask scale 50
  EXPECT_EQ(render.partScale[1], 100);
  EXPECT_EQ(render.partAlign[1], 9);
  EXPECT_EQ(render.partOpacity[2], 77);
  EXPECT_EQ(render.barStyle.paletteIndex, 4);
  EXPECT_EQ(styleBytes(render.barStyle), styleBytes(editor.barStyle));
  EXPECT_EQ(stateErrors(), 0);
}

TEST_F(Settings, OffsetsComeBackConvertedToTheWorkingSize) {
  // Stored as offset x 10000 / size, applied as nearest((size x r +- 500) /
  // 10000), halves away from zero.
  struct Case {
    int savedWidth, savedHeight, x, y, width, height, expectedX, expectedY;
  };
  const Case cases[] = {
      {720, 576, 10, 20, 360, 288, 5, 10},        // 138.88...: nearest(5.05), nearest(10.05)
      {720, 576, -7, 0, 360, 288, -4, 0},         // -97.22...: nearest(-3.55)
      {720, 576, -7, -1, 720, 576, -7, -1},       // nearest(-7.05), nearest(-1.05)
      {1350, 1080, 675, 540, 720, 243, 360, 122}, // 5000: nearest(360.05), nearest(121.55)
      {1000, 576, -600, 0, 64, 288, -38, 0},      // -6000: nearest(-38.45)
      // A picture at scale 200 is twice the working size: offsets up to the
      // whole working size are the editor's own and come back.
      {720, 576, 720, -576, 720, 576, 720, -576},
      {720, 576, -700, 500, 1440, 1152, -1400, 1000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y << " at " << c.savedWidth << "x" << c.savedHeight
                                    << " applied at " << c.width << "x" << c.height);
    SplitMask editor;
    shapeState(editor, c.savedWidth, c.savedHeight, 1);
    editor.maskPath = kMask;
    editor.partOffsetX[0] = int16_t(c.x);
    editor.partOffsetY[0] = int16_t(c.y);
    ASSERT_EQ(editor.saveSettings(), 1);
    SplitMask render;
    shapeState(render, c.width, c.height, 1);
    ASSERT_EQ(render.applySavedSettings(), 1);
    EXPECT_EQ(render.partOffsetX[0], c.expectedX);
    EXPECT_EQ(render.partOffsetY[0], c.expectedY);
  }
  EXPECT_EQ(stateErrors(), 0);
}

TEST_F(Settings, StoredScaleIsRelativeToTheMaskAndLimited) {
  struct Case {
    int16_t stored, maskScale, expected;
  };
  const Case cases[] = {
      {1500, 50, 75}, {3000, 100, 200}, {50, 100, 10}, {1000, 120, 120},
      {-32768, 100, 10}, // a relative scale beyond 32767 reads back negative
      {1000, 0, 10},     // a mask without a scale
  };
  SettingsDesc desc;
  desc.maskPath = kMask;
  for (size_t i = 0; i < std::size(cases); ++i) desc.parts[i].relativeScale = cases[i].stored;
  writeSettings(desc);
  SplitMask state;
  shapeState(state, 720, 576, 6);
  for (size_t i = 0; i < std::size(cases); ++i) state.partMaskScale[i] = cases[i].maskScale;
  ASSERT_EQ(state.applySavedSettings(), 1);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_EQ(state.partScale[i], cases[i].expected) << "stored " << cases[i].stored;
}

TEST_F(Settings, CurrentPartOutsideTheMaskBecomesZero) {
  for (int16_t stored : {4, 3, -1, 2}) {
    SettingsDesc desc;
    desc.maskPath = kMask;
    desc.currentPart = stored;
    writeSettings(desc);
    SplitMask state;
    shapeState(state, 720, 576, 3);
    ASSERT_EQ(state.applySavedSettings(), 1);
    EXPECT_EQ(state.currentPart, stored == 2 ? 2 : 0) << "stored " << stored;
  }
}

TEST_F(Settings, HostileValuesAreMadeSafe) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  SettingsDesc desc;
  desc.maskPath = kMask;
  desc.parts[0] = {1, 1000, 5, nan, -inf, 300};
  desc.parts[1] = {2, 1000, 5, 1e300, -1e300, -5};
  desc.parts[2] = {3, 1000, 0, 6000, -5100, 255}; // beyond half the working size
  desc.parts[3] = {4, 1000, 5, 5000, -5000, 0};
  BarStyle style = defaultBarStyle();
  style.paletteIndex = 99;
  style.mode = 7;
  desc.barStyle = styleBytes(style);
  writeSettings(desc);

  SplitMask state;
  shapeState(state, 720, 576, 4);
  ASSERT_EQ(state.applySavedSettings(), 1);
  EXPECT_EQ(state.partOffsetX[0], 0);
  EXPECT_EQ(state.partOffsetY[0], 0);
  EXPECT_EQ(state.partOpacity[0], 255);
  // Kept in 16 bits; beyond half the working size is no fault.
  EXPECT_EQ(state.partOffsetX[1], 32767);
  EXPECT_EQ(state.partOffsetY[1], -32768);
  EXPECT_EQ(state.partOpacity[1], 0);
  EXPECT_EQ(state.partOffsetX[2], 432);  // nearest(432.05)
  EXPECT_EQ(state.partOffsetY[2], -294); // nearest(-293.81)
  EXPECT_EQ(state.partOffsetX[3], 360);
  EXPECT_EQ(state.partOffsetY[3], -288);
  EXPECT_EQ(state.barStyle.paletteIndex, 0);
  EXPECT_EQ(state.barStyle.mode, 7); // the fill makes no bar for it
  EXPECT_EQ(stateErrors(), 0);

  style.paletteIndex = -1;
  desc.barStyle = styleBytes(style);
  writeSettings(desc);
  ASSERT_EQ(state.applySavedSettings(), 1);
  EXPECT_EQ(state.barStyle.paletteIndex, 0);
}

TEST_F(Settings, FileCutInsideRecordSixKeepsWhatCameBefore) {
  SettingsDesc desc;
  desc.maskPath = kMask;
  desc.barWidth = 20;
  for (int i = 0; i < 10; ++i) desc.parts[i] = {50 + i, 1000, int16_t(1 + i % 9), 0, 0, int16_t(100 + i)};
  BarStyle style = defaultBarStyle();
  style.paletteIndex = 3;
  desc.barStyle = styleBytes(style);
  std::vector<uint8_t> bytes = testing_support::settingsBytes(desc);
  // Record 6 holds its scene, relative scale and anchor; the cut falls inside
  // its relative offset x.
  bytes.resize(kRecords + 6 * kRecordSize + 10);
  writeBytes(settingsFile(), bytes);

  SplitMask state;
  shapeState(state, 720, 576, 10);
  EXPECT_EQ(state.applySavedSettings(), 0);
  EXPECT_EQ(stateErrors(), 1);
  EXPECT_EQ(state.barWidth, 20);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(state.partScene[i], 50 + i);
    EXPECT_EQ(state.partAlign[i], 1 + i % 9);
    EXPECT_EQ(state.partOpacity[i], 100 + i);
  }
  EXPECT_EQ(state.partScene[6], 56);
  EXPECT_EQ(state.partAlign[6], 7);
  EXPECT_EQ(state.partOpacity[6], 255);
  for (int i = 7; i < 10; ++i) {
    EXPECT_EQ(state.partScene[i], 0);
    EXPECT_EQ(state.partAlign[i], 5);
  }
  EXPECT_EQ(state.barStyle.paletteIndex, 3); // from record 5
}

TEST_F(Settings, EveryShortLengthFailsCleanly) {
  SettingsDesc desc;
  desc.maskPath = kMask;
  desc.barWidth = 33;
  const std::vector<uint8_t> full = testing_support::settingsBytes(desc);
  writeBytes(settingsFile(), full);
  // From the whole file down to nothing, one byte shorter each time.
  for (size_t length = full.size() + 1; length-- > 0;) {
    fs::resize_file(settingsFile(), length);
    SplitMask state;
    shapeState(state, 720, 576, 2);
    const bool namesMask = length >= 8 + kPathLength;
    ASSERT_EQ(state.loadLastMaskPath(), namesMask ? 1 : 0) << length;
    EXPECT_EQ(state.maskPath, namesMask ? kMask : "") << length;
    const bool whole = length == full.size();
    ASSERT_EQ(state.applySavedSettings(), whole ? 1 : 0) << length;
    ASSERT_EQ(stateErrors(), whole ? 0 : 1) << length;
  }
}

TEST_F(Settings, DamagedHeadChangesNothing) {
  SettingsDesc desc;
  desc.maskPath = kMask;
  desc.barWidth = 40;
  desc.parts[0].scene = 9;
  const std::vector<uint8_t> good = testing_support::settingsBytes(desc);
  struct Case {
    const char *what;
    size_t offset;
    uint32_t value;
  };
  const Case cases[] = {{"wrong magic", 0, 0xCB500003u},
                        {"huge L", 4, 0xFFFFFFFFu},
                        {"L past the end", 4, uint32_t(good.size() - 7)},
                        {"L of 0", 4, 0}};
  for (const Case &c : cases) {
    std::vector<uint8_t> bytes = good;
    std::memcpy(&bytes[c.offset], &c.value, 4);
    writeBytes(settingsFile(), bytes);
    SplitMask state;
    shapeState(state, 720, 576, 2);
    state.maskPath = "/programs/tileron/mask/before.xml";
    EXPECT_EQ(state.loadLastMaskPath(), 0) << c.what;
    EXPECT_EQ(state.maskPath, "/programs/tileron/mask/before.xml") << c.what;
    EXPECT_EQ(stateErrors(), 0) << c.what; // the path read is silent
    EXPECT_EQ(state.applySavedSettings(), 0) << c.what;
    EXPECT_EQ(stateErrors(), 1) << c.what;
    EXPECT_EQ(state.barWidth, 6) << c.what;
    EXPECT_EQ(state.partScene[0], 0) << c.what;
  }
}

TEST_F(Settings, PathWithoutZeroByteEndsAtItsLength) {
  SettingsDesc desc;
  desc.maskPath = kMask;
  std::vector<uint8_t> bytes = testing_support::settingsBytes(desc);
  bytes[8 + kPathLength - 1] = 'x';
  writeBytes(settingsFile(), bytes);
  SplitMask state;
  ASSERT_EQ(state.loadLastMaskPath(), 1);
  EXPECT_EQ(state.maskPath, std::string(kMask) + "x");
}

TEST_F(Settings, MissingFileIsSilent) {
  SplitMask state;
  shapeState(state, 720, 576, 2);
  EXPECT_EQ(state.loadLastMaskPath(), 0);
  EXPECT_EQ(state.applySavedSettings(), 0);
  EXPECT_EQ(stateErrors(), 0);
  EXPECT_EQ(state.partScale[0], 100);
}

TEST_F(Settings, NothingIsWrittenWithoutAMaskPath) {
  SplitMask state;
  shapeState(state, 720, 576, 2);
  EXPECT_EQ(state.saveSettings(), 0);
  EXPECT_FALSE(fs::exists(settingsFile()));
  EXPECT_EQ(stateErrors(), 0);
}

TEST_F(Settings, FailedWriteKeepsTheStoredFile) {
  SettingsDesc desc;
  desc.maskPath = kMask;
  desc.barWidth = 50;
  writeSettings(desc);
  const std::vector<uint8_t> stored = readBytes(settingsFile());
  const fs::path temp = settingsFile().parent_path() / ".tileron.prf.tmp";

  SplitMask state;
  shapeState(state, 720, 576, 2);
  state.maskPath = "/programs/tileron/mask/other.xml";
  state.barWidth = 1;

  // The temporary file cannot be made.
  fs::create_directory(temp);
  EXPECT_EQ(state.saveSettings(), 0);
  EXPECT_EQ(stateErrors(), 1);
  EXPECT_EQ(readBytes(settingsFile()), stored);
  fs::remove(temp);

  // The bytes cannot reach the disk (the device is full).
  fs::create_symlink("/dev/full", temp);
  EXPECT_EQ(state.saveSettings(), 0);
  EXPECT_EQ(stateErrors(), 1);
  EXPECT_EQ(readBytes(settingsFile()), stored);
  EXPECT_FALSE(fs::exists(fs::symlink_status(temp)));

  ASSERT_EQ(state.saveSettings(), 1);
  EXPECT_NE(readBytes(settingsFile()), stored);
}

TEST_F(Settings, CopyMakesAByteCopy) {
  SplitMask state;
  shapeState(state, 720, 576, 2);
  state.maskPath = kMask;
  ASSERT_EQ(state.saveSettings(), 1);
  EXPECT_NE(state.copySettingsTo("/programs/tileron/archive/mine.prf"), 0);
  EXPECT_EQ(readBytes(home() / "programs/tileron/archive/mine.prf"), readBytes(settingsFile()));
  fs::remove(settingsFile());
  EXPECT_EQ(state.copySettingsTo("/programs/tileron/archive/none.prf"), 0);
}

} // namespace
} // namespace tileron
