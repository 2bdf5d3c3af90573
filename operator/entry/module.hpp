// The module-wide state of the operator: one copy per loaded library, touched
// only from the host's thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "vxhost/orvexares.h"

namespace tileron {

class SplitMask;
struct MaskCatalogue;

// A screen rectangle the preview must not paint over; width 0 = empty.
struct PanelRect {
  int16_t x = 0, y = 0, width = 0, height = 0;
};

// Panel table entries: 0 the editor's main panel, 1 only ever cleared,
// 2 the bar style requester.
inline constexpr int kPanelCount = 3;

struct ModuleState {
  std::unique_ptr<SplitMask> effect;  // render or editor instance, or none
  ResHandle strings = 0;              // resource strings "tileron"
  ResHandle images = 0;               // resource images "tileron"
  MaskCatalogue *catalogue = nullptr; // installed masks, or none
  int32_t visibleLeft = 0, visibleTop = 0, visibleRight = 0, visibleBottom = 0;
  int16_t visibleWidth = 0, visibleHeight = 0;
  std::array<PanelRect, kPanelCount> panels{};
};

// The one module state.
ModuleState &moduleState();

// Stores one entry (0 to 2) of the panel table; other indexes are ignored.
void setPanelArea(int index, int16_t x, int16_t y, int16_t width, int16_t height);

} // namespace tileron
