// opScaleImage and its resampling kernels (see scale.hpp for the arithmetic).
#include "host/images/scale.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include <immintrin.h>

#include "host/support/cpu.hpp"

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
  std::vector<Tap> taps;
  for (int i = 0; i < D; ++i) {
    axisTaps(S, D, i, taps);
    axis.taps = std::max(axis.taps, static_cast<int>(taps.size()));
  }
  // Every sample gets the same number of taps: a window of `taps` consecutive
  // source samples that stays inside the source, unused weights 0.
  axis.first.resize(size_t(D));
  axis.weights.assign(size_t(D) * size_t(axis.taps), 0);
  for (int i = 0; i < D; ++i) {
    axisTaps(S, D, i, taps);
    const int32_t first = std::min(taps.front().index, S - axis.taps);
    axis.first[size_t(i)] = first;
    for (const Tap &t : taps)
      axis.weights[size_t(i) * size_t(axis.taps) + size_t(t.index - first)] =
          static_cast<int16_t>(t.weight);
  }
  return axis;
}

namespace {

// Row pass over the destination pixels begin..count-1 of one source row.
void rowRange(const uint8_t *src, int16_t *out, const ScaleAxis &axis, int channels, int begin, int count) {
  const int taps = axis.taps;
  for (int x = begin; x < count; ++x) {
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

#define VXHOST_AVX2 __attribute__((target("avx2")))

// The weights of a row pass laid out for rowPassAvx2: for each group of four
// destination pixels x0..x3 and each pair of taps (k, k + 1), 64 bytes:
// the pair (w[k], w[k + 1]) four times for x0, x2, x1, x3 (the lane order
// of the pixels below). A missing last tap weighs 0.
std::vector<int32_t> avx2RowWeights(const ScaleAxis &axis) {
  const int count = static_cast<int>(axis.first.size()), pairs = (axis.taps + 1) / 2;
  const int groups = (count + 3) / 4;
  std::vector<int32_t> table(size_t(groups) * size_t(pairs) * 16, 0);
  for (int g = 0; g < groups; ++g)
    for (int p = 0; p < pairs; ++p)
      for (int slot = 0; slot < 4; ++slot) {
        const int x = 4 * g + (slot == 1 ? 2 : slot == 2 ? 1 : slot);
        if (x >= count)
          continue;
        const int16_t *w = &axis.weights[size_t(x) * size_t(axis.taps)];
        const int16_t second = 2 * p + 1 < axis.taps ? w[2 * p + 1] : 0;
        const int32_t pair = int32_t(uint16_t(w[2 * p])) | int32_t(uint16_t(second)) << 16;
        std::fill_n(&table[(size_t(g) * size_t(pairs) + size_t(p)) * 16 + size_t(slot) * 4], 4, pair);
      }
  return table;
}

VXHOST_AVX2 inline __m256i loadTwoPixelsEach(const uint8_t *a, const uint8_t *b, const uint8_t *c,
                                             const uint8_t *d) {
  // Eight bytes (two pixels) from each of a, b | c, d.
  const __m128i low = _mm_castpd_si128(
      _mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(a))),
                   reinterpret_cast<const double *>(b)));
  const __m128i high = _mm_castpd_si128(
      _mm_loadh_pd(_mm_castsi128_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(c))),
                   reinterpret_cast<const double *>(d)));
  return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// Four channels, four destination pixels at a time. Two neighbouring taps'
