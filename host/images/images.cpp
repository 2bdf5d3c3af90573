// Operator images (OpImage) and GUI images (CImage): allocation, release and
// the count of live images. OpImage pixels come from and go back to the image
// pool; a pooled buffer belongs to no live image.
#include "host/images/images.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

#include "host/images/image_pool.hpp"
#include "host/settings/settings.hpp"
#include "vxhost/orvexagui.h"

namespace vxhost {

namespace {

std::atomic<int> liveImages{0};    // OpImages and CImages
std::atomic<int> liveGuiImages{0}; // CImages alone

constexpr int32_t kMaxSide = 32767; // widths and heights are 16-bit signed

bool validSize(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= kMaxSide && height <= kMaxSide;
}

} // namespace

int bytesPerPixel(int32_t kind) {
  switch (kind) {
  case OP_KIND_YUVA: return 4;
  case OP_KIND_16: return 2;
  case OP_KIND_8: return 1;
  default: return 0;
  }
}

int liveImageCount() { return liveImages.load(); }

int liveGuiImageCount() { return liveGuiImages.load(); }

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
  ++liveImages;
  return image;
}

size_t imageBytes(int32_t width, int32_t height, int32_t kind) {
  return size_t(width) * size_t(height) * size_t(bytesPerPixel(kind));
}

OpImage *newImage(int32_t width, int32_t height, int32_t kind, uint16_t aspect, bool cleared) {
  if (bytesPerPixel(kind) == 0 || !validSize(width, height))
    return nullptr;
  return wrapPixels(takePixels(imageBytes(width, height, kind), cleared), width, height, kind, aspect);
}

} // namespace

OpImage *allocUnclearedImage(int32_t width, int32_t height, int32_t kind) {
  return newImage(width, height, kind, 1000, false);
}

OpImage *adoptPixels(uint8_t *pixels, int32_t width, int32_t height, int32_t kind) {
  if (bytesPerPixel(kind) == 0 || !validSize(width, height)) {
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
  --liveImages;
}

extern "C" CImage *cgAllocImage(int32_t kind, int32_t width, int32_t height) {
  if (kind != 2 || !validSize(width, height))
    return nullptr;
  auto *image = new (std::nothrow) CImage{};
  if (!image)
    return nullptr;
  image->pixels = static_cast<uint8_t *>(std::calloc(size_t(width) * size_t(height), 4));
  if (!image->pixels) {
    delete image;
    return nullptr;
  }
  image->kind = kind;
  image->width = static_cast<int16_t>(width);
  image->height = static_cast<int16_t>(height);
  ++liveImages;
  ++liveGuiImages;
  return image;
}

extern "C" void cgFreeImage(CImage *image) {
  if (!image)
    return;
  std::free(image->pixels);
  delete image;
  --liveImages;
  --liveGuiImages;
}
