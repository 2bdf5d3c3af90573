// Resampling of 8-bit interleaved pictures (1 or 4 channels), separable: each
// axis is resampled on its own, rows first, in fixed point.
//
// Per axis, from S source samples to D destination samples:
//   D == S  the identity (one weight of 4096);
//   D <  S  area average: destination sample i covers the source interval
//           [i*S/D, (i+1)*S/D); each source sample weighs its overlap with it;
//   D >  S  bilinear between pixel centres: destination sample i reads the
//           source at x = (i + 0.5) * S / D - 0.5, clamped to [0, S - 1].
// Weights are integers summing to exactly 4096 per destination sample: area
// weights are the differences of the rounded running sums round(4096 * c / S)
// of the overlaps c (in units of 1/D source sample); the bilinear weight of the
// right neighbour is round(4096 * frac), the left one takes the rest; rounding
// is half up.
// The row pass keeps 7 fraction bits: h = (sum(w * p) + 16) >> 5 (0..32640);
// the column pass gives the byte (sum(w * h) + 2^18) >> 19. Equal sizes are a
// plain byte copy, and an axis of equal size passes its samples unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vxhost {

// One axis of a resampling: destination sample i takes `taps` source samples
// from first[i] on with the weights weights[i * taps ...] (sum 4096).
struct ScaleAxis {
  int taps = 0;
  std::vector<int32_t> first;
  std::vector<int16_t> weights;
};

// The table for sourceSize -> destinationSize samples (both positive).
ScaleAxis makeScaleAxis(int sourceSize, int destinationSize);

// Scales the whole source picture to fill the whole destination. `channels` is
// 1 or 4; strides are in bytes. The plain version is the reference; the
// other one gives the same bytes faster.
void scalePicturePlain(const uint8_t *src, ptrdiff_t srcStride, int srcWidth, int srcHeight,
                       uint8_t *dst, ptrdiff_t dstStride, int dstWidth, int dstHeight,
                       int channels);
void scalePicture(const uint8_t *src, ptrdiff_t srcStride, int srcWidth, int srcHeight,
                  uint8_t *dst, ptrdiff_t dstStride, int dstWidth, int dstHeight, int channels);

} // namespace vxhost
