// oplibcommon: operator images (OpImage): allocation and release (pixels
// from and back to the image pool; a pooled buffer belongs to no live image),
// the count of live images that GUI images share, scaling (the kernels are in
// scale.cpp) and fitting a picture into a box across two pixel aspects.
#include "host/images/images.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <new>

#include "host/images/image_pool.hpp"
#include "host/images/scale.hpp"
#include "host/settings/settings.hpp"

namespace vxhost {

namespace {

// Live images of each family (ImageFamily's order).
std::atomic<int> liveImages[2]{};

std::atomic<int> &liveOf(ImageFamily family) { return liveImages[family == ImageFamily::gui ? 1 : 0]; }

} // namespace

int bytesPerPixel(int32_t kind) {
  switch (kind) {
  case OP_KIND_YUVA: return 4;
  case OP_KIND_16: return 2;
  case OP_KIND_8: return 1;
  default: return 0;
  }
}

int liveImageCount() { return liveImages[0].load() + liveImages[1].load(); }

int liveImageCount(ImageFamily family) { return liveOf(family).load(); }

void countImageMade(ImageFamily family) { ++liveOf(family); }

void countImageReleased(ImageFamily family) { --liveOf(family); }

namespace {

// An image around `pixels` (from takePixels, of its size), or null with the
// pixels given back.
OpImage *wrapPixels(uint8_t *pixels, int32_t width, int32_t height, int32_t kind, uint16_t aspect) {
  auto *image = pixels ? new (std::nothrow) OpImage{} : nullptr;
  if (!image) {
    givePixels(pixels);
    return nullptr;
  }
  image->pixels = pixels;
  image->width = static_cast<int16_t>(width);
  image->height = static_cast<int16_t>(height);
  image->kind = kind;
  image->pixelAspect = aspect;
  countImageMade(ImageFamily::op);
  return image;
}

size_t imageBytes(int32_t width, int32_t height, int32_t kind) {
  return size_t(width) * size_t(height) * size_t(bytesPerPixel(kind));
}

OpImage *newImage(int32_t width, int32_t height, int32_t kind, uint16_t aspect, bool cleared) {
  if (bytesPerPixel(kind) == 0 || !validImageSize(width, height))
    return nullptr;
  return wrapPixels(takePixels(imageBytes(width, height, kind), cleared), width, height, kind, aspect);
}

} // namespace

OpImage *allocUnclearedImage(int32_t width, int32_t height, int32_t kind) {
  return newImage(width, height, kind, 1000, false);
}

OpImage *adoptPixels(uint8_t *pixels, int32_t width, int32_t height, int32_t kind) {
  if (bytesPerPixel(kind) == 0 || !validImageSize(width, height)) {
    givePixels(pixels);
    return nullptr;
  }
  return wrapPixels(pixels, width, height, kind, 1000);
}

} // namespace vxhost

using namespace vxhost;

extern "C" OpImage *opAllocImage(int32_t width, int32_t height, int32_t kind, int32_t) {
  uint16_t aspect = 1000;
  // The two probe sizes ask for a field of the current format: (0, 0) the
  // input field, (-1, -1) the output field, which this host makes alike.
  if ((width == 0 && height == 0) || (width == -1 && height == -1)) {
    const Format &f = format();
    width = f.width;
    height = f.height / 2;
    aspect = static_cast<uint16_t>(f.pixelAspect);
  }
  return newImage(width, height, kind, aspect, true);
}

extern "C" void opFreeImage(OpImage *image) {
  if (!image)
    return;
  givePixels(image->pixels);
  delete image;
  countImageReleased(ImageFamily::op);
}

extern "C" int32_t opScaleImage(const OpImage *source, OpImage *destination, int32_t) {
  if (!source || !destination || source->kind != destination->kind || !source->pixels ||
      !destination->pixels || source->width <= 0 || source->height <= 0 ||
      destination->width <= 0 || destination->height <= 0)
    return 0;
  const int channels = source->kind == OP_KIND_YUVA ? 4 : source->kind == OP_KIND_8 ? 1 : 0;
  if (channels == 0)
    return 0;
  if (source == destination)
    return 1;
  try {
    scalePicture(source->pixels, ptrdiff_t(rowBytes(source)), source->width, source->height,
                 destination->pixels, ptrdiff_t(rowBytes(destination)), destination->width,
                 destination->height, channels);
  } catch (const std::bad_alloc &) {
    return 0;
  }
  return 1;
}

namespace {

using Wide = __int128; // products of up to four 32-bit factors

// num / den rounded to the nearest integer, halves up (num, den > 0).
Wide roundedQuotient(Wide num, Wide den) { return (2 * num + den) / (2 * den); }

} // namespace

// The picture shows w * sourceAspect : h. In the box's pixels (targetAspect)
// that is a width/height ratio of (w * sourceAspect) / (h * targetAspect). The
// result takes the full box height when the width that goes with it fits,
// else the full box width; the other side is rounded to the nearest integer
// (halves up) and is at least 1. Both sides are limited to 65535, the range
// of the 16-bit fields written.
extern "C" int32_t opCalcDims(uint16_t *width, uint16_t *height, int32_t sourceAspect,
                              int32_t maxWidth, int32_t maxHeight, int32_t targetAspect, int32_t) {
  if (!width || !height || *width == 0 || *height == 0 || sourceAspect <= 0 || targetAspect <= 0 ||
      maxWidth <= 0 || maxHeight <= 0)
    return 0;
  const Wide w = *width, h = *height, sa = sourceAspect, ta = targetAspect;
  const Wide boxW = std::min<int32_t>(maxWidth, 65535), boxH = std::min<int32_t>(maxHeight, 65535);
  Wide outW, outH;
  if (boxH * w * sa <= boxW * h * ta) {
    outH = boxH;
    outW = roundedQuotient(boxH * w * sa, h * ta);
  } else {
    outW = boxW;
    outH = roundedQuotient(boxW * h * ta, w * sa);
  }
  *width = static_cast<uint16_t>(std::max<Wide>(outW, 1));
  *height = static_cast<uint16_t>(std::max<Wide>(outH, 1));
  return 1;
}
