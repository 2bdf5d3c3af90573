// AVX2 versions of the blend kernels, eight pixels at a time; the row tails go
// through the one-pixel forms, so every byte equals the plain kernels'.
#include <immintrin.h>

#include "engine/kernels.hpp"
#include "engine/kernels_internal.hpp"

#define TILERON_AVX2 __attribute__((target("avx2")))

namespace tileron::kernels {

namespace {

// div255 in 16-bit lanes: the high half of the product is x * magic >> 16.
TILERON_AVX2 inline __m256i div255Epu16(__m256i x) {
  return _mm256_srli_epi16(
      _mm256_mulhi_epu16(x, _mm256_set1_epi16(static_cast<short>(kDiv255Magic))),
      kDiv255Shift - 16);
}

// floor(x * magic / 2^shift) in 32-bit lanes (shift >= 32), the 64-bit
// products made in the even lanes and, after moving down, the odd ones: the
// lane form of div65025 and div255cubed.
template <int shift>
TILERON_AVX2 inline __m256i mulShiftEpu32(__m256i x, __m256i magic) {
  const __m256i even = _mm256_srli_epi64(_mm256_mul_epu32(x, magic), shift);
  // The odd lane is the high half of its 64-bit element: shifting by
  // shift - 32 leaves floor(product / 2^shift) there.
  const __m256i odd =
      _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x, 32), magic), shift - 32);
  return _mm256_blend_epi32(even, odd, 0xAA);
}

// Eight opaque picture pixels at full opacity through mask bytes m (one in
// each 32-bit lane) onto d. There N = 65025 (255 - m) and D - N = 65025 m, so
// the exact blend reduces to alpha = max(255 - m, t) and colour =
// (d m + s (255 - m)) / 255, whose numerator is at most 65025 and fits the
// 16-bit lanes; t = 0 takes the picture's colour and m = 255 keeps d, as in
// the general case.
TILERON_AVX2 inline __m256i opaqueThroughMask(__m256i s, __m256i d, __m256i m) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi16(255);
  // Each pixel's mask byte spread over its four 16-bit lanes, in the order
  // the byte unpacks below leave the pixels in (0-1 and 4-5 low, 2-3 and 6-7 high).
  const __m256i spreadLow = _mm256_setr_epi8(0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1,
                                             0, -1, 0, -1, 0, -1, 0, -1, 4, -1, 4, -1, 4, -1, 4, -1);
  const __m256i spreadHigh = _mm256_setr_epi8(8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1,
                                              8, -1, 8, -1, 8, -1, 8, -1, 12, -1, 12, -1, 12, -1, 12, -1);
  const __m256i mLo = _mm256_shuffle_epi8(m, spreadLow), mHi = _mm256_shuffle_epi8(m, spreadHigh);
  const __m256i sLo = _mm256_unpacklo_epi8(s, zero), sHi = _mm256_unpackhi_epi8(s, zero);
  const __m256i dLo = _mm256_unpacklo_epi8(d, zero), dHi = _mm256_unpackhi_epi8(d, zero);
  const __m256i xLo = _mm256_add_epi16(_mm256_mullo_epi16(dLo, mLo),
                                       _mm256_mullo_epi16(sLo, _mm256_sub_epi16(full, mLo)));
  const __m256i xHi = _mm256_add_epi16(_mm256_mullo_epi16(dHi, mHi),
                                       _mm256_mullo_epi16(sHi, _mm256_sub_epi16(full, mHi)));
  const __m256i t = _mm256_and_si256(d, byteMask);
  const __m256i alpha = _mm256_max_epu32(_mm256_sub_epi32(byteMask, m), t);
  const __m256i colour = _mm256_andnot_si256(byteMask, _mm256_packus_epi16(div255Epu16(xLo), div255Epu16(xHi)));
  const __m256i picked = _mm256_blendv_epi8(colour, _mm256_andnot_si256(byteMask, s), _mm256_cmpeq_epi32(t, zero));
  return _mm256_blendv_epi8(_mm256_or_si256(picked, alpha), d, _mm256_cmpeq_epi32(m, byteMask));
}

} // namespace

