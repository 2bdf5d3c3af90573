// The host's operator images (OpImage): their pixel layout, an owning handle
// and the count of live images (GUI images included).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "vxhost/oplibcommon.h"

namespace vxhost {

// Widths and heights of images are 16-bit signed.
inline constexpr int32_t kMaxImageSide = 32767;

// True for a size an image can have: 1..kMaxImageSide each way.
inline bool validImageSize(int32_t width, int32_t height) {
  return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

// Bytes per pixel of an OpImage kind (1: 4, 2: 2, 3: 1); 0 for any other kind.
int bytesPerPixel(int32_t kind);

// A new image like opAllocImage(width, height, kind, 0) gives, but with its
// pixels left as they come (from the image pool or malloc): for callers that
// write every pixel at once. Released with opFreeImage; null for a bad size or kind or when out of
// memory.
OpImage *allocUnclearedImage(int32_t width, int32_t height, int32_t kind);

// A new image whose pixels are `pixels`, a buffer takePixels (image pool)
// made of exactly width x height pixels of `kind`: for pixels filled before
// the image is needed. Released with opFreeImage; null for a bad size or kind
// or when out of memory, the pixels then given back.
OpImage *adoptPixels(uint8_t *pixels, int32_t width, int32_t height, int32_t kind);

// Bytes of one row of `image` (rows have no gap).
inline size_t rowBytes(const OpImage *image) {
  return size_t(image->width) * size_t(bytesPerPixel(image->kind));
}

// The two kinds of host image: OpImage (here) and CImage (the toolkit's).
enum class ImageFamily { op, gui };
// OpImages and CImages allocated and not yet released.
int liveImageCount();
// Those of one family alone.
int liveImageCount(ImageFamily family);
// Kept by the two allocators: one image of `family` more, one less.
void countImageMade(ImageFamily family);
void countImageReleased(ImageFamily family);

// An owning handle: the image is released on every path out.
struct OpImageRelease {
  void operator()(OpImage *image) const { opFreeImage(image); }
};
using OpImageHandle = std::unique_ptr<OpImage, OpImageRelease>;

} // namespace vxhost
