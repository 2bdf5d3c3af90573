// Drives the effect state the way the host does after a mask or settings
// file was read, so that whatever values a file can carry reach the code
// that uses them: a render set-up and two fields, then an editor set-up and
// a round of part editing. Small frames keep each input fast.
#pragma once

#include <algorithm>
#include <filesystem>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "engine/split_mask.hpp"
#include "fuzz_env.hpp"
#include "host/settings/settings.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "vxhost/oplibcommon.h"

namespace fuzzing {

struct VideoFormat {
  int width, height, pixelAspect;
};
// Square pixels at an even size; wide pixels; narrow pixels at an odd width
// and an odd number of field lines. Frames and the screen are small: the
// pixel work of the instrumented kernels is most of each input's time.
inline constexpr VideoFormat kSquare{24, 16, 1000};
inline constexpr VideoFormat kWide{24, 16, 1422};
inline constexpr VideoFormat kNarrowOdd{23, 14, 702};
inline constexpr int kScreenWidth = 32, kScreenHeight = 20;

// Points the host's texture library at small copies (5 x 4 pixels) under
// the fuzzing home, one per texture of the installed library and under its
// name, so that a bar style naming one costs no large picture per input.
inline void useSmallTextures() {
  const std::filesystem::path dir = FuzzHome::get().path() / "textures";
  std::filesystem::create_directories(dir);
  std::vector<uint8_t> rgba(5 * 4 * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = uint8_t(30 + i * 13);
  for (const auto &file : std::filesystem::directory_iterator(vxhost::textureDir()))
    if (file.path().extension() == ".png")
      testing_support::writeRgbaPng(dir / file.path().filename(), 5, 4, rgba);
  vxhost::setTextureDir(dir);
}

// Host state for one input: `video` as the format, scenes 1 and 2 of three
// frames and an input clip, a small screen. (vxhost::reset would clear a
// full-size overlay plane on every input: far slower than the rest.)
inline void prepareHost(const VideoFormat &video) {
  vxhost::clearScenes();
  vxhost::Format format;
  format.width = video.width;
  format.height = video.height;
  format.pixelAspect = video.pixelAspect;
  vxhost::setFormat(format);
  vxhost::Screen screen;
  screen.width = kScreenWidth;
  screen.height = kScreenHeight;
  vxhost::setScreen(screen);
  using Clip = std::vector<std::vector<uint32_t>>;
  static std::map<std::pair<int, int>, std::vector<Clip>> clips;
  std::vector<Clip> &made = clips[{video.width, video.height}];
  if (made.empty())
    for (int tag : {40, 80, 200})
      made.push_back(testing_support::taggedClip(tag, 3, video.width, video.height));
  vxhost::setScene(1, vxhost::memorySource(made[0]));
  vxhost::setScene(2, vxhost::memorySource(made[1]));
  vxhost::setInput(vxhost::memorySource(made[2]));
}

inline void runRender(const VideoFormat &video) {
  tileron::SplitMask state;
  if (!state.setupRender(video.width, video.height, false)) return;
  for (uint32_t flags : {0u, 2u}) {
    OpImage *field = state.renderField(static_cast<int32_t>(flags), flags);
    if (field != nullptr) opFreeImage(field);
  }
}

// `maskPath` null: the last-used mask from the settings file.
inline void runEditor(const char *maskPath) {
  tileron::SplitMask state;
  if (!state.setupEditor(maskPath, kScreenWidth, kScreenHeight, 4)) return;
  // Every part is hit-tested; the first two and the last are selected (each
  // selection composes all the others again).
  const int parts = std::clamp<int>(state.partCount, 0, tileron::kMaxParts);
  for (int part = 0; part < parts; ++part) {
    if (part < 2 || part == parts - 1) state.selectPart(part);
    state.partAtPreviewPoint(state.viewX + state.partCenterX[part],
                             state.viewY + state.partCenterY[part]);
    state.partAtStampPoint(state.partStampX[part], state.partStampY[part]);
  }
  state.setPartScene(2);
  state.setPartScale(150);
  state.setPartOffset(3, -2);
  state.setPartAlign(9);
  state.setPartOpacity(100);
  state.setBarWidth(40);
  state.resetPart();
}

} // namespace fuzzing
