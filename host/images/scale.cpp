// opScaleImage and its resampling kernels (see scale.hpp for the arithmetic).
#include "host/images/scale.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "host/images/images.hpp"

namespace vxhost {

namespace {

constexpr int kWeightOne = 1 << 12;    // the weights of one sample sum to this
constexpr int kRowShift = 5;           // 12 weight bits - 7 kept fraction bits
constexpr int kColumnShift = 12 + 7;   // back to 8 bits after the column pass

struct Tap {
  int32_t index;
  int32_t weight;
};

// The (source index, weight) pairs of destination sample i.
void axisTaps(int S, int D, int i, std::vector<Tap> &taps) {
  taps.clear();
  if (D == S) {
    taps.push_back({i, kWeightOne});
  } else if (D < S) {
    // In units of 1/D source sample, sample i covers [i*S, (i+1)*S) and source
    // sample j covers [j*D, (j+1)*D).
    const int64_t begin = int64_t(i) * S, end = begin + S;
    int64_t covered = 0;
    int32_t given = 0;
    for (int64_t j = begin / D; j * D < end; ++j) {
      covered += std::min((j + 1) * D, end) - std::max(j * D, begin);
      const int32_t upTo = static_cast<int32_t>((covered * 2 * kWeightOne + S) / (2 * int64_t(S)));
      taps.push_back({static_cast<int32_t>(j), upTo - given});
      given = upTo;
    }
  } else {
    // x = (2i + 1) * S / (2D) - 0.5 = n / (2D)
    const int64_t n = int64_t(2 * i + 1) * S - D;
    int32_t j0 = 0, right = 0;
    if (n > 0) {
      j0 = static_cast<int32_t>(n / (2 * int64_t(D)));
      const int64_t rem = n % (2 * int64_t(D));
      right = static_cast<int32_t>((rem * kWeightOne + D) / (2 * int64_t(D)));
    }
    const int32_t j1 = std::min(j0 + 1, S - 1);
    if (j1 == j0 || right == 0) {
      taps.push_back({j0, kWeightOne});
    } else {
      taps.push_back({j0, kWeightOne - right});
      taps.push_back({j1, right});
    }
  }
}

} // namespace

ScaleAxis makeScaleAxis(int S, int D) {
  ScaleAxis axis;
  std::vector<std::vector<Tap>> all(static_cast<size_t>(D));
  for (int i = 0; i < D; ++i) {
    axisTaps(S, D, i, all[size_t(i)]);
    axis.taps = std::max(axis.taps, static_cast<int>(all[size_t(i)].size()));
  }
  // Every sample gets the same number of taps: a window of `taps` consecutive
  // source samples that stays inside the source, unused weights 0.
  axis.first.resize(size_t(D));
  axis.weights.assign(size_t(D) * size_t(axis.taps), 0);
  for (int i = 0; i < D; ++i) {
    const std::vector<Tap> &taps = all[size_t(i)];
    const int32_t first = std::min(taps.front().index, S - axis.taps);
    axis.first[size_t(i)] = first;
    for (const Tap &t : taps)
      axis.weights[size_t(i) * size_t(axis.taps) + size_t(t.index - first)] =
          static_cast<int16_t>(t.weight);
  }
  return axis;
}

namespace {

using RowPass = void (*)(const uint8_t *src, int16_t *out, const ScaleAxis &axis, int channels);
using ColumnPass = void (*)(const int16_t *const *rows, const int16_t *weights, int taps,
                            uint8_t *dst, int count);

void rowPassPlain(const uint8_t *src, int16_t *out, const ScaleAxis &axis, int channels) {
  const int taps = axis.taps;
  const int count = static_cast<int>(axis.first.size());
  for (int x = 0; x < count; ++x) {
    const uint8_t *s = src + ptrdiff_t(axis.first[size_t(x)]) * channels;
    const int16_t *w = &axis.weights[size_t(x) * size_t(taps)];
    for (int c = 0; c < channels; ++c) {
      int32_t sum = 0;
      for (int k = 0; k < taps; ++k)
        sum += w[k] * s[k * channels + c];
      out[x * channels + c] = static_cast<int16_t>((sum + (1 << (kRowShift - 1))) >> kRowShift);
    }
  }
}

// Column pass over the samples begin..count-1 of the rows.
void columnRange(const int16_t *const *rows, const int16_t *weights, int taps, uint8_t *dst,
                 int begin, int count) {
  for (int i = begin; i < count; ++i) {
    int32_t sum = 0;
    for (int k = 0; k < taps; ++k)
      sum += weights[k] * rows[k][i];
    dst[i] = static_cast<uint8_t>((sum + (1 << (kColumnShift - 1))) >> kColumnShift);
  }
}

void columnPassPlain(const int16_t *const *rows, const int16_t *weights, int taps, uint8_t *dst,
                     int count) {
  columnRange(rows, weights, taps, dst, 0, count);
}

#if defined(__SSE2__)

inline __m128i weightPair(int16_t a, int16_t b) {
  return _mm_set1_epi32(int32_t(uint16_t(a)) | (int32_t(uint16_t(b)) << 16));
}

inline __m128i loadPixel(const uint8_t *p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

// Four channels: the channels of two neighbouring taps are interleaved into
// 16-bit lanes so that one multiply-add weighs both.
void rowPassFast(const uint8_t *src, int16_t *out, const ScaleAxis &axis, int channels) {
  if (channels != 4) {
    rowPassPlain(src, out, axis, channels);
    return;
  }
  const __m128i zero = _mm_setzero_si128();
  const __m128i round = _mm_set1_epi32(1 << (kRowShift - 1));
  const int taps = axis.taps;
  const int count = static_cast<int>(axis.first.size());
  for (int x = 0; x < count; ++x) {
    const uint8_t *s = src + ptrdiff_t(axis.first[size_t(x)]) * 4;
    const int16_t *w = &axis.weights[size_t(x) * size_t(taps)];
    __m128i sum = round;
    int k = 0;
    for (; k + 1 < taps; k += 2) {
      const __m128i ab =
          _mm_unpacklo_epi8(_mm_unpacklo_epi8(loadPixel(s + 4 * k), loadPixel(s + 4 * k + 4)), zero);
      sum = _mm_add_epi32(sum, _mm_madd_epi16(ab, weightPair(w[k], w[k + 1])));
    }
    if (k < taps) {
      const __m128i a = _mm_unpacklo_epi8(_mm_unpacklo_epi8(loadPixel(s + 4 * k), zero), zero);
      sum = _mm_add_epi32(sum, _mm_madd_epi16(a, weightPair(w[k], 0)));
    }
    sum = _mm_srai_epi32(sum, kRowShift);
    _mm_storel_epi64(reinterpret_cast<__m128i *>(out + 4 * x), _mm_packs_epi32(sum, sum));
  }
}

void columnPassFast(const int16_t *const *rows, const int16_t *weights, int taps, uint8_t *dst,
                    int count) {
  const __m128i round = _mm_set1_epi32(1 << (kColumnShift - 1));
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    __m128i lo = round, hi = round;
    int k = 0;
    for (; k + 1 < taps; k += 2) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[k] + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[k + 1] + i));
      const __m128i w = weightPair(weights[k], weights[k + 1]);
      lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, b), w));
      hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, b), w));
    }
    if (k < taps) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(rows[k] + i));
      const __m128i w = weightPair(weights[k], 0);
      const __m128i zero = _mm_setzero_si128();
      lo = _mm_add_epi32(lo, _mm_madd_epi16(_mm_unpacklo_epi16(a, zero), w));
      hi = _mm_add_epi32(hi, _mm_madd_epi16(_mm_unpackhi_epi16(a, zero), w));
    }
    const __m128i words = _mm_packs_epi32(_mm_srai_epi32(lo, kColumnShift),
                                          _mm_srai_epi32(hi, kColumnShift));
    _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + i), _mm_packus_epi16(words, words));
  }
  columnRange(rows, weights, taps, dst, i, count);
}

