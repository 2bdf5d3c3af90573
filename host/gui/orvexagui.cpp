// The toolkit's screen queries, the video plane (cgmxYUVAtoOvl) and the
// video monitor output (cgWriteImage panel 1; other panels: panels.cpp).
#include <algorithm>
#include <cstring>

#include "host/gui/toolkit.hpp"
#include "host/state.hpp"
#include "vxhost/orvexagui.h"

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

extern "C" int32_t cgGetConnectedMonitors(void) { return screen().videoMonitor ? 3 : 0; }

// This host has one GUI monitor.
extern "C" int32_t cgGetDefaultMonitor(void) { return 1; }

extern "C" int32_t cgGetFontHeightMonitor(int32_t) { return screen().fontHeight; }

extern "C" int32_t cgGetAddHeight(void) { return screen().addHeight; }

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
  if (panel != 1)
    return gui::writeImageToPanel(panel, image, x, y);
  HostState &s = hostState();
  if (!s.screen.videoMonitor || !image || !image->pixels)
    return 0;
  MonitorPicture &m = s.monitor;
  if (m.width != s.format.width || m.height != s.format.height) {
    m.width = s.format.width;
    m.height = s.format.height;
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
