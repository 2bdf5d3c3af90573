// The module-wide state of the operator: one copy per loaded library, touched
// only from the host's thread.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "engine/compositing.hpp"
#include "engine/split_mask.hpp"
#include "vxhost/orvexares.h"

namespace tileron {

struct MaskCatalogue;

struct ModuleState {
  std::unique_ptr<SplitMask> effect;  // render or editor instance, or none
  ResHandle strings = 0;              // resource strings "tileron"
  ResHandle images = 0;               // resource images "tileron"
  MaskCatalogue *catalogue = nullptr; // installed masks, or none
  int32_t visibleLeft = 0, visibleTop = 0, visibleRight = 0, visibleBottom = 0;
  int16_t visibleWidth = 0, visibleHeight = 0;
  PanelTable panels{};
};

// The one module state.
ModuleState &moduleState();

// What an effect instance made now takes from the module (panel table and
// image set; see ModuleParts).
ModuleParts moduleParts(const ModuleState &state);

// Stores one entry (0 to 2) of the panel table; other indexes are ignored.
void setPanelArea(int index, int16_t x, int16_t y, int16_t width, int16_t height);

} // namespace tileron
