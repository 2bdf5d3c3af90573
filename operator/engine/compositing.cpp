#include "engine/compositing.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/kernels.hpp"
#include "support/handles.hpp"
#include "support/report.hpp"

namespace tileron {

namespace {

bool is32Bit(const OpImage *image) {
  return image && image->pixels && image->kind == OP_KIND_YUVA;
}
bool is32Bit(const CImage *image) { return image && image->pixels && image->kind == CG_KIND_YUVA; }

int pixelBytes(const OpImage *image) {
  switch (image->kind) {
  case OP_KIND_16: return 2;
  case OP_KIND_8: return 1;
  default: return 4;
  }
}

// Largest coordinate drawBarLine accepts: twice the largest image side. It
// bounds the walk, which steps through every column or row between the ends.
constexpr double kLineLimit = 65536.0;

} // namespace

void copyImageRect(const OpImage *source, OpImage *destination, int width, int height) {
  if (!source || !destination || !source->pixels || !destination->pixels) return;
  const int bytes = pixelBytes(source);
  if (bytes != pixelBytes(destination)) return;
  width = std::min({width, int(destination->width), int(source->width)});
  height = std::min({height, int(destination->height), int(source->height)});
  if (width <= 0 || height <= 0) return;
  kernels::copyRows(source->pixels, ptrdiff_t(source->width) * bytes, destination->pixels,
                    ptrdiff_t(destination->width) * bytes, size_t(width) * bytes, height);
}

void overlayImage(const OpImage *source, OpImage *destination, int width, int height,
                  bool fieldMode, int parity) {
  if (!is32Bit(source) || !is32Bit(destination)) return;
  if (destination->width <= 0 || destination->height <= 0) return;
  const int first = (fieldMode && parity != 0) ? 1 : 0;
  const int step = fieldMode ? 2 : 1;
  width = std::min({width, int(destination->width), int(source->width)});
  // In field mode the source feeds rows first, first + 2, ...: only as many
  // destination rows as it holds such rows.
  const int sourceRows = source->height > first ? (source->height - 1 - first) / step + 1 : 0;
  height = std::min({height, int(destination->height), sourceRows});
  if (width <= 0 || height <= 0) return;
  kernels::fastKernels().overlay(pixels32(source) + ptrdiff_t(first) * source->width,
                                 ptrdiff_t(source->width) * step, pixels32(destination),
                                 destination->width, width, height);
}

void compositeThroughMask(const OpImage *picture, OpImage *destination, const OpImage *mask,
                          int x, int y, int width, int height, int opacity, bool fieldMode,
                          int parity) {
  if (!is32Bit(picture) || !is32Bit(destination)) return;
  if (!mask || !mask->pixels || mask->kind != OP_KIND_8) return;
  int skipX = 0, skipY = 0;
  if (x < 0) {
    skipX = -x;
    width += x;
    x = 0;
  }
  if (y < 0) {
    skipY = -y;
    height += y;
    y = 0;
  }
  const int first = (fieldMode && parity != 0) ? 1 : 0;
  const int step = fieldMode ? 2 : 1;
  // Destination row y uses mask row y * step + first; the mask must hold it.
  const int maskRows = mask->height > first ? (mask->height - 1 - first) / step + 1 : 0;
  width = std::min({width, destination->width - x, picture->width - skipX, mask->width - x});
  height = std::min({height, destination->height - y, picture->height - skipY, maskRows - y});
  if (width <= 0 || height <= 0) return;
  opacity = std::clamp(opacity, 0, 255);
  kernels::fastKernels().maskComposite(
      pixels32(picture) + ptrdiff_t(skipY) * picture->width + skipX, picture->width,
      pixels32(destination) + ptrdiff_t(y) * destination->width + x, destination->width,
      mask->pixels + (ptrdiff_t(y) * step + first) * mask->width + x,
      ptrdiff_t(mask->width) * step, width, height, opacity);
}

void overlayGuiImage(const CImage *source, CImage *destination, int x, int y) {
  if (!is32Bit(source) || !is32Bit(destination)) return;
  if (x >= destination->width || y >= destination->height) return;
  int skipX = 0, skipY = 0;
  if (x < 0) {
    skipX = -x;
    x = 0;
  }
  if (y < 0) {
    skipY = -y;
    y = 0;
  }
  const int width = std::min(destination->width - x, source->width - skipX);
  const int height = std::min(destination->height - y, source->height - skipY);
  if (width <= 0 || height <= 0) return;
  kernels::fastKernels().overlay(pixels32(source) + ptrdiff_t(skipY) * source->width + skipX,
                                 source->width,
                                 pixels32(destination) + ptrdiff_t(y) * destination->width + x,
                                 destination->width, width, height);
}

void drawBarLine(OpImage *image, double x1, double y1, double x2, double y2, double thickness) {
  if (!is32Bit(image) || image->width <= 0 || image->height <= 0) return;
  for (double v : {x1, y1, x2, y2, thickness})
    if (!std::isfinite(v) || std::fabs(v) > kLineLimit) return;
  if (thickness < 0) return;
  kernels::barLine(pixels32(image), image->width, image->width, image->height, x1, y1, x2, y2,
                   thickness);
}

void showImageRect(const OpImage *image, int x, int y, int width, int height, int screenX,
                   int screenY, const PanelTable &panels, int firstPanel) {
  if (!is32Bit(image)) return;
  const int imageWidth = image->width, imageHeight = image->height;
  // Even position and size inside the image along one axis. Widening an odd
  // size at the image's far edge would read past the image, so there the size
  // drops to the even one below.
  auto even = [](int &pos, int &size, int limit) {
    if (pos % 2 != 0) {
      pos -= 1;
      size += 1;
    }
    if (pos < 0) {
      size += pos;
      pos = 0;
    }
    if (pos + size > limit) size = limit - pos;
    if (size % 2 != 0) size += (pos + size + 1 <= limit) ? 1 : -1;
  };
  for (int k = std::max(firstPanel, 0);; ++k) {
    even(x, width, imageWidth);
    even(y, height, imageHeight);
    if (width <= 0 || height <= 0) return;
    if (k >= kPanelCount) {
      cgmxYUVAtoOvl(pixels32(image) + ptrdiff_t(y) * imageWidth + x, 0, imageWidth * 4,
                    screenX + x, screenY + y, width, height);
      return;
    }
    const PanelRect &panel = panels[k];
    if (panel.width == 0) continue;
    const int left = panel.x - screenX, top = panel.y - screenY;
    const int right = left + panel.width, bottom = top + panel.height;
    if (y < top) { // the part above the panel
      if (y + height <= top) continue;
      showImageRect(image, x, y, width, top - y, screenX, screenY, panels, k + 1);
      height -= top - y;
      y = top;
    }
    if (x < left) { // the part left of it
      if (x + width <= left) continue;
      showImageRect(image, x, y, left - x, height, screenX, screenY, panels, k + 1);
      width -= left - x;
      x = left;
    }
    if (x + width >= right) { // the part right of it
      if (x >= right) continue;
      showImageRect(image, right, y, x + width - right, height, screenX, screenY, panels, k + 1);
      width = right - x;
    }
    if (width < 1 || y + height < bottom) return; // the rest lies under the panel
    if (y >= bottom) continue;
    height = y + height - bottom; // the part below it
    y = bottom;
  }
}

CImagePtr toGuiImage(const OpImage *image, const char *source) {
  CImagePtr gui(is32Bit(image) ? cgAllocImage(CG_KIND_YUVA, image->width, image->height) : nullptr);
  if (!gui) {
    TILERON_REPORT(kLevelError, source);
    return nullptr;
  }
  std::memcpy(gui->pixels, image->pixels, size_t(image->width) * size_t(image->height) * 4);
  return gui;
}

} // namespace tileron
