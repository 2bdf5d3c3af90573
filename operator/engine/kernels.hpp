// Pixel kernels: plain functions over raw rows (first pixel, stride in
// elements, width, height). They never clip, allocate or check for null; the
// plumbing in compositing.cpp and bar_fill.cpp does that. Each kernel that has
// a fast version gives the same bytes as its plain version.
//
// 32-bit pixels are words 0xYYUUVVAA: byte 0 in memory is alpha (255 opaque),
// then V, U, Y.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tileron::kernels {

// Source over destination by source alpha a: 0 keeps the destination, 255
// copies the source word, otherwise Y, U, V = (s*a + d*(255-a)) / 255
// truncated and alpha = min(d + a, 255). (The general formula gives the same
// for a = 0 and a = 255.)
using OverlayFn = void (*)(const uint32_t *src, ptrdiff_t srcStride, uint32_t *dst,
                           ptrdiff_t dstStride, int width, int height);

// Picture through an 8-bit mask with opacity, evaluated exactly in integers:
// N = a * opacity * (255 - mask), D = 255^3. N = 0 keeps the destination;
// else alpha = max(N / 65025, t) (t the old alpha) and Y, U, V = s when t = 0,
// else (d*(D - N) + s*N) / D, all truncating. d*(D-N) + s*N <= 255^4 < 2^32.
using MaskCompositeFn = void (*)(const uint32_t *picture, ptrdiff_t pictureStride,
                                 uint32_t *dst, ptrdiff_t dstStride, const uint8_t *mask,
                                 ptrdiff_t maskStride, int width, int height, int opacity);

// Gradient colouring of an 8-bit ramp: each byte v becomes alpha 255 and
// colour bytes (v*B + (255-v)*A) / 255 truncated, per byte of the colour words
// A and B (their alpha bytes play no part).
using GradientMapFn = void (*)(const uint8_t *ramp, ptrdiff_t rampStride, uint32_t *dst,
                               ptrdiff_t dstStride, int width, int height, uint32_t colourA,
                               uint32_t colourB);

struct KernelSet {
  const char *name;
  OverlayFn overlay;
  MaskCompositeFn maskComposite;
  GradientMapFn gradientMap;
};

// The reference versions, one pixel at a time.
const KernelSet &plainKernels();
// The fast versions the plumbing uses, picked once on first use: AVX2 where
// the processor has it, tables otherwise; a kernel without a fast version on
// this processor is the plain one.
const KernelSet &fastKernels();

// True when the processor runs the AVX2 kernels.
bool haveAvx2();

// Exact divisions by multiply and shift, as the fast kernels do them:
// floor(x / 255) = x * 0x8081 >> 23 for x <= 65535, floor(n / 65025) =
// n * 16909061 >> 40 for n <= 255^3, floor(x / 255^3) = x * 271605921 >> 52
// for x <= 255^4. The last two hold because (M * d - 2^shift) * max < 2^shift;
// the tests check all three over their ranges.
inline constexpr uint32_t kDiv255Magic = 0x8081u;
inline constexpr int kDiv255Shift = 23;
inline constexpr uint32_t kDiv65025Magic = 16909061u;
inline constexpr int kDiv65025Shift = 40;
inline constexpr uint32_t kDivCubeMagic = 271605921u;
inline constexpr int kDivCubeShift = 52;

inline uint32_t div255(uint32_t x) { return (x * kDiv255Magic) >> kDiv255Shift; }
inline uint32_t div65025(uint32_t n) {
  return static_cast<uint32_t>((static_cast<uint64_t>(n) * kDiv65025Magic) >> kDiv65025Shift);
}
inline uint32_t div255cubed(uint32_t x) {
  return static_cast<uint32_t>((static_cast<uint64_t>(x) * kDivCubeMagic) >> kDivCubeShift);
}

// Copies `height` rows of `rowBytes` bytes.
void copyRows(const uint8_t *src, ptrdiff_t srcStride, uint8_t *dst, ptrdiff_t dstStride,
              size_t rowBytes, int height);

// Sets every pixel to `value`.
void fillPixels(uint32_t *dst, ptrdiff_t stride, int width, int height, uint32_t value);

// Sets the alpha byte of every pixel to `alpha`, leaving Y, U, V.
void setAlpha(uint32_t *dst, ptrdiff_t stride, int width, int height, uint8_t alpha);

// The gradient ramp: row r of every column holds trunc(s_r), where s_0 = 0 and
// s_{r+1} = s_r + 255 / size in double precision (running sum, not r * step).
void fillRamp(uint8_t *dst, ptrdiff_t stride, int size);

// Rotates the 8-bit `src` (width x height) into a size x size square by
// `degrees` (size even, so no output pixel sits on the centre) and writes the
// window of outWidth x outHeight square pixels starting at (x0, y0) to `dst`.
// Square pixel (x, y) samples the source bilinearly at the position turned by
// the angle about both centres, neighbours outside the source counting 0,
// rounded half away from zero. Each pixel depends on its own position only, so
// a window gives the same bytes as the whole square.
void rotateBilinear(const uint8_t *src, ptrdiff_t srcStride, int width, int height,
                    uint8_t *dst, ptrdiff_t dstStride, int size, double degrees, int x0, int y0,
                    int outWidth, int outHeight);

// Adds the coverage of the anti-aliased line (x1, y1)-(x2, y2) of `thickness`
// to the alpha bytes of the width x height pixels, saturating at 255. The
// caller keeps the values finite and within +-65536.
void barLine(uint32_t *pixels, ptrdiff_t stride, int width, int height, double x1, double y1,
             double x2, double y2, double thickness);

} // namespace tileron::kernels
