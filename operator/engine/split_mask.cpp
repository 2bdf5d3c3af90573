#include "engine/split_mask.hpp"

#include <cstdint>
#include <utility>

#include "bar/bar_fill.hpp"
#include "engine/compositing.hpp"
#include "support/report.hpp"
#include "support/toolkit.hpp"
#include "vxhost/oplib.h"

namespace tileron {

namespace {

// Images and OpImage sizes are 16-bit; anything larger cannot be allocated.
constexpr int64_t kMaxImageSide = INT16_MAX;

// Size of the bar layer: square pixels over `frameLines` working lines. Wide
// pixels (aspect >= 1000) make it taller, narrow ones wider; integer division
// truncates. False when the size is empty or too large for an image.
bool barLayerSize(const SplitMask &state, int frameLines, int &width, int &height) {
  const int64_t aspect = state.pixelAspect;
  int64_t w = state.workWidth;
  int64_t h = frameLines;
  if (aspect >= 1000)
    h = aspect * h / 1000;
  else
    w = w * 1000 / aspect;
  if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

// Allocates `slot` when it is empty; false when the host has no memory.
bool ensureImage(OpImagePtr &slot, int width, int height) {
  if (!slot) slot = allocOpImage(width, height, OP_KIND_YUVA);
  return slot != nullptr;
}

} // namespace

SplitMask::SplitMask(const ModuleParts &module) : module_(module) {
  partOpacity.fill(255);
  partMaskScale.fill(100);
  partScale.fill(100);
  partAlign.fill(kAnchorCentre);
  barStyle = defaultBarStyle();
}

SplitMask::~SplitMask() {
  if (!ownsSettings_) return;
  // A destructor must not throw; building the file can fail only for memory,
  // and then the stored settings stay as they were.
  try {
    saveSettings();
  } catch (...) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
  }
}

bool SplitMask::setGeometry(int maxWidth, int maxHeight, bool renderMode, bool monitorAspect) {
  OpImagePtr probe = allocOpImage(0, 0, OP_KIND_YUVA);
  if (!probe) return false;
  workWidth = static_cast<uint16_t>(probe->width);
  workHeight = static_cast<uint16_t>(renderMode ? probe->height : 2 * probe->height);
  const int guiAspect = cgGetPixelAspect(4);
  const int aspect = monitorAspect ? guiAspect : probe->pixelAspect;
  // Every bar size and bar factor divides by the aspect: a host that reports
  // none (or one beyond 16 bits) gives no usable geometry.
  if (aspect <= 0 || aspect > INT16_MAX) return false;
  pixelAspect = static_cast<int16_t>(aspect);
  if (renderMode) {
    opCalcDims(&workWidth, &workHeight, pixelAspect, maxWidth, maxHeight, pixelAspect, 0);
  } else {
    if (guiAspect <= 0 || guiAspect > INT16_MAX) return false;
    opCalcDims(&workWidth, &workHeight, pixelAspect, maxWidth, maxHeight, guiAspect, 0);
    pixelAspect = static_cast<int16_t>(guiAspect);
  }
  // The preview is shown from an even column: YUVA rectangles go to the
  // screen in pairs of pixels. Odd values step down, negative ones too.
  int x = (maxWidth - workWidth) / 2;
  if (x % 2 != 0) x -= 1;
  viewX = static_cast<int16_t>(x);
  viewY = 0;
  if (cgGetConnectedMonitors() == CG_VIDEO_MONITOR_CONNECTED) {
    monitorWidth = static_cast<uint16_t>(probe->width);
    monitorHeight = static_cast<uint16_t>(2 * probe->height);
  } else {
    monitorWidth = 0;
    monitorHeight = 0;
  }
  return true;
}

bool SplitMask::setupRender(int frameWidth, int frameHeight, bool monitorAspect) {
  BusyPointer busy;
  if (!setGeometry(frameWidth, frameHeight, true, monitorAspect)) return false;
  if (!loadLastMaskPath() || maskPath.empty()) return false;
  if (!loadMask(true)) return false;
  applySavedSettings(); // a missing or short file leaves the defaults
  if (partCount <= 0) return false;

  // Masks and bars cover whole frames: the bar layer is frame-high.
  int barW = 0, barH = 0;
  if (!barLayerSize(*this, 2 * workHeight, barW, barH)) return false;
  if (!ensureImage(composite, workWidth, workHeight)) return false;
  if (!ensureImage(barImage, barW, barH)) return false;
  buildBarImage();
  if (!ensureImage(preview, workWidth, workHeight)) return false;
  drawBarLines();
  renderReady = 1;
  return true;
}

bool SplitMask::setupEditor(const char *path, int screenWidth, int screenHeight,
                            int32_t length) {
  BusyPointer busy;
  effectLength = length;
  if (!setGeometry(screenWidth, screenHeight, false, false)) return false;
  if (path != nullptr) {
    maskPath = path;
  } else if (!loadLastMaskPath() || maskPath.empty()) {
    maskPath = kDefaultMaskPath;
  }
  if (!loadMask(false)) {
    maskPath = kDefaultMaskPath;
    if (!loadMask(false)) return false;
  }
  applySavedSettings();
  if (partCount <= 0) return false;
  if (currentPart < 0) currentPart = 0;

  if (!inputImage) {
    OpImagePtr image = allocOpImage(workWidth, workHeight, OP_KIND_YUVA);
    if (!image) return false;
    OpImagePtr field(opGetField(0, 0));
    if (!field) return false;
    opScaleImage(field.get(), image.get(), 0);
    inputImage = std::move(image);
  }
  int barW = 0, barH = 0;
  if (!barLayerSize(*this, workHeight, barW, barH)) return false;
  if (!ensureImage(composite, workWidth, workHeight)) return false;
  if (!ensureImage(barImage, barW, barH)) return false;
  buildBarImage();
  if (!ensureImage(preview, workWidth, workHeight)) return false;
  if (monitorWidth != 0 && !ensureImage(monitorImage, monitorWidth, monitorHeight)) return false;

  if (!loadPartFields(0)) return false;
  if (!composeParts(composite.get(), inputImage.get(), currentPart, false, 0)) return false;
  refreshStampView();
  // setBarWidth does nothing for an unchanged value; a stored width that
  // differs from the parked one makes it draw the bar lines, refresh the
  // preview and show it whatever the file held (-1 included).
  const int16_t width = barWidth;
  barWidth = width == -1 ? 0 : -1;
  setBarWidth(width);
  showPreview(true);
  ownsSettings_ = true;
  return true;
}

void SplitMask::makeBarSwatch() {
  OpImagePtr fill = makeBarFill(barStyle, 50, 2 * rowUnit() - 4);
  if (!fill) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return;
  }
  // The conversion reports its own failure; the old swatch stays shown.
  if (CImagePtr swatch = toGuiImage(fill.get(), kSrcSplitMask)) barSwatch = std::move(swatch);
}

} // namespace tileron
