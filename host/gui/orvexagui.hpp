// The GUI toolkit's calls in C++: an owning handle of GUI images, and what
// the calls leave behind for the host program and the tests to look at: the
// screen's video plane, the video monitor's picture and the counts of calls
// that leave no other trace.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "vxhost/orvexagui.h"

namespace vxhost {

// An owning handle: the GUI image is released on every path out.
struct CImageRelease {
  void operator()(CImage *image) const { cgFreeImage(image); }
};
using CImageHandle = std::unique_ptr<CImage, CImageRelease>;

// The screen's video plane that cgmxYUVAtoOvl writes (width x height YUVA
// words of the screen setting), cleared whenever the screen is set.
std::vector<uint32_t> &overlayPlane();

// The video monitor's picture that cgWriteImage(1, ...) draws into: the
// format's frame size, made (cleared) on the first write after a reset or a
// change of format; empty until then. Only drawn while screen().videoMonitor.
struct MonitorPicture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels; // width x height YUVA words
};
const MonitorPicture &monitorPicture();

// Calls the operator made that leave no other trace.
struct CallCounts {
  int busyPointer = 0;
  int standardPointer = 0;
};
CallCounts &callCounts();

// A cleared plane and monitor, the counts 0, the toolkit's image set
// released (part of vxhost::reset()).
void resetScreenState();

} // namespace vxhost