// pixels are interleaved channel by channel into 16-bit lanes, so that one
// multiply-add weighs both taps of a channel; the lanes hold x0 | x2 and
// x1 | x3, which the final pack puts back in order. A pixel count that is
// not a multiple of four ends through the plain pass.
VXHOST_AVX2 void rowPassAvx2(const uint8_t *src, int16_t *out, const ScaleAxis &axis,
                             const int32_t *weights) {
  const int taps = axis.taps, pairs = (taps + 1) / 2;
  const int count = static_cast<int>(axis.first.size());
  // Bytes a0 b0 a1 b1 a2 b2 a3 b3 from a0..a3 b0..b3, in each 8-byte half.
  const __m256i interleave = _mm256_setr_epi8(0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15,
                                              0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i round = _mm256_set1_epi32(1 << (kRowShift - 1));
  int x = 0;
  for (; x + 4 <= count; x += 4, weights += 16 * pairs) {
    const uint8_t *s0 = src + ptrdiff_t(axis.first[size_t(x)]) * 4;
    const uint8_t *s1 = src + ptrdiff_t(axis.first[size_t(x) + 1]) * 4;
    const uint8_t *s2 = src + ptrdiff_t(axis.first[size_t(x) + 2]) * 4;
    const uint8_t *s3 = src + ptrdiff_t(axis.first[size_t(x) + 3]) * 4;
    __m256i even = round, odd = round; // x0 | x2 and x1 | x3
    int k = 0;
    for (; k + 1 < taps; k += 2) {
      const __m256i pixels =
          _mm256_shuffle_epi8(loadTwoPixelsEach(s0 + 4 * k, s1 + 4 * k, s2 + 4 * k, s3 + 4 * k), interleave);
      const __m256i *w = reinterpret_cast<const __m256i *>(weights + 8 * k);
      even = _mm256_add_epi32(even, _mm256_madd_epi16(_mm256_unpacklo_epi8(pixels, zero), _mm256_loadu_si256(w)));
      odd = _mm256_add_epi32(odd, _mm256_madd_epi16(_mm256_unpackhi_epi8(pixels, zero), _mm256_loadu_si256(w + 1)));
    }
    if (k < taps) {
      // The last tap alone: each channel in a 32-bit lane is the pair (p, 0).
      int32_t p[4];
      std::memcpy(&p[0], s0 + 4 * k, 4);
      std::memcpy(&p[1], s1 + 4 * k, 4);
      std::memcpy(&p[2], s2 + 4 * k, 4);
      std::memcpy(&p[3], s3 + 4 * k, 4);
      const __m256i *w = reinterpret_cast<const __m256i *>(weights + 8 * k);
      even = _mm256_add_epi32(
          even, _mm256_madd_epi16(_mm256_cvtepu8_epi32(_mm_set_epi32(0, 0, p[2], p[0])), _mm256_loadu_si256(w)));
      odd = _mm256_add_epi32(
          odd, _mm256_madd_epi16(_mm256_cvtepu8_epi32(_mm_set_epi32(0, 0, p[3], p[1])), _mm256_loadu_si256(w + 1)));
    }
    // packs gives x0 x1 | x2 x3.
    _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 4 * x),
                        _mm256_packs_epi32(_mm256_srai_epi32(even, kRowShift), _mm256_srai_epi32(odd, kRowShift)));
  }
  rowRange(src, out, axis, 4, x, count);
}

// Sixteen samples at a time; the two rows of a tap pair are interleaved into
// 16-bit lanes for one multiply-add. The tail goes through the plain pass.
VXHOST_AVX2 void columnPassAvx2(const int16_t *const *rows, const int16_t *weights, int taps, uint8_t *dst,
                                int count) {
  const __m256i round = _mm256_set1_epi32(1 << (kColumnShift - 1));
  const __m256i zero = _mm256_setzero_si256();
  int i = 0;
  for (; i + 16 <= count; i += 16) {
    __m256i lo = round, hi = round;
    for (int k = 0; k < taps; k += 2) {
      const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[k] + i));
      const __m256i b = k + 1 < taps ? _mm256_loadu_si256(reinterpret_cast<const __m256i *>(rows[k + 1] + i)) : zero;
      const int16_t second = k + 1 < taps ? weights[k + 1] : 0;
      const __m256i w = _mm256_set1_epi32(int32_t(uint16_t(weights[k])) | int32_t(uint16_t(second)) << 16);
      lo = _mm256_add_epi32(lo, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w));
      hi = _mm256_add_epi32(hi, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w));
    }
    // Unpacks and packs work within 128-bit lanes: lo holds samples 0-3 and
    // 8-11, hi 4-7 and 12-15, so the packs leave 0-7 at the start of the low
    // lane and 8-15 at the start of the high one; the permute joins them.
    const __m256i words =
        _mm256_packs_epi32(_mm256_srai_epi32(lo, kColumnShift), _mm256_srai_epi32(hi, kColumnShift));
    const __m256i bytes = _mm256_packus_epi16(words, words);
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + i),
                     _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, 0x08)));
  }
  columnRange(rows, weights, taps, dst, i, count);
}

// Sixteen source pixels of two rows to the 16-bit channels of eight
// destination pixels, each (S + 2) >> 2 of its 2 x 2 block: the rows' sums
// hold pixels 0-1 | 4-5 (low) and 2-3 | 6-7 (high) per register; adding each
// pixel's right neighbour (the upper 8 bytes of its lane) and taking the even
// pixels leaves destination pixels 0-1 | 2-3 in order.
VXHOST_AVX2 inline __m256i halvedBlocks(const uint8_t *a, const uint8_t *b) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i ra = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(a));
  const __m256i rb = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(b));
  const __m256i low = _mm256_add_epi16(_mm256_unpacklo_epi8(ra, zero), _mm256_unpacklo_epi8(rb, zero));
  const __m256i high = _mm256_add_epi16(_mm256_unpackhi_epi8(ra, zero), _mm256_unpackhi_epi8(rb, zero));
  const __m256i pairsLow = _mm256_add_epi16(low, _mm256_srli_si256(low, 8));
  const __m256i pairsHigh = _mm256_add_epi16(high, _mm256_srli_si256(high, 8));
  return _mm256_srli_epi16(_mm256_add_epi16(_mm256_unpacklo_epi64(pairsLow, pairsHigh), _mm256_set1_epi16(2)), 2);
}

