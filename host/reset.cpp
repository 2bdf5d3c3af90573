// The host's one reset: each part of the host resets what it owns, settings
// first, so that what the others remake follows the default settings.
#include "host/reset.hpp"

#include "host/gui/gui.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/log/logger.hpp"
#include "host/scenes/registry.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

void reset() {
  resetSettings();
  resetScenes();
  gui::resetGui();
  resetScreenState();
  resetLog();
}

} // namespace vxhost
