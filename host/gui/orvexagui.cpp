// orvexagui: the toolkit's screen queries, GUI images, the toolkit's image
// set, the video plane (cgmxYUVAtoOvl) and the video monitor output
// (cgWriteImage on the monitor; other panels: panels.cpp). Panels, elements,
// messages and the pointer have files of their own in host/gui.
#include "host/gui/orvexagui.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

#include "host/gui/toolkit.hpp"
#include "host/images/images.hpp"
#include "host/settings/settings.hpp"
#include "vxhost/orvexagui.h"
#include "vxhost/orvexares.h"

namespace vxhost {

namespace {

// The one GUI monitor's id.
constexpr int32_t kGuiMonitor = 1;

// What the toolkit keeps of the screen besides its requests: the video
// plane, the video monitor's picture (each remade when the screen or format
// setting changed since it was made), the call counts and the image set.
// A settings change count that none has: the plane or picture is yet to make.
constexpr uint64_t kNeverMade = ~uint64_t{0};

struct ScreenPlanes {
  std::vector<uint32_t> overlay;       // screen.width x screen.height
  uint64_t overlayScreen = kNeverMade; // settingsChanges().screen it was made for
  MonitorPicture monitor;
  uint64_t monitorFormat = kNeverMade; // settingsChanges().format it was made for
  CallCounts counts;
  ResHandle guiResource = 0;   // the toolkit's image set, loaded on first use
  uint64_t guiResourceDir = 0; // settingsChanges().resourceDir it was loaded for
};

ScreenPlanes &planes() {
  static ScreenPlanes state;
  return state;
}

// The monitor picture as it stands for the current format: a change of
// format since it was made drops it.
MonitorPicture &currentMonitor() {
  ScreenPlanes &p = planes();
  if (p.monitorFormat != settingsChanges().format) {
    p.monitor = MonitorPicture{};
    p.monitorFormat = settingsChanges().format;
  }
  return p.monitor;
}

} // namespace

std::vector<uint32_t> &overlayPlane() {
  ScreenPlanes &p = planes();
  if (p.overlayScreen != settingsChanges().screen) {
    const Screen &s = screen();
    p.overlay.assign(size_t(s.width) * size_t(s.height), 0);
    p.overlayScreen = settingsChanges().screen;
  }
  return p.overlay;
}

const MonitorPicture &monitorPicture() { return currentMonitor(); }

CallCounts &callCounts() { return planes().counts; }

void resetScreenState() {
  ScreenPlanes &p = planes();
  resFreeImages(p.guiResource);
  p = ScreenPlanes{};
}

} // namespace vxhost

using namespace vxhost;
using vxhost::gui::over;

extern "C" void cgGetVisibleArea(int32_t *left, int32_t *top, int32_t *right, int32_t *bottom) {
  const Screen &s = screen();
  if (left)
    *left = s.safeMargin;
  if (top)
    *top = s.safeMargin;
  if (right)
    *right = s.width - 1 - s.safeMargin;
  if (bottom)
    *bottom = s.height - 1 - s.safeMargin;
}

extern "C" int32_t cgGetScreenWidth(void) { return screen().width; }

extern "C" int32_t cgGetScreenHeight(void) { return screen().height; }

extern "C" int32_t cgGetPixelAspect(int32_t) { return screen().pixelAspect; }

extern "C" int32_t cgGetConnectedMonitors(void) {
  return screen().videoMonitor ? CG_VIDEO_MONITOR_CONNECTED : 0;
}

extern "C" int32_t cgGetDefaultMonitor(void) { return kGuiMonitor; }

extern "C" int32_t cgGetFontHeightMonitor(int32_t) { return screen().fontHeight; }

extern "C" int32_t cgGetAddHeight(void) { return screen().addHeight; }

