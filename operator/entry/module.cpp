#include "entry/module.hpp"

#include "engine/split_mask.hpp"

namespace tileron {

ModuleState &moduleState() {
  // Made on first use and destroyed when the library is unloaded, which
  // releases an effect state the host never tore down.
  static ModuleState state;
  return state;
}

ModuleParts moduleParts(const ModuleState &state) { return {&state.panels, &state.strings, &state.images}; }

void setPanelArea(int index, int16_t x, int16_t y, int16_t width, int16_t height) {
  if (index < 0 || index >= kPanelCount) return;
  moduleState().panels[static_cast<std::size_t>(index)] = PanelRect{x, y, width, height};
}

} // namespace tileron
