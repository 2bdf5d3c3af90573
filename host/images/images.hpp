// Pixel layout helpers shared by the host's image code.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vxhost/oplibcommon.h"

namespace vxhost {

// Bytes per pixel of an OpImage kind (1: 4, 2: 2, 3: 1); 0 for any other kind.
int bytesPerPixel(int32_t kind);

// Bytes of one row of `image` (rows have no gap).
inline size_t rowBytes(const OpImage *image) {
  return size_t(image->width) * size_t(bytesPerPixel(image->kind));
}

} // namespace vxhost
