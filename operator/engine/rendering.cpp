// Frame rendering: the part pictures of one field time, the composed output
// field, the bar layer and the editor's preview.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "bar/bar_fill.hpp"
#include "engine/compositing.hpp"
#include "engine/kernels.hpp"
#include "engine/split_mask.hpp"
#include "support/report.hpp"
#include "vxhost/operator.h"
#include "vxhost/oplib.h"
#include "vxhost/orvexa2.h"

namespace tileron {

namespace {

// Number of fields of a scene: twice its host length, in 64 bits so that no
// length the host reports can overflow.
int64_t sceneFields(int32_t sceneId) {
  return 2 * int64_t(mainGetSceneLengthFromID(sceneId, 0));
}

struct PictureSize {
  int width = 0, height = 0;
};

// (scale x picture size / 200) x 2: always even, 100 % gives the picture's
// size with an odd last pixel dropped. A scale of 0 or below, a tiny picture
// or no picture at all gives an empty size.
PictureSize scaledSize(const SplitMask &state, int part) {
  const OpImage *picture = state.partImage[part].get();
  if (!picture)
    return {};
  const int scale = state.partScale[part];
  return {std::max(0, scale * picture->width / 200 * 2),
          std::max(0, scale * picture->height / 200 * 2)};
}

// A part's picture at its scaled size. When the scale keeps the size, the
// part image itself serves: the host's scaling at an equal size is an exact
// copy, so the copy is skipped.
struct ScaledPicture {
  OpImagePtr owned;
  const OpImage *image = nullptr; // null: nothing to lay (empty size)
};

// False only when the scaled image cannot be allocated.
bool scalePicture(const SplitMask &state, int part, ScaledPicture &out) {
  const PictureSize size = scaledSize(state, part);
  if (size.width == 0 || size.height == 0)
    return true;
  const OpImage *picture = state.partImage[part].get();
  if (size.width == picture->width && size.height == picture->height) {
    out.image = picture;
    return true;
  }
  out.owned = allocOpImage(size.width, size.height, OP_KIND_YUVA);
  if (!out.owned)
    return false;
  opScaleImage(picture, out.owned.get(), 0);
  out.image = out.owned.get();
  return true;
}

// Lays a scaled picture of part i onto `destination` through the part's mask.
void layPicture(const SplitMask &state, int part, const OpImage *picture, OpImage *destination,
                bool fieldMode, int parity) {
  int16_t x = 0, y = 0;
  state.placePart(part, picture->width, picture->height, x, y);
  compositeThroughMask(picture, destination, state.partMask[part].get(), x, y, picture->width,
                       picture->height, state.partOpacity[part], fieldMode, parity);
}

// A part lays something only with a scene, a shape and a picture. A slot
// without a shape (a part element without a file name) lays nothing.
bool partLays(const SplitMask &state, int part) {
  return state.partScene[part] != 0 && state.partMask[part] && state.partImage[part];
}

int partLimit(const SplitMask &state) { return std::clamp<int>(state.partCount, 0, kMaxParts); }

using BarSpans = std::vector<std::pair<int16_t, int16_t>>;

// Lays the bar layer over `destination` as overlayImage does (in field mode
// destination row r reads bar row 2r + parity), visiting only the columns of
// each bar row that hold coverage: elsewhere the layer's alpha is 0, which
// leaves the destination as it is. Without spans for every bar row the whole
// layer is laid.
void layBar(const OpImage *bar, const BarSpans &spans, OpImage *destination, bool fieldMode,
            int parity) {
  if (spans.size() != size_t(std::max<int>(bar->height, 0))) {
    overlayImage(bar, destination, bar->width, bar->height, fieldMode, parity);
    return;
  }
  const int step = fieldMode ? 2 : 1;
  const int width = std::min(bar->width, destination->width);
  const kernels::OverlayFn overlay = kernels::fastKernels().overlay;
  int row = fieldMode && parity != 0 ? 1 : 0;
  for (int r = 0; r < destination->height && row < bar->height; ++r, row += step) {
    const int first = spans[size_t(row)].first;
    const int end = std::min<int>(spans[size_t(row)].second, width);
    if (first < end)
      overlay(pixels32(bar) + ptrdiff_t(row) * bar->width + first, bar->width,
              pixels32(destination) + ptrdiff_t(r) * destination->width + first,
              destination->width, end - first, 1);
  }
}

// The covered columns [first, end) of every row of the bar layer.
BarSpans findBarSpans(const OpImage *bar) {
  BarSpans spans(size_t(std::max<int>(bar->height, 0)), {0, 0});
  for (int y = 0; y < bar->height; ++y) {
    const uint32_t *row = pixels32(bar) + ptrdiff_t(y) * bar->width;
    int first = 0, end = bar->width;
    while (first < end && (row[first] & 0xFFu) == 0)
      ++first;
    while (end > first && (row[end - 1] & 0xFFu) == 0)
      --end;
    spans[size_t(y)] = {int16_t(first), int16_t(end)};
  }
  return spans;
}

} // namespace

bool SplitMask::loadPartFields(int32_t field) {
  for (int i = 0; i < partLimit(*this); ++i) {
    partImage[i].reset();
    const int64_t fields = partScene[i] != 0 ? sceneFields(partScene[i]) : 0;
    OpImagePtr sceneField;
    if (partScene[i] != 0 && field < fields) {
      sceneField.reset(mainGetFieldFromSceneID(partScene[i], field, 1, 0));
      if (!sceneField) {
        TILERON_REPORT(kLevelSceneField, kSrcSplitMask);
        partScene[i] = 0;
      }
    }
    // A field delivered at the working size becomes the part image as it
    // is: scaling it would copy it byte for byte.
    if (sceneField && sceneField->kind == OP_KIND_YUVA && sceneField->width == workWidth &&
        sceneField->height == workHeight) {
      partImage[i] = std::move(sceneField);
      continue;
    }
    partImage[i] = allocOpImage(workWidth, workHeight, OP_KIND_YUVA);
    if (!partImage[i])
      return false;
    if (sceneField) {
      opScaleImage(sceneField.get(), partImage[i].get(), 0);
    } else if (partScene[i] != 0) {
      // Past the scene's end the part lays nothing.
      OpImage *image = partImage[i].get();
      kernels::fillPixels(pixels32(image), image->width, image->width, image->height,
                          kEndedScenePixel);
      if (fields <= 0)
        partScene[i] = 0;
    }
  }
  return true;
}

OpImage *SplitMask::renderField(int32_t field, uint32_t flags) {
  // An instance whose render set-up failed has no mask or bar to lay.
  if (!renderReady) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return nullptr;
  }
  const int parity = (flags & OP_FLAG_ODD_FIELD) != 0 ? 1 : 0;
  // The input is covered entirely when every part is opaque, still running
  // and covers its box; then it is not fetched. A slot without a shape lays
  // nothing, so the input shows where its part would be.
  bool inputNeeded = false;
  for (int i = 0; i < partLimit(*this) && !inputNeeded; ++i)
    inputNeeded = partScene[i] == 0 || !partMask[i] || sceneFields(partScene[i]) <= field ||
                  partOpacity[i] < 255 || !partCoversBox(i);
  OpImagePtr background(inputNeeded ? opGetField(0, field)
                                     : opAllocImage(-1, -1, OP_KIND_YUVA, 0));
  if (!background)
    return nullptr;
  if (!composeParts(background.get(), background.get(), -1, true, parity)) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return nullptr;
  }
  if (const OpImage *bar = barImage.get()) {
    if (pixelAspect == 1000) {
      layBar(bar, barSpans_, background.get(), true, parity);
    } else {
      // The bar layer is at square-pixel size; the field reads a frame-high copy.
      OpImagePtr frameBar = allocOpImage(background->width, 2 * background->height, OP_KIND_YUVA);
      if (!frameBar) {
        TILERON_REPORT(kLevelError, kSrcSplitMask);
        return nullptr;
      }
      opScaleImage(bar, frameBar.get(), 0);
      overlayImage(frameBar.get(), background.get(), frameBar->width, frameBar->height, true,
                   parity);
    }
  }
  return background.release();
}

