#include "host/textures/texture_pixels.hpp"

#include <algorithm>
#include <cstring>

namespace vxhost {

void samples16To8(const uint16_t *in, uint8_t *out, size_t count) {
  for (size_t i = 0; i < count; ++i) out[i] = uint8_t((uint32_t(in[i]) * 255u + 32767u) / 65535u);
}

void rgbaToLumaRow(const uint8_t *rgba, uint8_t *luma, int width) {
  // 0.299, 0.587, 0.114 in 1/65536: 19595 + 38470 + 7471 = 65536.
  for (int x = 0; x < width; ++x, rgba += 4)
    luma[x] = uint8_t((19595u * rgba[0] + 38470u * rgba[1] + 7471u * rgba[2] + 32768u) >> 16);
}

void tileRows(uint8_t *dst, size_t dstRowBytes, int dstHeight, const uint8_t *src,
              size_t srcRowBytes, int srcHeight) {
  for (int y = 0; y < dstHeight; ++y) {
    uint8_t *row = dst + size_t(y) * dstRowBytes;
    const uint8_t *from = src + size_t(y % srcHeight) * srcRowBytes;
    for (size_t x = 0; x < dstRowBytes; x += srcRowBytes)
      std::memcpy(row + x, from, std::min(srcRowBytes, dstRowBytes - x));
  }
}

} // namespace vxhost
