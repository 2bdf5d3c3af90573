// Row kernels of the texture library: PNG samples to 8-bit luma, and tiling
// (RGBA to YUVA words is the host's conversion, host/media/yuv.hpp). Plain
// functions over raw rows; the plumbing is in host/media/png.cpp and txlib.cpp.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vxhost {

// 16-bit samples to 8 bits, nearest: (v x 255 + 32767) / 65535.
void samples16To8(const uint16_t *in, uint8_t *out, size_t count);

// Full-range BT.601 luma of RGBA pixels (alpha ignored), fixed point with 16
// fraction bits whose weights sum to exactly 1, so a grey pixel keeps its value.
void rgbaToLumaRow(const uint8_t *rgba, uint8_t *luma, int width);

// Repeats the source rows (srcRowBytes each, srcHeight of them) over the
// destination's rows from its top-left corner; rows of both have no gap.
void tileRows(uint8_t *dst, size_t dstRowBytes, int dstHeight, const uint8_t *src,
              size_t srcRowBytes, int srcHeight);

} // namespace vxhost
