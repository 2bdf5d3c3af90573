// Drives the effect state the way the host does after a mask or settings
// file was read, so that whatever values a file can carry reach the code
// that uses them: a render set-up and two fields, then an editor set-up and
// a round of part editing. Small frames keep each input fast.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "engine/split_mask.hpp"
#include "fuzz_env.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"
#include "operator/fixtures/mask_fixture.hpp"
#include "vxhost/oplibcommon.h"

namespace fuzzing {

struct VideoFormat {
  int width, height, pixelAspect;
};
// Square pixels at an even size; wide pixels; narrow pixels at an odd width
// and an odd number of field lines.
inline constexpr VideoFormat kSquare{48, 32, 1000};
inline constexpr VideoFormat kWide{48, 32, 1422};
inline constexpr VideoFormat kNarrowOdd{45, 30, 702};

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
  screen.width = 96;
  screen.height = 64;
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
  if (!state.setupEditor(maskPath, 96, 64, 4)) return;
  const int parts = std::clamp<int>(state.partCount, 0, tileron::kMaxParts);
  for (int part = 0; part < parts; ++part) {
    state.selectPart(part);
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
