#include "host/media/frame_convert.hpp"

#include <immintrin.h>

#include "host/media/yuv.hpp"
#include "host/support/cpu.hpp"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace vxhost {
namespace {

// The deprecated full-range "J" formats are the plain ones with range 1;
// swscale wants the plain format and the range stated separately.
AVPixelFormat plainFormat(AVPixelFormat format, bool &fullRange) {
  switch (format) {
  case AV_PIX_FMT_YUVJ420P: fullRange = true; return AV_PIX_FMT_YUV420P;
  case AV_PIX_FMT_YUVJ422P: fullRange = true; return AV_PIX_FMT_YUV422P;
  case AV_PIX_FMT_YUVJ444P: fullRange = true; return AV_PIX_FMT_YUV444P;
  case AV_PIX_FMT_YUVJ440P: fullRange = true; return AV_PIX_FMT_YUV440P;
  case AV_PIX_FMT_YUVJ411P: fullRange = true; return AV_PIX_FMT_YUV411P;
  default: return format;
  }
}

int swsColourspace(AVColorSpace space, int height) {
  switch (space) {
  case AVCOL_SPC_BT709: return SWS_CS_ITU709;
  case AVCOL_SPC_BT470BG:
  case AVCOL_SPC_SMPTE170M: return SWS_CS_ITU601;
  case AVCOL_SPC_FCC: return SWS_CS_FCC;
  case AVCOL_SPC_SMPTE240M: return SWS_CS_SMPTE240M;
  case AVCOL_SPC_BT2020_NCL:
  case AVCOL_SPC_BT2020_CL: return SWS_CS_BT2020;
  default: return matrixForHeight(height) == Matrix::bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601;
  }
}

#define VXHOST_AVX2 __attribute__((target("avx2")))

// 32 pixels a step: interleaving A with V and U with Y gives byte pairs, and
// interleaving those pairs gives the bytes A V U Y of each word (0xYYUUVVAA
// in memory order). The unpacks work within 128-bit lanes, so the words of
// pixels 0-3 and 16-19 share a register; the permutes put them back in order.
VXHOST_AVX2 void packRowAvx2(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width) {
  const __m256i alpha = _mm256_set1_epi8(-1);
  int x = 0;
  for (; x + 32 <= width; x += 32) {
    const __m256i ys = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(y + x));
    const __m256i us = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(u + x));
    const __m256i vs = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(v + x));
    const __m256i avLow = _mm256_unpacklo_epi8(alpha, vs), avHigh = _mm256_unpackhi_epi8(alpha, vs);
    const __m256i uyLow = _mm256_unpacklo_epi8(us, ys), uyHigh = _mm256_unpackhi_epi8(us, ys);
    const __m256i w0 = _mm256_unpacklo_epi16(avLow, uyLow);   // pixels 0-3 | 16-19
    const __m256i w1 = _mm256_unpackhi_epi16(avLow, uyLow);   // 4-7 | 20-23
    const __m256i w2 = _mm256_unpacklo_epi16(avHigh, uyHigh); // 8-11 | 24-27
    const __m256i w3 = _mm256_unpackhi_epi16(avHigh, uyHigh); // 12-15 | 28-31
    auto *o = reinterpret_cast<__m256i *>(out + x);
    _mm256_storeu_si256(o, _mm256_permute2x128_si256(w0, w1, 0x20));
    _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(w2, w3, 0x20));
    _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(w0, w1, 0x31));
    _mm256_storeu_si256(o + 3, _mm256_permute2x128_si256(w2, w3, 0x31));
  }
  packRowPlain(y + x, u + x, v + x, out + x, width - x);
}

} // namespace

void packRowPlain(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width) {
  for (int x = 0; x < width; ++x)
    out[x] = packYuva(y[x], u[x], v[x]);
}

void packRow(const uint8_t *y, const uint8_t *u, const uint8_t *v, uint32_t *out, int width) {
  (haveAvx2() ? packRowAvx2 : packRowPlain)(y, u, v, out, width);
}

FrameConverter::FrameConverter(int width, int height) : width_(width), height_(height) {}

