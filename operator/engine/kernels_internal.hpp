// Internal to the kernels: one-pixel forms of the blends, shared by the plain
// kernels and the row tails of the fast ones, and the AVX2 kernels (callable
// only when haveAvx2()).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace tileron::kernels {

inline constexpr uint32_t kCube = 255u * 255u * 255u;

inline uint32_t overlayPixel(uint32_t s, uint32_t d) {
  const uint32_t a = s & 0xFFu;
  if (a == 0) return d;
  if (a == 255) return s;
  uint32_t out = std::min((d & 0xFFu) + a, 255u);
  for (int shift = 8; shift < 32; shift += 8) {
    const uint32_t sc = (s >> shift) & 0xFFu, dc = (d >> shift) & 0xFFu;
    out |= ((sc * a + dc * (255u - a)) / 255u) << shift;
  }
  return out;
}

// opacity 0..255.
inline uint32_t maskPixel(uint32_t s, uint32_t d, uint32_t maskByte, uint32_t opacity) {
  const uint32_t n = (s & 0xFFu) * opacity * (255u - maskByte);
  if (n == 0) return d;
  const uint32_t t = d & 0xFFu;
  const uint32_t alpha = std::max(n / 65025u, t);
  if (t == 0) return (s & 0xFFFFFF00u) | alpha;
  uint32_t out = alpha;
  for (int shift = 8; shift < 32; shift += 8) {
    const uint32_t sc = (s >> shift) & 0xFFu, dc = (d >> shift) & 0xFFu;
    out |= ((dc * (kCube - n) + sc * n) / kCube) << shift;
  }
  return out;
}

void overlayAvx2(const uint32_t *src, ptrdiff_t srcStride, uint32_t *dst, ptrdiff_t dstStride,
                 int width, int height);
void maskCompositeAvx2(const uint32_t *picture, ptrdiff_t pictureStride, uint32_t *dst,
                       ptrdiff_t dstStride, const uint8_t *mask, ptrdiff_t maskStride, int width,
                       int height, int opacity);

} // namespace tileron::kernels
