// Part editing: the operations behind the editor's controls, each changing the
// current part (or the bar), bringing the derived images up to date and
// showing the new preview; the stamp view with its markers; the hit tests.
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "engine/compositing.hpp"
#include "engine/split_mask.hpp"
#include "vxhost/orvexa2.h"
#include "vxhost/orvexares.h"

namespace tileron {

namespace {

// Marker images of the operator's image set: 500 + 2 x (kind - 1) for the
// current part, one more for every other part.
constexpr int32_t kFirstMarkerImage = 500;

// A preview mask byte at or below this value picks its part; the soft edge
// beyond it belongs to whatever lies behind.
constexpr uint8_t kPickLimit = 240;

void redraw(SplitMask &state, bool withMonitor) {
  if (state.refreshPreview())
    state.showPreview(withMonitor);
}

// The current part's slot, or -1 when currentPart is outside the arrays.
int currentSlot(const SplitMask &state) {
  return state.currentPart >= 0 && state.currentPart < kMaxParts ? state.currentPart : -1;
}

// (size x percent + 50) / 100, truncating toward zero, held in 16 bits: a
// value beyond the 16-bit range is beyond every half-picture limit, so it is
// held at the range's end (and refused) rather than wrapped into the limit.
int16_t percentOfSize(int size, int percent) {
  const int64_t value = (int64_t(size) * percent + 50) / 100;
  return int16_t(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
}

} // namespace

void SplitMask::setPartScene(int32_t sceneId) {
  const int c = currentSlot(*this);
  if (c < 0 || sceneId == partScene[c])
    return;
  OpImagePtr field(sceneId != 0 ? mainGetFieldFromSceneID(sceneId, 0, 1, 0) : nullptr);
  if (field && partImage[c]) {
    opScaleImage(field.get(), partImage[c].get(), 0);
    partScene[c] = sceneId;
  } else {
    partScene[c] = 0; // the part image keeps its old pixels
  }
  redraw(*this, true);
}

void SplitMask::setPartScale(int16_t percent) {
  const int c = currentSlot(*this);
  if (c < 0 || percent == partScale[c])
    return;
  partScale[c] = percent;
  refreshStampView();
  redraw(*this, false);
}

void SplitMask::setPartOffset(int16_t x, int16_t y) {
  const int c = currentSlot(*this);
  if (c < 0 || (x == partOffsetX[c] && y == partOffsetY[c]))
    return;
  // Each axis is limited to half the picture independently; a value beyond
  // the limit is refused and leaves its axis as it was.
  if (const OpImage *picture = partImage[c].get()) {
    if (offsetWithinLimit(x, picture->width))
      partOffsetX[c] = x;
    if (offsetWithinLimit(y, picture->height))
      partOffsetY[c] = y;
  }
  refreshStampView();
  redraw(*this, false);
}

void SplitMask::setPartOffsetXPercent(int percent) {
  const int c = currentSlot(*this);
  if (c < 0 || !partImage[c])
    return;
  setPartOffset(percentOfSize(partImage[c]->width, percent), partOffsetY[c]);
}

void SplitMask::setPartOffsetYPercent(int percent) {
  const int c = currentSlot(*this);
  if (c < 0 || !partImage[c])
    return;
  setPartOffset(partOffsetX[c], percentOfSize(partImage[c]->height, percent));
}

void SplitMask::setPartAlign(int16_t anchor) {
  const int c = currentSlot(*this);
  if (c < 0 || anchor == partAlign[c])
    return;
  partAlign[c] = anchor;
  refreshStampView();
  redraw(*this, true);
}

void SplitMask::setPartOpacity(int16_t opacity) {
  const int c = currentSlot(*this);
  if (c < 0 || opacity == partOpacity[c])
    return;
  partOpacity[c] = opacity;
  redraw(*this, false);
}

void SplitMask::resetPart() {
  const int c = currentSlot(*this);
  if (c < 0)
    return;
  partOpacity[c] = 255;
  partAlign[c] = kAnchorCentre;
  partOffsetX[c] = 0;
  partOffsetY[c] = 0;
  // The mask's scale is taken as written, so it may lie far outside the
  // 10..200 % that the scale slider and the settings file allow; 32767 %
  // would ask for a picture of gigabytes. It is held to that range here.
  partScale[c] = std::clamp<int16_t>(partMaskScale[c], 10, 200);
  refreshStampView();
  redraw(*this, true);
}

void SplitMask::setBarWidth(int16_t perMille) {
  if (perMille == barWidth)
    return;
  barWidth = perMille;
  drawBarLines();
  redraw(*this, false);
}

void SplitMask::barStyleChanged() {
  buildBarImage();
  drawBarLines();
  redraw(*this, true);
}

void SplitMask::selectPart(int part) {
  if (part == currentPart || part < 0 || part >= std::min<int>(partCount, kMaxParts))
    return;
  composeParts(composite.get(), inputImage.get(), part, false, 0);
  currentPart = int16_t(part);
  refreshStampView();
}

void SplitMask::refreshStampView() {
  stampView.reset(makeStampPicture(stampMap.get(), currentPart));
  for (int i = 0; i < std::clamp<int>(partCount, 0, kMaxParts); ++i) {
    if (partStampX[i] == 0)
      continue;
    partMarker[i] = 0;
    // A slot without a shape is no part on screen and gets no marker.
    if (partScene[i] == 0 || !partMask[i])
      continue;
    const bool longEnough = 2 * int64_t(mainGetSceneLengthFromID(partScene[i], 0)) >= effectLength;
    const bool covers = partCoversBox(i);
    const int16_t kind = int16_t((longEnough ? 1 : 3) + (covers ? 0 : 1));
    partMarker[i] = kind;
    const int32_t number = kFirstMarkerImage + 2 * (kind - 1) + (i != currentPart ? 1 : 0);
    const ResImage *image = module_.images ? resGetImage(*module_.images, number) : nullptr;
    if (!image || !stampView)
      continue;
    if (CImagePtr marker{cgConvertResImageToCImageAlpha(image, 0)})
      overlayGuiImage(marker.get(), stampView.get(), partStampX[i] - marker->width / 2,
                      partStampY[i] - marker->height / 2);
  }
}

int SplitMask::partAtPreviewPoint(int x, int y) const {
  if (x < viewX || x >= viewX + workWidth || y < viewY || y >= viewY + workHeight)
    return -1;
  const int mx = x - viewX, my = y - viewY;
  for (int i = 0; i < std::clamp<int>(partCount, 0, kMaxParts); ++i) {
    const OpImage *mask = partMask[i].get();
    if (!mask || mask->kind != OP_KIND_8 || mx >= mask->width || my >= mask->height)
      continue;
    if (mask->pixels[size_t(my) * size_t(mask->width) + size_t(mx)] <= kPickLimit)
      return i;
  }
  return -1;
}

int SplitMask::partAtStampPoint(int x, int y) const {
  const OpImage *map = stampMap.get();
  if (!map || map->kind != OP_KIND_8 || x < 0 || y < 0 || x >= map->width || y >= map->height)
    return -1;
  const int part = map->pixels[size_t(y) * size_t(map->width) + size_t(x)];
  // Line work (20 and above) and numbers past the mask's parts name nothing;
  // neither does a slot without a shape.
  if (part >= std::min<int>(partCount, kMaxParts) || !partMask[part])
    return -1;
  return part;
}

} // namespace tileron
