// Loading a mask description (XML) and its 8-bit shape and stamp images into
// the effect state. Coordinates in the file are pixels of the mask's shape
// images; they are brought to the working size here.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/split_mask.hpp"
#include "masks/mask_paths.hpp"
#include "masks/resampler.hpp"
#include "masks/xml.hpp"
#include "support/home_files.hpp"
#include "support/rounding.hpp"
#include "support/report.hpp"
#include "vxhost/xchar.h"

namespace tileron {

namespace {

// A decimal number read the way atoi reads it (leading blanks, a sign, digits
// up to the first other byte, 0 without digits); values beyond int saturate
// instead of being undefined.
int readNumber(const char *text) {
  const long value = std::strtol(text, nullptr, 10);
  return static_cast<int>(std::clamp<long>(value, INT_MIN, INT_MAX));
}

// The first `tag` element of `text` as a number; false when there is none.
bool findNumber(const char *text, const char *tag, int &value) {
  XmlElementListPtr list(xmlGetElements(text, tag));
  if (!list) return false;
  value = readNumber(list->entries[0]);
  return true;
}

// Coordinates are 16-bit; a value beyond that range saturates rather than
// wrapping to the opposite side of the frame.
int16_t toShort(int value) {
  return static_cast<int16_t>(std::clamp(value, INT16_MIN, INT16_MAX));
}

int16_t nearestShort(double value) { return toShort(roundNearest(value)); }

// Reads the 8-bit image `name` of the mask directory; null (reported) when the
// name leaves the directory or the image cannot be read.
OpImagePtr readMaskImage(const std::string &name) {
  OpImagePtr image = readMaskDirectoryImage(name);
  if (!image || image->kind != OP_KIND_8 || image->width <= 0 || image->height <= 0) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return nullptr;
  }
  return image;
}

ImagePlane planeOf(const OpImage &image) {
  ImagePlane plane;
  plane.pixels = image.pixels;
  plane.rowStride = image.width;
  plane.width = image.width;
  plane.height = image.height;
  plane.bytesPerPixel = 1;
  return plane;
}

// Factors from mask-image pixels to working pixels (sx, sy) and to bar-layer
// pixels (bx, by: the bar layer has square pixels).
struct MaskScale {
  double sx = 1.0, sy = 1.0, bx = 1.0, by = 1.0;
};

// The display name: the first `name` element that has the current language.
void readTitle(SplitMask &mask, const char *screen, const std::string &language) {
  if (language.empty()) return;
  XmlElementListPtr names(xmlGetElements(screen, "name"));
  for (int n = 0; names && n < names->count; ++n) {
    XmlElementListPtr title(xmlGetElements(names->entries[n], language.c_str()));
    if (!title) continue;
    const char *text = title->entries[0];
    mask.maskTitle.assign(std::strlen(text) + 1, 0);
    mask.maskTitle.resize(static_cast<std::size_t>(sxcpy(mask.maskTitle.data(), text)) + 1);
    return;
  }
}

// The parts: shapes resampled to the working size, boxes, scales and stamp
// positions. A part without a shape image keeps the factors of the last part
// that had one; `scale` ends with those of the last shape. False (reported)
// when a shape cannot be read or resampled.
bool readParts(SplitMask &mask, const char *screen, bool renderMode, MaskScale &scale) {
  const int shapeHeight = renderMode ? 2 * mask.workHeight : mask.workHeight;
  XmlElementListPtr parts(xmlGetElements(screen, "part"));
  const int partElements = parts ? std::min<int>(parts->count, kMaxParts) : 0;
  for (int i = 0; i < partElements; ++i) {
    const char *part = parts->entries[i];
    if (XmlElementListPtr file{xmlGetElements(part, "filename")}) {
      OpImagePtr shape = readMaskImage(file->entries[0]);
      if (!shape) return false;
      mask.partMask[i] = allocOpImage(mask.workWidth, shapeHeight, OP_KIND_8);
      if (!mask.partMask[i]) {
        TILERON_REPORT(kLevelError, kSrcSplitMask);
        return false;
      }
      // The loader cannot use a shape it could not resample.
      if (!resamplePlane(planeOf(*shape), planeOf(*mask.partMask[i]))) {
        mask.partMask[i].reset();
        TILERON_REPORT(kLevelError, kSrcSplitMask);
        return false;
      }
      // Boxes are in working lines (workHeight, not the doubled shape height).
      scale.sx = static_cast<double>(mask.workWidth) / shape->width;
      scale.sy = static_cast<double>(mask.workHeight) / shape->height;
      scale.bx = scale.sx;
      scale.by = scale.sy;
      if (mask.pixelAspect >= 1000)
        scale.by = mask.pixelAspect * scale.sy / 1000;
      else
        scale.bx = scale.sx * 1000 / mask.pixelAspect;
      ++mask.partCount;
    }
    int value = 0;
    const double sx = scale.sx, sy = scale.sy;
    mask.partCenterX[i] = findNumber(part, "centerx", value) ? nearestShort(value * sx)
                                                             : toShort(mask.workWidth / 2);
    mask.partCenterY[i] = findNumber(part, "centery", value) ? nearestShort(value * sy)
                                                             : toShort(mask.workHeight / 2);
    mask.partWidth[i] =
        findNumber(part, "width", value) ? nearestShort(value * sx) : toShort(mask.workWidth);
    mask.partHeight[i] =
        findNumber(part, "height", value) ? nearestShort(value * sy) : toShort(mask.workHeight);
    mask.partMaskScale[i] = findNumber(part, "scale", value) ? toShort(value) : 100;
    mask.partStampX[i] = findNumber(part, "stampimagexpos", value) ? toShort(value) : 0;
    mask.partStampY[i] = findNumber(part, "stampimageypos", value) ? toShort(value) : 100;
  }
  return true;
}

// Bars, in bar-layer pixels; in render mode the layer is frame-high, so
// vertical values are doubled. An end left out defaults to the box size of
// the part with the same index, or to the working frame for bars beyond the
// tenth, which have no such part.
void readBars(SplitMask &mask, const char *screen, bool renderMode, const MaskScale &scale) {
  const int lines = renderMode ? 2 : 1;
  XmlElementListPtr barList(xmlGetElements(screen, "bar"));
  const int barElements = barList ? std::min<int>(barList->count, kMaxBars) : 0;
  for (int b = 0; b < barElements; ++b) {
    const char *bar = barList->entries[b];
    const int defaultRight = b < kMaxParts ? mask.partWidth[b] - 1 : mask.workWidth - 1;
    const int defaultBottom = b < kMaxParts ? mask.partHeight[b] - 1 : lines * mask.workHeight - 1;
    BarSegment &segment = mask.bars[b];
    int value = 0;
    segment.left = findNumber(bar, "left", value) ? nearestShort(value * scale.bx) : 0;
    segment.top = findNumber(bar, "top", value) ? nearestShort(value * scale.by * lines) : 0;
    segment.right = findNumber(bar, "right", value) ? nearestShort(value * scale.bx)
                                                    : toShort(defaultRight);
    segment.bottom = findNumber(bar, "bottom", value) ? nearestShort(value * scale.by * lines)
                                                      : toShort(defaultBottom);
    ++mask.barCount;
  }
}

// The stamp map: the last `stamp` with a file name wins. False (reported)
// when one of them cannot be read.
bool readStampMap(SplitMask &mask, const char *screen) {
  for (const std::string &name : stampFileNames(screen)) {
    mask.stampMap = readMaskImage(name);
    if (!mask.stampMap) return false;
  }
  return true;
}

} // namespace

int SplitMask::loadMask(bool renderMode) {
  const std::string language = languageTag(module_.strings ? *module_.strings : 0);
  partCount = 0;
  barCount = 0;
  for (OpImagePtr &mask : partMask) mask.reset();

  XmlDocumentPtr document(xmlReadFile(maskPath.c_str()));
  if (!document) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return 0;
  }
  // Not exactly one mask in the file: an empty mask, which the set-ups refuse.
  XmlElementListPtr screens;
  const char *screen = onlyScreen(*document, screens);
  if (!screen) return 1;

  readTitle(*this, screen, language);
  MaskScale scale;
  if (!readParts(*this, screen, renderMode, scale)) return 0;
  readBars(*this, screen, renderMode, scale);
  return readStampMap(*this, screen) ? 1 : 0;
}

} // namespace tileron
