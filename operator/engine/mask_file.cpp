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
#include "support/report.hpp"
#include "vxhost/txlib.h"
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
OpImagePtr readMaskImage(const char *name) {
  const std::string file = name;
  OpImagePtr image;
  if (staysInMaskDirectory(file)) image.reset(txGetOpImageFile((kMaskDirectory + file).c_str(), 1));
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

} // namespace

int SplitMask::loadMask(bool renderMode) {
  const std::string language = languageTag();
  partCount = 0;
  barCount = 0;
  for (OpImagePtr &mask : partMask) mask.reset();

  XmlDocumentPtr document(xmlReadFile(maskPath.c_str()));
  if (!document) {
    TILERON_REPORT(kLevelError, kSrcSplitMask);
    return 0;
  }
  // Not exactly one mask in the file: an empty mask, which the set-ups refuse.
  XmlElementListPtr screens(xmlGetElements(document->text, "splitscreen"));
  if (!screens || screens->count != 1) return 1;
  const char *screen = screens->entries[0];

  // Display name: the first `name` element that has the current language.
  if (!language.empty()) {
    XmlElementListPtr names(xmlGetElements(screen, "name"));
    for (int n = 0; names && n < names->count; ++n) {
      XmlElementListPtr title(xmlGetElements(names->entries[n], language.c_str()));
      if (!title) continue;
      const char *text = title->entries[0];
      maskTitle.assign(std::strlen(text) + 1, 0);
      maskTitle.resize(static_cast<std::size_t>(sxcpy(maskTitle.data(), text)) + 1);
      break;
    }
  }

  // Parts. Factors from mask-image pixels to working pixels (sx, sy) and to
  // bar-layer pixels (bx, by: the bar layer has square pixels); a part without
  // a shape image keeps those of the last part that had one.
  const int shapeHeight = renderMode ? 2 * workHeight : workHeight;
  double sx = 1.0, sy = 1.0, bx = 1.0, by = 1.0;
  XmlElementListPtr parts(xmlGetElements(screen, "part"));
  const int partElements = parts ? std::min<int>(parts->count, kMaxParts) : 0;
  for (int i = 0; i < partElements; ++i) {
    const char *part = parts->entries[i];
    if (XmlElementListPtr file{xmlGetElements(part, "filename")}) {
      OpImagePtr shape = readMaskImage(file->entries[0]);
      if (!shape) return 0;
      partMask[i] = allocOpImage(workWidth, shapeHeight, OP_KIND_8);
      if (!partMask[i]) {
        TILERON_REPORT(kLevelError, kSrcSplitMask);
        return 0;
      }
      // The loader cannot use a shape it could not resample.
      if (!resamplePlane(planeOf(*shape), planeOf(*partMask[i]))) {
        partMask[i].reset();
        TILERON_REPORT(kLevelError, kSrcSplitMask);
        return 0;
      }
      // Boxes are in working lines (workHeight, not the doubled shape height).
      sx = static_cast<double>(workWidth) / shape->width;
      sy = static_cast<double>(workHeight) / shape->height;
      bx = sx;
      by = sy;
      if (pixelAspect >= 1000)
        by = pixelAspect * sy / 1000;
      else
        bx = sx * 1000 / pixelAspect;
      ++partCount;
    }
    int value = 0;
    partCenterX[i] = findNumber(part, "centerx", value) ? nearestShort(value * sx)
                                                        : toShort(workWidth / 2);
    partCenterY[i] = findNumber(part, "centery", value) ? nearestShort(value * sy)
                                                        : toShort(workHeight / 2);
    partWidth[i] = findNumber(part, "width", value) ? nearestShort(value * sx) : toShort(workWidth);
    partHeight[i] =
        findNumber(part, "height", value) ? nearestShort(value * sy) : toShort(workHeight);
    partMaskScale[i] = findNumber(part, "scale", value) ? toShort(value) : 100;
    partStampX[i] = findNumber(part, "stampimagexpos", value) ? toShort(value) : 0;
    partStampY[i] = findNumber(part, "stampimageypos", value) ? toShort(value) : 100;
  }

  // Bars, in bar-layer pixels; in render mode the layer is frame-high, so
  // vertical values are doubled. An end left out defaults to the box size of
  // the part with the same index, or to the working frame for bars beyond the
  // tenth, which have no such part.
  const int lines = renderMode ? 2 : 1;
  XmlElementListPtr barList(xmlGetElements(screen, "bar"));
  const int barElements = barList ? std::min<int>(barList->count, kMaxBars) : 0;
  for (int b = 0; b < barElements; ++b) {
    const char *bar = barList->entries[b];
    const int defaultRight = b < kMaxParts ? partWidth[b] - 1 : workWidth - 1;
    const int defaultBottom = b < kMaxParts ? partHeight[b] - 1 : lines * workHeight - 1;
    BarSegment &segment = bars[b];
    int value = 0;
    segment.left = findNumber(bar, "left", value) ? nearestShort(value * bx) : 0;
    segment.top = findNumber(bar, "top", value) ? nearestShort(value * by * lines) : 0;
    segment.right = findNumber(bar, "right", value) ? nearestShort(value * bx)
                                                    : toShort(defaultRight);
    segment.bottom = findNumber(bar, "bottom", value) ? nearestShort(value * by * lines)
                                                      : toShort(defaultBottom);
    ++barCount;
  }

  // Stamp map: the last `stamp` with a file name wins.
  XmlElementListPtr stamps(xmlGetElements(screen, "stamp"));
  for (int s = 0; stamps && s < stamps->count; ++s) {
    XmlElementListPtr file(xmlGetElements(stamps->entries[s], "filename"));
    if (!file) continue;
    stampMap = readMaskImage(file->entries[0]);
    if (!stampMap) return 0;
  }
  return 1;
}

} // namespace tileron
