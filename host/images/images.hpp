// Pixel layout helpers shared by the host's image code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vxhost/oplibcommon.h"

namespace vxhost {

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

// CImages allocated and not yet released (also counted by liveImageCount).
int liveGuiImageCount();

// Bytes of one row of `image` (rows have no gap).
inline size_t rowBytes(const OpImage *image) {
  return size_t(image->width) * size_t(bytesPerPixel(image->kind));
}

} // namespace vxhost