bool SplitMask::composeParts(OpImage *destination, const OpImage *source, int leaveOut,
                             bool fieldMode, int parity) {
  if (!destination || !source)
    return false;
  if (destination != source)
    copyImageRect(source, destination, destination->width, destination->height);
  for (int i = 0; i < partLimit(*this); ++i) {
    if (i == leaveOut || !partLays(*this, i))
      continue;
    ScaledPicture picture;
    if (!scalePicture(*this, i, picture))
      return false;
    if (picture.image)
      layPicture(*this, i, picture.image, destination, fieldMode, parity);
  }
  return true;
}

void SplitMask::placePart(int part, int width, int height, int16_t &x, int16_t &y) const {
  // 16-bit arithmetic: the sums wrap like the stored values, halves truncate.
  const int cx = partCenterX[part], cy = partCenterY[part];
  const int pw = partWidth[part], ph = partHeight[part];
  const int ox = partOffsetX[part], oy = partOffsetY[part];
  const int w = int16_t(width), h = int16_t(height);
  int left = cx - ox - w / 2, top = cy - oy - h / 2; // the centre and any unknown value
  switch (partAlign[part]) {
  case kAnchorTopLeft: case kAnchorLeft: case kAnchorBottomLeft: left = cx - pw / 2 - ox; break;
  case kAnchorTopRight: case kAnchorRight: case kAnchorBottomRight: left = cx + pw / 2 - ox - w; break;
  default: break;
  }
  switch (partAlign[part]) {
  case kAnchorTopLeft: case kAnchorTop: case kAnchorTopRight: top = cy - ph / 2 - oy; break;
  case kAnchorBottomLeft: case kAnchorBottom: case kAnchorBottomRight: top = cy + ph / 2 - oy - h; break;
  default: break;
  }
  x = int16_t(left);
  y = int16_t(top);
}