#else

void rowPassFast(const uint8_t *src, int16_t *out, const ScaleAxis &axis, int channels) {
  rowPassPlain(src, out, axis, channels);
}
void columnPassFast(const int16_t *const *rows, const int16_t *weights, int taps, uint8_t *dst,
                    int count) {
  columnPassPlain(rows, weights, taps, dst, count);
}

#endif

void scaleWith(RowPass rowPass, ColumnPass columnPass, const uint8_t *src, ptrdiff_t srcStride,
               int srcWidth, int srcHeight, uint8_t *dst, ptrdiff_t dstStride, int dstWidth,
               int dstHeight, int channels) {
  if (srcWidth == dstWidth && srcHeight == dstHeight) {
    for (int y = 0; y < dstHeight; ++y)
      std::memcpy(dst + y * dstStride, src + y * srcStride, size_t(dstWidth) * size_t(channels));
    return;
  }
  const ScaleAxis across = makeScaleAxis(srcWidth, dstWidth);
  const ScaleAxis down = makeScaleAxis(srcHeight, dstHeight);
  const int taps = down.taps;
  const size_t rowLength = size_t(dstWidth) * size_t(channels);
  // The row-scaled source rows that the column pass reads: a window of `taps`
  // consecutive rows that only moves down, kept in a ring; source row j lives
  // in slot j % taps.
  std::vector<int16_t> ring(size_t(taps) * rowLength);
  std::vector<int> ringRow(static_cast<size_t>(taps), -1);
  std::vector<const int16_t *> rows(static_cast<size_t>(taps));
  for (int y = 0; y < dstHeight; ++y) {
    const int first = down.first[size_t(y)];
    for (int k = 0; k < taps; ++k) {
      const int j = first + k;
      const size_t slot = size_t(j % taps);
      int16_t *row = &ring[slot * rowLength];
      if (ringRow[slot] != j) {
        rowPass(src + j * srcStride, row, across, channels);
        ringRow[slot] = j;
      }
      rows[size_t(k)] = row;
    }
    columnPass(rows.data(), &down.weights[size_t(y) * size_t(taps)], taps, dst + y * dstStride,
               static_cast<int>(rowLength));
  }
}

} // namespace