// Halving both sides of a four-channel picture. With two taps of 2048 on
// each axis the row pass keeps 64 (p0 + p1) and the column pass gives
// (2^17 S + 2^18) >> 19 = (S + 2) >> 2 of the sum S of each 2 x 2 block: the
// same bytes, from one pass over the source. Eight destination pixels a step,
// the rest through the same sum one at a time.
VXHOST_AVX2 void halveAvx2(const uint8_t *src, ptrdiff_t srcStride, uint8_t *dst, ptrdiff_t dstStride,
                           int dstWidth, int dstHeight) {
  for (int y = 0; y < dstHeight; ++y) {
    const uint8_t *a = src + 2 * y * srcStride, *b = a + srcStride;
    uint8_t *out = dst + y * dstStride;
    int x = 0;
    for (; x + 8 <= dstWidth; x += 8) {
      // Destination pixels 0-1 | 2-3 and 4-5 | 6-7; the pack interleaves
      // their lanes, the permute puts them back in order.
      const __m256i first = halvedBlocks(a + 8 * x, b + 8 * x), second = halvedBlocks(a + 8 * x + 32, b + 8 * x + 32);
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(out + 4 * x),
                          _mm256_permute4x64_epi64(_mm256_packus_epi16(first, second), 0xD8));
    }
    for (; x < dstWidth; ++x)
      for (int c = 0; c < 4; ++c)
        out[4 * x + c] =
            uint8_t((a[8 * x + c] + a[8 * x + 4 + c] + b[8 * x + c] + b[8 * x + 4 + c] + 2) >> 2);
  }
}

// `fast`: the AVX2 passes where the processor has them (the row pass only
// for four channels), else the plain ones.
void scaleWith(bool fast, const uint8_t *src, ptrdiff_t srcStride, int srcWidth, int srcHeight, uint8_t *dst,
               ptrdiff_t dstStride, int dstWidth, int dstHeight, int channels) {
  if (srcWidth == dstWidth && srcHeight == dstHeight) {
    for (int y = 0; y < dstHeight; ++y)
      std::memcpy(dst + y * dstStride, src + y * srcStride, size_t(dstWidth) * size_t(channels));
    return;
  }
  const bool avx2 = fast && haveAvx2();
  if (avx2 && channels == 4 && srcWidth == 2 * dstWidth && srcHeight == 2 * dstHeight) {
    halveAvx2(src, srcStride, dst, dstStride, dstWidth, dstHeight);
    return;
  }
  const ScaleAxis across = makeScaleAxis(srcWidth, dstWidth);
  const ScaleAxis down = makeScaleAxis(srcHeight, dstHeight);
  const bool avx2Rows = avx2 && channels == 4;
  const std::vector<int32_t> rowWeights = avx2Rows ? avx2RowWeights(across) : std::vector<int32_t>{};
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
        if (avx2Rows)
          rowPassAvx2(src + j * srcStride, row, across, rowWeights.data());
        else
          rowRange(src + j * srcStride, row, across, channels, 0, dstWidth);
        ringRow[slot] = j;
      }
      rows[size_t(k)] = row;
    }
    const int16_t *weights = &down.weights[size_t(y) * size_t(taps)];
    if (avx2)
      columnPassAvx2(rows.data(), weights, taps, dst + y * dstStride, static_cast<int>(rowLength));
    else
      columnRange(rows.data(), weights, taps, dst + y * dstStride, 0, static_cast<int>(rowLength));
  }
}

} // namespace

void scalePicturePlain(const uint8_t *src, ptrdiff_t srcStride, int srcWidth, int srcHeight,
                       uint8_t *dst, ptrdiff_t dstStride, int dstWidth, int dstHeight,
                       int channels) {
  scaleWith(false, src, srcStride, srcWidth, srcHeight, dst, dstStride, dstWidth, dstHeight, channels);
}

void scalePicture(const uint8_t *src, ptrdiff_t srcStride, int srcWidth, int srcHeight,
                  uint8_t *dst, ptrdiff_t dstStride, int dstWidth, int dstHeight, int channels) {
  scaleWith(true, src, srcStride, srcWidth, srcHeight, dst, dstStride, dstWidth, dstHeight, channels);
}

} // namespace vxhost