bool FrameConverter::makeWritable(AVFrame &out) const {
  if (out.data[0] && out.format == AV_PIX_FMT_YUV444P && out.width == width_ && out.height == height_ &&
      av_frame_is_writable(&out))
    return true;
  av_frame_unref(&out);
  out.format = AV_PIX_FMT_YUV444P;
  out.width = width_;
  out.height = height_;
  return av_frame_get_buffer(&out, 0) >= 0;
}

bool FrameConverter::convert(const AVFrame &frame, AVFrame &out) {
  const auto format = static_cast<AVPixelFormat>(frame.format);
  const AVPixFmtDescriptor *descriptor = av_pix_fmt_desc_get(format);
  if (!descriptor)
    return false;
  bool fullRange = frame.color_range == AVCOL_RANGE_JPEG;
  const AVPixelFormat source = plainFormat(format, fullRange);
  const bool fourFourFour = source == AV_PIX_FMT_YUV444P || source == AV_PIX_FMT_YUVA444P;
  if (fourFourFour && !fullRange && frame.width == width_ && frame.height == height_) {
    av_frame_unref(&out);
    return av_frame_ref(&out, &frame) >= 0;
  }
  // RGB pictures are scaled as RGB and then take the host's own RGB
  // conversion, so that a still shows the colours a palette would give.
  const bool rgb = descriptor->flags & AV_PIX_FMT_FLAG_RGB;
  const AVPixelFormat target = rgb ? AV_PIX_FMT_RGB24 : AV_PIX_FMT_YUV444P;
  SwsContext *previous = scaler_.get();
  scaler_.reset(sws_getCachedContext(scaler_.release(), frame.width, frame.height, source, width_, height_,
                                     target,
                                     SWS_BICUBIC | SWS_ACCURATE_RND,
                                     nullptr, nullptr, nullptr));
  if (!scaler_)
    return false;
  // Setting the matrices rebuilds swscale's tables: only for a new context
  // or a picture whose matrix or range differs from the last one.
  const int space = swsColourspace(frame.colorspace, frame.height);
  if (!rgb && (scaler_.get() != previous || space != space_ || fullRange != fullRange_)) {
    const Matrix matrix = matrixForHeight(height_);
    sws_setColorspaceDetails(scaler_.get(), sws_getCoefficients(space), fullRange ? 1 : 0,
                             sws_getCoefficients(matrix == Matrix::bt709 ? SWS_CS_ITU709 : SWS_CS_ITU601), 0, 0,
                             1 << 16, 1 << 16);
    space_ = space;
    fullRange_ = fullRange;
  }
  if (!makeWritable(out))
    return false;
  if (!rgb)
    return sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, out.data, out.linesize) == height_;

  rgb_.resize(size_t(width_) * height_ * 3);
  uint8_t *dst[4] = {rgb_.data(), nullptr, nullptr, nullptr};
  int dstStride[4] = {3 * width_, 0, 0, 0};
  if (sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, dst, dstStride) != height_)
    return false;
  const Matrix matrix = matrixForHeight(height_);
  const uint8_t *p = rgb_.data();
  for (int y = 0; y < height_; ++y) {
    uint8_t *planes[3] = {out.data[0] + ptrdiff_t{y} * out.linesize[0], out.data[1] + ptrdiff_t{y} * out.linesize[1],
                          out.data[2] + ptrdiff_t{y} * out.linesize[2]};
    for (int x = 0; x < width_; ++x, p += 3) {
      const uint32_t word = rgbToYuva(p[0], p[1], p[2], matrix);
      planes[0][x] = uint8_t(word >> 24);
      planes[1][x] = uint8_t(word >> 16);
      planes[2][x] = uint8_t(word >> 8);
    }
  }
  return true;
}

void packLines(const AVFrame &picture, int first, int step, int count, uint32_t *out) {
  for (int i = 0; i < count; ++i, out += picture.width) {
    const ptrdiff_t line = first + ptrdiff_t{i} * step;
    packRow(picture.data[0] + line * picture.linesize[0], picture.data[1] + line * picture.linesize[1],
            picture.data[2] + line * picture.linesize[2], out, picture.width);
  }
}

} // namespace vxhost
