// Where the toolkit's input comes from and where its screen goes: the SDL
// window or the headless script. One backend is installed at a time.
#pragma once

#include <cstdint>

namespace vxhost::gui {

class Backend {
public:
  virtual ~Backend() = default;
  // Feeds input into the toolkit until at least one message is queued, the
  // time limit (ms, -1 none) ran out or the input ended. Returns false when
  // the input has ended for good.
  virtual bool pump(int32_t timeoutMs) = 0;
  // The pointer was warped or the virtual pointer switched (the window follows).
  virtual void pointerWarped(int /*x*/, int /*y*/) {}
  virtual void relativeMode(bool /*on*/) {}
  // Shows the screen now (a window presents it; headless does nothing).
  virtual void present() {}
  // True for a backend that shows a real window.
  virtual bool interactive() const { return false; }
};

} // namespace vxhost::gui