TILERON_AVX2 void overlayAvx2(const uint32_t *src, ptrdiff_t srcStride, uint32_t *dst,
                              ptrdiff_t dstStride, int width, int height) {
  const __m256i alphaMask = _mm256_set1_epi32(0xFF);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i full = _mm256_set1_epi16(255);
  for (int r = 0; r < height; ++r, src += srcStride, dst += dstStride) {
    int i = 0;
    for (; i + 8 <= width; i += 8) {
      const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(src + i));
      const __m256i sAlpha = _mm256_and_si256(s, alphaMask);
      if (_mm256_testz_si256(sAlpha, sAlpha)) continue; // all transparent
      __m256i *out = reinterpret_cast<__m256i *>(dst + i);
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sAlpha, alphaMask)) == -1) {
        _mm256_storeu_si256(out, s); // all opaque
        continue;
      }
      const __m256i d = _mm256_loadu_si256(out);
      // 16-bit lanes A, V, U, Y per pixel; each pixel's alpha spread over its four.
      const __m256i sLo = _mm256_unpacklo_epi8(s, zero), sHi = _mm256_unpackhi_epi8(s, zero);
      const __m256i dLo = _mm256_unpacklo_epi8(d, zero), dHi = _mm256_unpackhi_epi8(d, zero);
      const __m256i aLo = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sLo, 0), 0);
      const __m256i aHi = _mm256_shufflehi_epi16(_mm256_shufflelo_epi16(sHi, 0), 0);
      // s*a + d*(255-a) <= 65025 fits the unsigned 16-bit lane.
      const __m256i bLo = _mm256_add_epi16(_mm256_mullo_epi16(sLo, aLo),
                                           _mm256_mullo_epi16(dLo, _mm256_sub_epi16(full, aLo)));
      const __m256i bHi = _mm256_add_epi16(_mm256_mullo_epi16(sHi, aHi),
                                           _mm256_mullo_epi16(dHi, _mm256_sub_epi16(full, aHi)));
      const __m256i blended = _mm256_packus_epi16(div255Epu16(bLo), div255Epu16(bHi));
      const __m256i alpha = _mm256_adds_epu8(d, sAlpha);
      _mm256_storeu_si256(out, _mm256_blendv_epi8(blended, alpha, alphaMask));
    }
    for (; i < width; ++i) dst[i] = overlayPixel(src[i], dst[i]);
  }
}

TILERON_AVX2 void maskCompositeAvx2(const uint32_t *picture, ptrdiff_t pictureStride,
                                    uint32_t *dst, ptrdiff_t dstStride, const uint8_t *mask,
                                    ptrdiff_t maskStride, int width, int height, int opacity) {
  const __m256i byteMask = _mm256_set1_epi32(0xFF);
  const __m256i colourMask = _mm256_set1_epi32(static_cast<int>(0xFFFFFF00u));
  const __m256i cube = _mm256_set1_epi32(static_cast<int>(kCube));
  const __m256i op = _mm256_set1_epi32(opacity);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i magicAlpha = _mm256_set1_epi32(static_cast<int>(kDiv65025Magic));
  const __m256i magicCube = _mm256_set1_epi32(static_cast<int>(kDivCubeMagic));
  for (int r = 0; r < height; ++r, picture += pictureStride, dst += dstStride, mask += maskStride) {
    int i = 0;
    for (; i + 8 <= width; i += 8) {
      // Mask bytes of 255 let nothing through: such a block is left without
      // reading the picture, which is most of a part's box outside its shape.
      const __m128i m8 = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(mask + i));
      const int64_t maskBits = _mm_cvtsi128_si64(m8);
      if (maskBits == -1) continue;
      const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(picture + i));
      __m256i *out = reinterpret_cast<__m256i *>(dst + i);
      const __m256i m = _mm256_cvtepu8_epi32(m8);
      if (opacity == 255 &&
          _mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(s, byteMask), byteMask)) == -1) {
        // Mask bytes of 0 pass an opaque picture unchanged.
        _mm256_storeu_si256(out, maskBits == 0 ? s : opaqueThroughMask(s, _mm256_loadu_si256(out), m));
        continue;
      }
      // alpha * opacity <= 65025 fits the low 16 bits of each 32-bit lane.
      const __m256i n = _mm256_mullo_epi32(
          _mm256_mullo_epi16(_mm256_and_si256(s, byteMask), op), _mm256_sub_epi32(byteMask, m));
      // N = 255^3 in every lane needs an opaque picture at full opacity,
      // which the 16-bit path above took.
      if (_mm256_testz_si256(n, n)) continue; // nothing passes
      const __m256i d = _mm256_loadu_si256(out);
      const __m256i t = _mm256_and_si256(d, byteMask);
      const __m256i alpha = _mm256_max_epu32(mulShiftEpu32<kDiv65025Shift>(n, magicAlpha), t);
      const __m256i keep = _mm256_sub_epi32(cube, n);
      __m256i blended = alpha;
      for (int shift = 8; shift < 32; shift += 8) {
        const __m256i sc = _mm256_and_si256(_mm256_srli_epi32(s, shift), byteMask);
        const __m256i dc = _mm256_and_si256(_mm256_srli_epi32(d, shift), byteMask);
        // d*(D - N) + s*N <= 255^4 < 2^32.
        const __m256i x = _mm256_add_epi32(_mm256_mullo_epi32(dc, keep), _mm256_mullo_epi32(sc, n));
        blended = _mm256_or_si256(blended,
                                  _mm256_sll_epi32(mulShiftEpu32<kDivCubeShift>(x, magicCube),
                                                   _mm_cvtsi32_si128(shift)));
      }
      // Onto a transparent destination the picture's colour goes unchanged.
      const __m256i copied = _mm256_or_si256(_mm256_and_si256(s, colourMask), alpha);
      __m256i result = _mm256_blendv_epi8(blended, copied, _mm256_cmpeq_epi32(t, zero));
      result = _mm256_blendv_epi8(result, d, _mm256_cmpeq_epi32(n, zero));
      _mm256_storeu_si256(out, result);
    }
    for (; i < width; ++i)
      dst[i] = maskPixel(picture[i], dst[i], mask[i], static_cast<uint32_t>(opacity));
  }
}

} // namespace tileron::kernels
