#include "engine/kernels.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/kernels_internal.hpp"

namespace tileron::kernels {

namespace {

void overlayPlain(const uint32_t *src, ptrdiff_t srcStride, uint32_t *dst, ptrdiff_t dstStride,
                  int width, int height) {
  for (int r = 0; r < height; ++r, src += srcStride, dst += dstStride)
    for (int i = 0; i < width; ++i) dst[i] = overlayPixel(src[i], dst[i]);
}

void maskCompositePlain(const uint32_t *picture, ptrdiff_t pictureStride, uint32_t *dst,
                        ptrdiff_t dstStride, const uint8_t *mask, ptrdiff_t maskStride, int width,
                        int height, int opacity) {
  for (int r = 0; r < height; ++r, picture += pictureStride, dst += dstStride, mask += maskStride)
    for (int i = 0; i < width; ++i)
      dst[i] = maskPixel(picture[i], dst[i], mask[i], static_cast<uint32_t>(opacity));
}

uint32_t gradientPixel(uint32_t v, uint32_t a, uint32_t b) {
  uint32_t out = 0xFFu;
  for (int shift = 8; shift < 32; shift += 8) {
    const uint32_t ak = (a >> shift) & 0xFFu, bk = (b >> shift) & 0xFFu;
    out |= ((v * bk + (255u - v) * ak) / 255u) << shift;
  }
  return out;
}

void gradientMapPlain(const uint8_t *ramp, ptrdiff_t rampStride, uint32_t *dst,
                      ptrdiff_t dstStride, int width, int height, uint32_t colourA,
                      uint32_t colourB) {
  for (int r = 0; r < height; ++r, ramp += rampStride, dst += dstStride)
    for (int i = 0; i < width; ++i) dst[i] = gradientPixel(ramp[i], colourA, colourB);
}

// The ramp has 256 values, so one word per value covers every pixel.
void gradientMapTable(const uint8_t *ramp, ptrdiff_t rampStride, uint32_t *dst,
                      ptrdiff_t dstStride, int width, int height, uint32_t colourA,
                      uint32_t colourB) {
  uint32_t table[256];
  for (uint32_t v = 0; v < 256; ++v) table[v] = gradientPixel(v, colourA, colourB);
  for (int r = 0; r < height; ++r, ramp += rampStride, dst += dstStride)
    for (int i = 0; i < width; ++i) dst[i] = table[ramp[i]];
}

// Saturating addition of `value` to the alpha byte of one pixel.
inline void addAlpha(uint32_t &pixel, int value) {
  const uint32_t alpha = std::min<uint32_t>((pixel & 0xFFu) + static_cast<uint32_t>(value), 255u);
  pixel = (pixel & 0xFFFFFF00u) | alpha;
}

// The pixels one outer step of a bar line walks: a column (along rows) or a
// row (along columns). Indexes outside 0..extent-1 are skipped.
struct Span {
  uint32_t *first;
  ptrdiff_t step;
  long extent;
  void add(long index, int value) const {
    if (index >= 0 && index < extent) addAlpha(first[index * step], value);
  }
};

// Positions w = s, s+1, ... while w < s + t; each covers [w, w+1).
void forwardSpan(const Span &span, double s, double t) {
  const double end = s + t;
  for (double w = s; w < end; w += 1.0) {
    if (w >= 0) {
      const long i = static_cast<long>(w);
      if (i >= span.extent) break; // every later position lies further out
      const int v = static_cast<int>((1.0 - (w - static_cast<double>(i))) * 255.0);
      span.add(i, v);
      // trunc(w) + 1, not trunc(w + 1): the latter rounds up to i + 2 when w
      // lies a hair below a whole number and would leave a hole.
      span.add(i + 1, 255 - v);
    } else if (w > -1.0) {
      span.add(0, static_cast<int>((1.0 + w) * 255.0));
    }
  }
}

// Positions w = s, s-1, ... while w > s - t; each covers [w-1, w). Between -1
// and 0 only pixel 0 gets trunc((1 + w) * 255), as in the forward walk.
void backwardSpan(const Span &span, double s, double t) {
  const double end = s - t;
  for (double w = s; w > end; w -= 1.0) {
    if (w >= 0) {
      const long i = static_cast<long>(w);
      const int v = static_cast<int>((w - static_cast<double>(i)) * 255.0);
      span.add(i, v);
      span.add(i - 1, 255 - v);
    } else if (w > -1.0) {
      span.add(0, static_cast<int>((1.0 + w) * 255.0));
    } else {
      break; // every later position lies further out
    }
  }
}

} // namespace

const KernelSet &plainKernels() {
  static const KernelSet set{"plain", overlayPlain, maskCompositePlain, gradientMapPlain};
  return set;
}

bool haveAvx2() {
  static const bool have = __builtin_cpu_supports("avx2");
  return have;
}

const KernelSet &fastKernels() {
  static const KernelSet set = haveAvx2()
      ? KernelSet{"avx2", overlayAvx2, maskCompositeAvx2, gradientMapTable}
      : KernelSet{"table", overlayPlain, maskCompositePlain, gradientMapTable};
  return set;
}

void copyRows(const uint8_t *src, ptrdiff_t srcStride, uint8_t *dst, ptrdiff_t dstStride,
              size_t rowBytes, int height) {
  for (int r = 0; r < height; ++r, src += srcStride, dst += dstStride)
    std::memcpy(dst, src, rowBytes);
}

void fillPixels(uint32_t *dst, ptrdiff_t stride, int width, int height, uint32_t value) {
  for (int r = 0; r < height; ++r, dst += stride) std::fill(dst, dst + width, value);
}

void setAlpha(uint32_t *dst, ptrdiff_t stride, int width, int height, uint8_t alpha) {
  for (int r = 0; r < height; ++r, dst += stride)
    for (int i = 0; i < width; ++i) dst[i] = (dst[i] & 0xFFFFFF00u) | alpha;
}

void fillRamp(uint8_t *dst, ptrdiff_t stride, int size) {
  // A running sum, as the ramp was always made: s_r is not exactly r * step.
  const double step = 255.0 / size;
  double s = 0.0;
  for (int r = 0; r < size; ++r, dst += stride) {
    std::memset(dst, static_cast<int>(s), static_cast<size_t>(size));
    s += step;
  }
}

void rotateBilinear(const uint8_t *src, ptrdiff_t srcStride, int width, int height,
                    uint8_t *dst, ptrdiff_t dstStride, int size, double degrees, int x0, int y0,
                    int outWidth, int outHeight) {
  // Real halves: with an even size the square's centre lies between pixels, so
  // the radius below is never 0.
  const double centre = (size - 1) / 2.0;
  const double srcCentreX = (width - 1) / 2.0, srcCentreY = (height - 1) / 2.0;
  const double turn = degrees * 3.1415927 / 180.0;
  auto at = [&](long x, long y) -> double {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0.0;
    return src[y * srcStride + x];
  };
  for (int j = 0; j < outHeight; ++j, dst += dstStride) {
    const double dy = (y0 + j) - centre;
    for (int i = 0; i < outWidth; ++i) {
      const double dx = (x0 + i) - centre;
      const double r = std::sqrt(dx * dx + dy * dy);
      double t = std::acos(dx / r);
      if (dy < 0) t = -t;
      const double p = t + turn;
      const double sx = std::cos(p) * r + srcCentreX;
      const double sy = std::sin(p) * r + srcCentreY;
      const double fx = std::floor(sx), fy = std::floor(sy);
      double value = 0.0;
      // Beyond one pixel outside the source every neighbour is outside.
      if (fx >= -1.0 && fy >= -1.0 && fx < width && fy < height) {
        const long ix = static_cast<long>(fx), iy = static_cast<long>(fy);
        const double ux = sx - fx, uy = sy - fy;
        value = at(ix, iy) * ((1.0 - ux) * (1.0 - uy)) + at(ix + 1, iy) * (ux * (1.0 - uy)) +
                at(ix, iy + 1) * ((1.0 - ux) * uy) + at(ix + 1, iy + 1) * (ux * uy);
      }
      dst[i] = static_cast<uint8_t>(value + 0.5); // value >= 0: half away from zero
    }
  }
}

void barLine(uint32_t *pixels, ptrdiff_t stride, int width, int height, double x1, double y1,
             double x2, double y2, double thickness) {
  if (x1 > x2) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  const double dx = x2 - x1, dy = y2 - y1, t = thickness;
  auto column = [&](long c) { return Span{pixels + c, stride, height}; };
  auto row = [&](long r) { return Span{pixels + r * stride, 1, width}; };
  if (dy >= 0 && dx >= dy) { // shallow, going down: one column per step
    double s = y1 - t / 2;
    for (long c = static_cast<long>(x1), last = static_cast<long>(x2); c <= last && c < width;
         ++c, s += dy / dx)
      if (c >= 0) forwardSpan(column(c), s, t);
  } else if (dy >= 0) { // steep, going down: one row per step
    double s = x1 - t / 2;
    for (long r = static_cast<long>(y1), last = static_cast<long>(y2); r <= last && r < height;
         ++r, s += dx / dy)
      if (r >= 0) forwardSpan(row(r), s, t);
  } else if (dx >= -dy) { // shallow, going up: the span walks upwards
    double s = y1 + t / 2;
    for (long c = static_cast<long>(x1), last = static_cast<long>(x2); c <= last && c < width;
         ++c, s += dy / dx)
      if (c >= 0) backwardSpan(column(c), s, t);
  } else { // steep, going up: rows from the lower end upwards
    double s = x1 - t / 2;
    for (long r = static_cast<long>(y1), last = static_cast<long>(y2); r >= last && r >= 0;
         --r, s -= dx / dy)
      if (r < height) forwardSpan(row(r), s, t);
  }
}

} // namespace tileron::kernels