bool SplitMask::partCoversBox(int part) const {
  const PictureSize size = scaledSize(*this, part);
  if (partWidth[part] > size.width || partHeight[part] > size.height)
    return false;
  int16_t x = 0, y = 0;
  placePart(part, size.width, size.height, x, y);
  const int cx = partCenterX[part], cy = partCenterY[part];
  const int pw = partWidth[part], ph = partHeight[part];
  return x <= cx - pw / 2 && y <= cy - ph / 2 && x + size.width >= cx + pw / 2 &&
         y + size.height >= cy + ph / 2;
}

void SplitMask::buildBarImage() {
  BusyPointer busy;
  if (!barImage)
    return;
  const int width = barImage->width, height = barImage->height;
  barSpans_.clear();
  barImage.reset();
  barImage = makeBarFill(barStyle, width, height);
  barLeftOut_ = !barImage;
  // Without a fill the bar is left out: the layer stays a fully transparent
  // image of its size (the host clears new images), so the next style can
  // be filled in at that size.
  if (!barImage)
    barImage = allocOpImage(width, height, OP_KIND_YUVA);
}

void SplitMask::drawBarLines() {
  OpImage *bar = barImage.get();
  if (!bar)
    return;
  kernels::setAlpha(pixels32(bar), bar->width, bar->width, bar->height, 0);
  if (barWidth > 0 && !barLeftOut_) {
    const int thickness = std::max(1, bar->width * barWidth / 1000);
    for (int b = 0; b < std::clamp<int>(barCount, 0, kMaxBars); ++b)
      drawBarLine(bar, bars[b].left, bars[b].top, bars[b].right, bars[b].bottom, thickness);
  }
  barSpans_ = findBarSpans(bar);
}

bool SplitMask::refreshPreview() {
  const int current = currentPart;
  if (!preview || !composite || current < 0 || current >= kMaxParts)
    return false;
  // Everything that can fail is made before the preview is touched, so a
  // failure leaves the previous preview as it was.
  ScaledPicture picture;
  if (partScene[current] != 0) {
    if (!partImage[current])
      return false;
    if (partMask[current] && !scalePicture(*this, current, picture))
      return false;
  }
  OpImagePtr previewBar;
  if (barImage && pixelAspect != 1000) {
    previewBar = allocOpImage(preview->width, preview->height, OP_KIND_YUVA);
    if (!previewBar)
      return false;
    opScaleImage(barImage.get(), previewBar.get(), 0);
  }
  copyImageRect(composite.get(), preview.get(), preview->width, preview->height);
  if (picture.image)
    layPicture(*this, current, picture.image, preview.get(), false, 0);
  if (previewBar)
    overlayImage(previewBar.get(), preview.get(), previewBar->width, previewBar->height, false, 0);
  else if (barImage)
    layBar(barImage.get(), barSpans_, preview.get(), false, 0);
  return true;
}

void SplitMask::showPreview(bool withMonitor) {
  if (!preview)
    return;
  static const PanelTable kNoPanels{};
  showImageRect(preview.get(), 0, 0, preview->width, preview->height, viewX, viewY,
                module_.panels ? *module_.panels : kNoPanels, 0);
  if (!withMonitor || !monitorImage)
    return;
  opScaleImage(preview.get(), monitorImage.get(), 0);
  if (CImagePtr picture = toGuiImage(monitorImage.get(), kSrcSplitMask))
    cgWriteImage(CG_PANEL_VIDEO_MONITOR, picture.get(), 0, 0);
}

} // namespace tileron
