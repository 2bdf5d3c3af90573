// Mask image resampler: changes the size of an interleaved 8-bit image in both
// directions at once by exact area weighting; in a direction that enlarges,
// source values are first interpolated linearly so enlarged shapes get soft
// edges.
#pragma once

#include <cstdint>

namespace tileron {

// One image as the resampler sees it. The two reserved words are set to 0 by
// the caller and not used.
struct ImagePlane {
  uint8_t *pixels = nullptr; // first byte of the top row
  int32_t rowStride = 0;     // bytes from one row to the next
  int32_t reserved0 = 0;
  int32_t reserved1 = 0;
  int32_t width = 0;         // pixels per row
  int32_t height = 0;        // rows
  int32_t bytesPerPixel = 1; // interleaved 8-bit components
};

// Fills every destination pixel from the source (same bytesPerPixel; the
// source is only read). Returns 1, or 0 when a plane is empty or malformed or
// working memory cannot be had; then every destination byte it can reach is
// 255 (outside every part).
int resamplePlane(const ImagePlane &source, const ImagePlane &destination);

} // namespace tileron