void scalePicturePlain(const uint8_t *src, ptrdiff_t srcStride, int srcWidth, int srcHeight,
                       uint8_t *dst, ptrdiff_t dstStride, int dstWidth, int dstHeight,
                       int channels) {
  scaleWith(rowPassPlain, columnPassPlain, src, srcStride, srcWidth, srcHeight, dst, dstStride,
            dstWidth, dstHeight, channels);
}

void scalePicture(const uint8_t *src, ptrdiff_t srcStride, int srcWidth, int srcHeight,
                  uint8_t *dst, ptrdiff_t dstStride, int dstWidth, int dstHeight, int channels) {
  scaleWith(rowPassFast, columnPassFast, src, srcStride, srcWidth, srcHeight, dst, dstStride,
            dstWidth, dstHeight, channels);
}

} // namespace vxhost

extern "C" int32_t opScaleImage(const OpImage *source, OpImage *destination, int32_t) {
  using namespace vxhost;
  if (!source || !destination || source->kind != destination->kind || !source->pixels ||
      !destination->pixels || source->width <= 0 || source->height <= 0 ||
      destination->width <= 0 || destination->height <= 0)
    return 0;
  const int channels = source->kind == OP_KIND_YUVA ? 4 : source->kind == OP_KIND_8 ? 1 : 0;
  if (channels == 0)
    return 0;
  if (source == destination)
    return 1;
  try {
    scalePicture(source->pixels, ptrdiff_t(rowBytes(source)), source->width, source->height,
                 destination->pixels, ptrdiff_t(rowBytes(destination)), destination->width,
                 destination->height, channels);
  } catch (const std::bad_alloc &) {
    return 0;
  }
  return 1;
}