extern "C" ResHandle cgGetGuiResource(void) {
  // The set comes from the resource folder in use; a new folder loads it anew.
  ScreenPlanes &p = planes();
  if (p.guiResource != 0 && p.guiResourceDir != settingsChanges().resourceDir) {
    resFreeImages(p.guiResource);
    p.guiResource = 0;
  }
  if (p.guiResource == 0) {
    p.guiResource = resLoadImages("gui");
    p.guiResourceDir = settingsChanges().resourceDir;
  }
  return p.guiResource;
}

extern "C" CImage *cgAllocImage(int32_t kind, int32_t width, int32_t height) {
  if (kind != CG_KIND_YUVA || !validImageSize(width, height))
    return nullptr;
  auto *image = new (std::nothrow) CImage{};
  if (!image)
    return nullptr;
  image->pixels = static_cast<uint8_t *>(std::calloc(size_t(width) * size_t(height), sizeof(uint32_t)));
  if (!image->pixels) {
    delete image;
    return nullptr;
  }
  image->kind = kind;
  image->width = static_cast<int16_t>(width);
  image->height = static_cast<int16_t>(height);
  countImageMade(ImageFamily::gui);
  return image;
}

extern "C" void cgFreeImage(CImage *image) {
  if (!image)
    return;
  std::free(image->pixels);
  delete image;
  countImageReleased(ImageFamily::gui);
}

extern "C" CImage *cgConvertResImageToCImageAlpha(const ResImage *image, int32_t) {
  if (!image || !image->pixels)
    return nullptr;
  CImage *out = cgAllocImage(CG_KIND_YUVA, image->width, image->height);
  if (out)
    std::memcpy(out->pixels, image->pixels, size_t(image->width) * size_t(image->height) * sizeof(uint32_t));
  return out;
}

extern "C" void cgmxYUVAtoOvl(const void *pixels, int32_t, int32_t bytesPerRow, int32_t x, int32_t y,
                              int32_t width, int32_t height) {
  const Screen &s = screen();
  if (!pixels || width <= 0 || height <= 0)
    return;
  // Clip to the screen; the source keeps its own position.
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min(x + width, s.width), y1 = std::min(y + height, s.height);
  if (x0 >= x1 || y0 >= y1)
    return;
  std::vector<uint32_t> &plane = overlayPlane();
  const auto *src = static_cast<const uint8_t *>(pixels);
  for (int32_t row = y0; row < y1; ++row)
    std::memcpy(&plane[size_t(row) * size_t(s.width) + size_t(x0)],
                src + ptrdiff_t(row - y) * bytesPerRow + ptrdiff_t(x0 - x) * 4,
                size_t(x1 - x0) * 4);
  gui::touch();
}

extern "C" int32_t cgWriteImage(CgHandle panel, const CImage *image, int32_t x, int32_t y) {
  if (panel != CG_PANEL_VIDEO_MONITOR)
    return gui::writeImageToPanel(panel, image, x, y);
  const Format &f = format();
  if (!screen().videoMonitor || !image || !image->pixels)
    return 0;
  MonitorPicture &m = currentMonitor();
  if (m.width != f.width || m.height != f.height) {
    m.width = f.width;
    m.height = f.height;
    m.pixels.assign(size_t(m.width) * size_t(m.height), 0);
  }
  const int32_t x0 = std::max(x, 0), y0 = std::max(y, 0);
  const int32_t x1 = std::min(x + image->width, m.width), y1 = std::min(y + image->height, m.height);
  if (x0 >= x1 || y0 >= y1)
    return 0;
  const auto *src = reinterpret_cast<const uint32_t *>(image->pixels);
  for (int32_t row = y0; row < y1; ++row) {
    uint32_t *d = &m.pixels[size_t(row) * size_t(m.width)];
    const uint32_t *srow = src + size_t(row - y) * size_t(image->width);
    for (int32_t col = x0; col < x1; ++col)
      d[col] = over(srow[col - x], d[col]);
  }
  return 1;
}
