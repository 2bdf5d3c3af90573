// The pointer: position, warping, busy and standard shapes, custom images
// with hot spots, and the virtual pointer for endless drags.
#include <algorithm>

#include "host/settings/settings.hpp"
#include "host/gui/orvexagui.hpp"
#include "host/gui/toolkit.hpp"

namespace vxhost::gui {

namespace {

// A list longer than this is taken as missing its end tag.
constexpr int kMaxPointerTags = 32;

void setShape(PointerShape shape) {
  guiState().pointer.shape = shape;
  touch();
}

} // namespace

void pointerPosition(int &x, int &y) {
  x = guiState().pointer.x;
  y = guiState().pointer.y;
}

bool virtualPointerOn() { return guiState().pointer.virtualOn; }

std::string pointerShapeName() {
  switch (guiState().pointer.shape) {
  case PointerShape::busy: return "busy";
  case PointerShape::custom: return "custom";
  case PointerShape::standard: break;
  }
  return "standard";
}

} // namespace vxhost::gui

using namespace vxhost;
using namespace vxhost::gui;

extern "C" void cgBusyPointer(void) {
  ++callCounts().busyPointer;
  setShape(PointerShape::busy);
}

extern "C" void cgStandardPointer(void) {
  ++callCounts().standardPointer;
  setShape(PointerShape::standard);
}

extern "C" int32_t cgSetPointerAttrs(const intptr_t *tags) {
  if (!tags || tags[0] != CG_PTR_TAG_BEGIN)
    return 0;
  int32_t shape = 0;
  const ResImage *image = nullptr;
  int hotX = 0, hotY = 0;
  int i = 0;
  for (; i < kMaxPointerTags && tags[2 * i] != 0; ++i) {
    const intptr_t value = tags[2 * i + 1];
    switch (tags[2 * i]) {
    case CG_PTR_TAG_BEGIN: break;
    case CG_PTR_TAG_SHAPE: shape = int32_t(value); break;
    case CG_PTR_TAG_IMAGE: image = reinterpret_cast<const ResImage *>(value); break;
    case CG_PTR_TAG_HOT_X: hotX = int(value); break;
    case CG_PTR_TAG_HOT_Y: hotY = int(value); break;
    default: return 0;
    }
  }
  if (i == kMaxPointerTags)
    return 0;
  PointerState &p = guiState().pointer;
  if (shape == 1) {
    setShape(PointerShape::standard);
    return 1;
  }
  if (shape != 3 || !image || !image->pixels || image->width <= 0 || image->height <= 0)
    return 0;
  p.custom.width = image->width;
  p.custom.height = image->height;
  p.custom.pixels.assign(image->pixels, image->pixels + size_t(image->width) * size_t(image->height));
  p.hotX = hotX;
  p.hotY = hotY;
  setShape(PointerShape::custom);
  return 1;
}

extern "C" void cgGetPointerPos(int32_t *x, int32_t *y) {
  const PointerState &p = guiState().pointer;
  if (x)
    *x = p.x;
  if (y)
    *y = p.y;
}

extern "C" void cgMovePointer(int32_t x, int32_t y) {
  GuiState &g = guiState();
  const Screen &s = screen();
  g.pointer.x = std::clamp(x, 0, s.width - 1);
  g.pointer.y = std::clamp(y, 0, s.height - 1);
  if (g.backend && !g.pointer.virtualOn)
    g.backend->pointerWarped(g.pointer.x, g.pointer.y);
  refreshHover();
  touch();
}

extern "C" void cgVirtualPointerOn(int32_t) {
  GuiState &g = guiState();
  g.pointer.virtualOn = true;
  if (g.backend)
    g.backend->relativeMode(true);
  refreshHover();
  touch();
}

extern "C" void cgMoveVirtualPointer(int32_t x, int32_t y) {
  PointerState &p = guiState().pointer;
  p.x = x;
  p.y = y;
}

extern "C" void cgVirtualPointerOff(int32_t) {
  GuiState &g = guiState();
  if (!g.pointer.virtualOn)
    return;
  g.pointer.virtualOn = false;
  if (g.backend)
    g.backend->relativeMode(false);
  cgMovePointer(g.pointer.x, g.pointer.y);
}
