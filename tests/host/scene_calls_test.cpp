// The scene and field calls (orvexa2.h, oplib.h) over the scene registry.
#include "host_fixture.hpp"
#include "vxhost/oplib.h"
#include "vxhost/orvexa2.h"

namespace {

using OpImagePtr = vxhost::OpImageHandle;
using SceneCalls = HostTest;

// Frames of a 4 x 4 format whose pixels say where they come from:
// 0xFF000000 | frame << 16 | line << 8 | column.
std::vector<uint32_t> frame(int index) {
  std::vector<uint32_t> f(16);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      f[size_t(y * 4 + x)] = 0xFF000000u | uint32_t(index) << 16 | uint32_t(y) << 8 | uint32_t(x);
  return f;
}

std::shared_ptr<vxhost::FrameSource> clip(int frames) {
  std::vector<std::vector<uint32_t>> all;
  for (int i = 0; i < frames; ++i)
    all.push_back(frame(i));
  return vxhost::memorySource(std::move(all));
}

// The frame and line a field image's row came from.
std::pair<int, int> origin(const OpImage *field, int row) {
  const uint32_t p = reinterpret_cast<const uint32_t *>((field)->pixels)[row * field->width];
  return {int((p >> 16) & 0xFF), int((p >> 8) & 0xFF)};
}

TEST_F(SceneCalls, SceneFieldsAreEveryOtherLineOfAFrame) {
  vxhost::setFormat({4, 4, 1094});
  vxhost::setScene(7, clip(3));
  EXPECT_EQ(mainGetSceneLengthFromID(7, 0), 3);
  EXPECT_EQ(mainGetSceneLengthFromID(8, 0), 0);

  struct Case { int field, frame, firstLine; };
  for (const Case &c : {Case{0, 0, 0}, Case{1, 0, 1}, Case{4, 2, 0}, Case{5, 2, 1}}) {
    OpImagePtr field(mainGetFieldFromSceneID(7, c.field, 1, 0));
    ASSERT_NE(field, nullptr) << c.field;
    EXPECT_EQ(field->kind, OP_KIND_YUVA);
    EXPECT_EQ(field->width, 4);
    EXPECT_EQ(field->height, 2);
    EXPECT_EQ(field->pixelAspect, 1094);
    EXPECT_EQ(origin(field.get(), 0), std::make_pair(c.frame, c.firstLine));
    EXPECT_EQ(origin(field.get(), 1), std::make_pair(c.frame, c.firstLine + 2));
    EXPECT_EQ(reinterpret_cast<const uint32_t *>((field.get()->pixels))[3] & 0xFF, 3u);
  }
  EXPECT_EQ(mainGetFieldFromSceneID(7, 6, 1, 0), nullptr);
  EXPECT_EQ(mainGetFieldFromSceneID(7, -1, 1, 0), nullptr);
  EXPECT_EQ(mainGetFieldFromSceneID(8, 0, 1, 0), nullptr);
  vxhost::setScene(7, nullptr);
  EXPECT_EQ(mainGetSceneLengthFromID(7, 0), 0);
}

TEST_F(SceneCalls, AFrameThatCannotBeHadGivesNoField) {
  vxhost::setFormat({4, 4, 1000});
  vxhost::setScene(1, vxhost::memorySource({frame(0), std::vector<uint32_t>(5)}));
  OpImagePtr good(mainGetFieldFromSceneID(1, 1, 1, 0));
  EXPECT_NE(good, nullptr);
  EXPECT_EQ(mainGetFieldFromSceneID(1, 2, 1, 0), nullptr);
}

TEST_F(SceneCalls, InputFieldsHoldTheLastFramePastTheEnd) {
  vxhost::setFormat({4, 4, 1000});
  EXPECT_EQ(opGetField(0, 0), nullptr);
  vxhost::setInput(clip(2));
  struct Case { int field, frame, firstLine; };
  for (const Case &c : {Case{0, 0, 0}, Case{3, 1, 1}, Case{4, 1, 0}, Case{9, 1, 1}}) {
    OpImagePtr field(opGetField(0, c.field));
    ASSERT_NE(field, nullptr) << c.field;
    EXPECT_EQ(origin(field.get(), 0), std::make_pair(c.frame, c.firstLine));
  }
  EXPECT_EQ(opGetField(1, 0), nullptr);
  EXPECT_EQ(opGetField(0, -2), nullptr);
  EXPECT_EQ(vxhost::inputFetchCount(), 7);
}

TEST_F(SceneCalls, PutFieldHandsTheImageToTheSinkOrReleasesIt) {
  EXPECT_EQ(opPutField(opAllocImage(4, 2, OP_KIND_YUVA, 0)), 0);
  EXPECT_EQ(vxhost::liveImageCount(), 0);
  std::vector<OpImage *> received;
  vxhost::setFieldSink([&](OpImage *image) { received.push_back(image); });
  OpImage *image = opAllocImage(4, 2, OP_KIND_YUVA, 0);
  EXPECT_EQ(opPutField(image), 1);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], image);
  opFreeImage(received[0]);
  EXPECT_EQ(opPutField(nullptr), 0);
  EXPECT_EQ(received.size(), 1u);
}

TEST_F(SceneCalls, NoSceneRequesterYetAndNoPreviewWithoutAPlugin) {
  EXPECT_EQ(mainSelectSceneRequesterExt(5, 1), 0);
  EXPECT_EQ(opPreview(0), -1); // the host preview needs the plug-in's entry (gui::setPreviewSetup)
}

} // namespace
